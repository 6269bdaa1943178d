#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "gyro/BusFrame.h"
#include "gyro/StreamTimer.h"

namespace {

using namespace std::chrono_literals;
using Wire = std::vector<std::uint8_t>;

// Records every write; can be told to fail at a given write or to take its time.
class FakeDevice : public ComDevice {
  public:
    void Open() override {}
    void Close() override {}
    void Read(std::uint8_t*, std::uint32_t) override {}
    void Write(const std::uint8_t* buffer, std::uint32_t count) override {
        std::unique_lock lock(mutex);
        if (stopped) ++afterStop;
        ++attempts;
        ++inWrite;
        if (attempts == failAt) {
            --inWrite;
            changed.notify_all();
            throw TBX3::WriteError();
        }
        writes.emplace_back(buffer, buffer + count);
        changed.notify_all();
        if (slowWrite > 0ms) {
            lock.unlock();
            std::this_thread::sleep_for(slowWrite);
            lock.lock();
        }
        --inWrite;
        ++completed;
    }
    // Waits (bounded, so a broken timer fails instead of hanging) until pred holds.
    template <class Pred>
    bool WaitFor(Pred pred) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 30s, [&] { return pred(); });
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Wire> writes;
    int attempts = 0;
    int inWrite = 0;
    int completed = 0;
    int failAt = 0;
    std::chrono::milliseconds slowWrite{0};
    bool stopped = false;  // set by a test once the stream's Stop has returned
    int afterStop = 0;     // writes that came while stopped was set
};

class StreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 16; ++i) BusFrame.setChannel(i, 0);
    }
    void TearDown() override { SetUp(); }
};

TEST_F(StreamTest, TickPacksAndWritesTheWireBytes) {
    FakeDevice device;
    BusFrame.setChannel(0, 1696);
    StreamTimerProc(device);
    ASSERT_EQ(device.writes.size(), 1u);
    Wire expected(25, 0);
    expected[0] = 0x0F;
    expected[1] = 0xA0;
    expected[2] = 0x06;
    EXPECT_EQ(device.writes[0], expected);
    EXPECT_EQ(BusFrame.startByte, 0x0F);

    device.failAt = 2;
    EXPECT_THROW(StreamTimerProc(device), TBX3::WriteError);
}

TEST_F(StreamTest, StreamsFramesWithTheCurrentChannelValues) {
    FakeDevice device;
    StreamTimer timer;
    BusFrame.setChannel(0, 1024);
    ASSERT_TRUE(timer.Start(device, {}, 2ms));
    EXPECT_TRUE(timer.Running());
    ASSERT_TRUE(device.WaitFor([&] { return device.writes.size() >= 3; }));
    BusFrame.setChannel(0, 352);
    const std::size_t changedAt = [&] {
        std::lock_guard lock(device.mutex);
        return device.writes.size();
    }();
    ASSERT_TRUE(device.WaitFor([&] { return device.writes.size() >= changedAt + 3; }));
    timer.Stop();
    EXPECT_FALSE(timer.Running());

    std::lock_guard lock(device.mutex);
    Wire first(25, 0), later(25, 0);
    first[0] = later[0] = 0x0F;
    first[2] = 0x04;
    later[1] = 0x60;
    later[2] = 0x01;
    EXPECT_EQ(device.writes.front(), first);
    EXPECT_EQ(device.writes.back(), later);
    for (const auto& w : device.writes) ASSERT_TRUE(w == first || w == later);
    EXPECT_EQ(timer.FramesSent(), device.writes.size());
}

TEST_F(StreamTest, StopReturnsOnlyWhenNoCallbackRuns) {
    FakeDevice device;
    device.slowWrite = 20ms;
    StreamTimer timer;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(timer.Start(device, {}, 1ms));
        ASSERT_TRUE(device.WaitFor([&] { return device.inWrite > 0; }));
        timer.Stop();  // while a write is under way
        std::lock_guard lock(device.mutex);
        EXPECT_EQ(device.inWrite, 0);
        EXPECT_EQ(device.completed, device.attempts);
    }
    timer.Stop();  // stopping twice is harmless
}

// Quick Start/Stop/Start rounds, each stream on another device, some stopped before their
// first tick and some while a write is under way: once Stop has returned, the device it
// streamed to is never written again and the frame count stands still.
TEST_F(StreamTest, NoWriteAfterStopReturnsOverManyRestarts) {
    FakeDevice devices[2];
    devices[1].slowWrite = 2ms;
    StreamTimer timer;
    for (int round = 0; round < 150; ++round) {
        FakeDevice& device = devices[round % 2];
        {
            std::lock_guard lock(device.mutex);
            device.stopped = false;
        }
        ASSERT_TRUE(timer.Start(device, {}, 1ms));
        if (round % 3 != 0) {
            ASSERT_TRUE(device.WaitFor([&] { return device.attempts > 0; }));
        }
        timer.Stop();
        const std::uint64_t frames = timer.FramesSent();
        {
            std::lock_guard lock(device.mutex);
            device.stopped = true;
            EXPECT_EQ(device.inWrite, 0) << "round " << round;
        }
        EXPECT_FALSE(timer.Running());
        // Give a late call the time of several periods to show itself.
        if (round % 10 == 0) std::this_thread::sleep_for(5ms);
        EXPECT_EQ(timer.FramesSent(), frames) << "round " << round;
    }
    std::this_thread::sleep_for(10ms);
    for (FakeDevice& device : devices) {
        std::lock_guard lock(device.mutex);
        EXPECT_EQ(device.afterStop, 0);
        EXPECT_GT(device.attempts, 0);
    }
}

TEST_F(StreamTest, StopDoesNotWaitOutThePeriod) {
    // With an hour's period a Stop that slept to the next deadline would hang the test.
    // Windows' multimedia timer takes periods up to its wPeriodMax only (Wine's: 65.5 s).
#ifdef _WIN32
    const auto period = std::chrono::minutes(1);
#else
    const auto period = std::chrono::hours(1);
#endif
    FakeDevice device;
    StreamTimer timer;
    ASSERT_TRUE(timer.Start(device, {}, period));
    timer.Stop();
    EXPECT_EQ(device.attempts, 0);
}

TEST_F(StreamTest, WriteFailureStopsTheStreamAndIsHandedOverOnce) {
    FakeDevice device;
    device.failAt = 3;
    StreamTimer timer;
    std::mutex m;
    std::condition_variable cv;
    int failures = 0;
    std::thread::id failureThread;
    ASSERT_TRUE(timer.Start(
        device,
        [&] {
            std::lock_guard lock(m);
            ++failures;
            failureThread = std::this_thread::get_id();
            cv.notify_all();
        },
        1ms));
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, 30s, [&] { return failures > 0; }));
    }
    timer.Stop();  // joins: nothing can run after this
    EXPECT_FALSE(timer.Running());
    EXPECT_EQ(failures, 1);
    EXPECT_NE(failureThread, std::this_thread::get_id());
    EXPECT_EQ(device.attempts, 3);
    EXPECT_EQ(device.writes.size(), 2u);
    EXPECT_EQ(timer.FramesSent(), 2u);

    // A new start streams again.
    device.failAt = 0;
    ASSERT_TRUE(timer.Start(device, {}, 1ms));
    ASSERT_TRUE(device.WaitFor([&] { return device.writes.size() >= 4; }));
    timer.Stop();
}

TEST_F(StreamTest, FailureCallbackMayStopTheTimer) {
    FakeDevice device;
    device.failAt = 1;
    StreamTimer timer;
    std::mutex m;
    std::condition_variable cv;
    bool called = false;
    ASSERT_TRUE(timer.Start(
        device,
        [&] {
            timer.Stop();  // on the timer thread: must neither deadlock nor throw
            std::lock_guard lock(m);
            called = true;
            cv.notify_all();
        },
        1ms));
    std::unique_lock lock(m);
    ASSERT_TRUE(cv.wait_for(lock, 30s, [&] { return called; }));
    lock.unlock();
    timer.Stop();
    EXPECT_EQ(device.attempts, 1);
}

TEST_F(StreamTest, NoPeriodNoStream) {
    FakeDevice device;
    StreamTimer timer;
    EXPECT_FALSE(timer.Start(device, {}, std::chrono::milliseconds(0)));
    EXPECT_FALSE(timer.Start(device, {}, std::chrono::milliseconds(-5)));
    EXPECT_FALSE(timer.Running());
}

}  // namespace
