#include "cli/Servo.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "gyro/BusFrame.h"
#include "gyro/Commands.h"
#include "gyro/Pause.h"
#include "gyro/StreamTimer.h"

namespace cli {
namespace {

constexpr std::uint32_t kSettleMs = 100;
constexpr int kUnknownError = 114;

// Runs one step that talks to the gyro; the message id of its failure, 0 on success.
template <typename Step>
int Attempt(Step step) {
    try {
        step();
        return 0;
    } catch (const std::exception& error) {
        const int id = CommandFailureMessage(CommandKind::Write, error);
        return id != 0 ? id : kUnknownError;
    }
}

}  // namespace

int DriveServo(KR640& gyro, int position, std::optional<std::chrono::duration<double>> duration,
               const std::atomic<bool>& stop) {
    const int channel = gyro.workingRecord.rudderChannel();
    const auto value =
        static_cast<std::uint16_t>(std::clamp(position, kServoPositionMin, kServoPositionMax));

    if (const int id = Attempt([&] { gyro.SetLimitMode(true); })) {
        // Part of the frame may have reached the gyro: ask it to leave the mode, quietly.
        Attempt([&] { gyro.SetLimitMode(false); });
        return id;
    }
    PauseFor(kSettleMs);
    BusFrame.setChannel(channel, value);

    std::mutex mutex;
    std::condition_variable wake;
    bool streamFailed = false;
    int failure = 0;
    {
        StreamTimer timer;
        const bool started = timer.Start(gyro.device(), [&] {
            const std::lock_guard<std::mutex> lock(mutex);
            streamFailed = true;
            wake.notify_all();
        });
        if (!started) {
            failure = kUnknownError;
        } else {
            using Clock = std::chrono::steady_clock;
            const Clock::time_point end =
                duration ? Clock::now() + std::chrono::duration_cast<Clock::duration>(*duration)
                         : Clock::time_point::max();
            std::unique_lock<std::mutex> lock(mutex);
            while (!streamFailed && !stop.load()) {
                const Clock::time_point now = Clock::now();
                if (now >= end) break;
                // Wake regularly to see a stop request.
                wake.wait_until(lock, std::min(end, now + std::chrono::milliseconds(50)));
            }
            if (streamFailed) failure = 104;  // a bus frame could not be written
        }
        timer.Stop();
    }
    PauseFor(kSettleMs);
    BusFrame.setChannel(channel, kServoPositionCentre);
    const int off = Attempt([&] { gyro.SetLimitMode(false); });
    return failure != 0 ? failure : off;
}

}  // namespace cli
