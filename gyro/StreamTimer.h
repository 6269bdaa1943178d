// The periodic source behind the bus-frame stream: a dedicated thread that calls its
// callback every period, sleeping to absolute deadlines so the period never drifts.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "link/TBX3.h"

// The timer's resolution and period requests of the platform (a no-op reporting 1 ms
// outside Windows).
std::uint32_t TimerResolution() noexcept;
void BeginTimerPeriod(std::uint32_t resolution) noexcept;
void EndTimerPeriod(std::uint32_t resolution) noexcept;

// What a stream tick does: BusFrame.pack(), then one 25-byte write to the device. A write
// failure does not leave the timer thread: the stream stops at that frame and the failure
// is handed to the owner.
void StreamTimerProc(ComDevice& device);

class StreamTimer {
  public:
    using Failure = std::function<void()>;  // called once, on the timer thread

    StreamTimer();
    ~StreamTimer();  // stops
    StreamTimer(const StreamTimer&) = delete;
    StreamTimer& operator=(const StreamTimer&) = delete;

    // Starts streaming BusFrame to device every period (a running stream is stopped first);
    // false when the thread could not be started, the period is not positive (or, on
    // Windows, longer than the multimedia timer's wPeriodMax), or the call comes from onFailure
    // (nothing is sent then). onFailure runs on the timer thread when a
    // frame's write fails; streaming has stopped by then. It may call Stop, which then
    // returns at once; the owner's next Stop or Start joins the thread.
    bool Start(ComDevice& device, Failure onFailure = {},
               std::chrono::milliseconds period = std::chrono::milliseconds(50));
    // Returns only when the callback can no longer run. Safe when not running.
    void Stop() noexcept;
    bool Running() const noexcept;
    // Frames sent since the last Start.
    std::uint64_t FramesSent() const noexcept;

  private:
    struct State;
    std::unique_ptr<State> state_;
};
