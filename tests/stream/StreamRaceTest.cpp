// The limit-setting sequence without the window, for the thread checker: the stream
// thread packs and sends the bus frame while another thread moves the rudder channel as
// fast as it can, then the stream stops and the same adapter carries the next command.
// Runs on the virtual gyro, whose servo shows which channel values reached it.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <set>
#include <thread>

#include "RecordingPause.h"
#include "VirtualGyro.h"
#include "gyro/BusFrame.h"
#include "gyro/Commands.h"
#include "gyro/KR640.h"
#include "gyro/StreamTimer.h"

namespace {

using namespace std::chrono_literals;

constexpr std::array<std::uint16_t, 4> kPositions = {352, 1024, 1696, 700};

// Waits for a condition the other threads bring about; false after the time limit.
template <typename Condition>
bool Eventually(Condition condition) {
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(StreamRace, TrackbarMovesWhileStreamingThenStopThenCommand) {
    VirtualGyro& vg = VirtualGyro::Fresh();
    RecordingPause pause;
    TBX3 adapter;
    adapter.Initialize();
    adapter.Open();
    KR640 gyro(adapter);
    RunReadCommand(gyro);
    const int rudder = gyro.workingRecord.rudderChannel();
    const std::set<int> written(kPositions.begin(), kPositions.end());

    StreamTimer timer;
    std::atomic<int> failures{0};
    for (int round = 0; round < 5; ++round) {
        gyro.SetLimitMode(true);
        ASSERT_EQ(vg.limitMode(), 1);
        const std::uint64_t framesBefore = vg.busFrames();
        BusFrame.setChannel(rudder, kPositions[0]);
        ASSERT_TRUE(timer.Start(
            adapter, [&] { ++failures; }, 1ms));

        std::atomic<bool> dragging{true};
        std::thread trackbar([&] {
            for (std::size_t i = 0; dragging.load(std::memory_order_relaxed); ++i) {
                BusFrame.setChannel(rudder, kPositions[i % kPositions.size()]);
            }
        });
        std::set<int> seen;
        ASSERT_TRUE(Eventually([&] {
            if (vg.busFrames() > framesBefore) seen.insert(vg.servoValue());
            return vg.busFrames() >= framesBefore + 30;
        }));
        dragging = false;
        trackbar.join();

        timer.Stop();
        const std::uint64_t framesAtStop = vg.busFrames();
        EXPECT_EQ(timer.FramesSent(), framesAtStop - framesBefore);
        EXPECT_FALSE(seen.empty());
        // Every servo position the gyro took came from a whole channel value.
        for (int value : seen) EXPECT_TRUE(written.count(value) == 1) << value;
        gyro.SetLimitMode(false);
        EXPECT_EQ(vg.limitMode(), 0);
        EXPECT_EQ(vg.busFrames(), framesAtStop);  // nothing streams after Stop
    }
    EXPECT_EQ(failures.load(), 0);
    // The adapter still answers the next command once the stream has stopped.
    RunReadCommand(gyro);
    EXPECT_EQ(gyro.deviceRecord.bytes, vg.record());
}

}  // namespace
