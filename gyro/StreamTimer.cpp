#include "StreamTimer.h"

#include <atomic>
#include <exception>

#include "BusFrame.h"

#ifdef _WIN32
// windows.h first, in a block of its own: mmsystem.h builds on its types.
#include <windows.h>

#include <mmsystem.h>
#else
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#endif

void StreamTimerProc(ComDevice& device) {
    BusFrame.pack();
    device.Write(BusFrame.wire(), static_cast<std::uint32_t>(BusFrameData::kWireSize));
}

#ifdef _WIN32

std::uint32_t TimerResolution() noexcept {
    TIMECAPS caps{};
    timeGetDevCaps(&caps, sizeof caps);
    return caps.wPeriodMin;
}
void BeginTimerPeriod(std::uint32_t resolution) noexcept {
    timeBeginPeriod(resolution);
}
void EndTimerPeriod(std::uint32_t resolution) noexcept {
    timeEndPeriod(resolution);
}

// The multimedia timer calls back on its own thread, one call at a time. The timer is
// created with TIME_KILL_SYNCHRONOUS, so once timeKillEvent returns no call of it runs or
// will run, not even one the timer thread had already picked but not yet begun.
struct StreamTimer::State {
    ComDevice* device = nullptr;
    Failure onFailure;
    UINT timerId = 0;
    std::atomic<bool> active{false};
    std::atomic<std::uint64_t> frames{0};
};

namespace {

// The stream whose callback runs on this thread, if any: Stop and Start called from the
// failure callback must not wait for the very callback they are called from.
thread_local const void* currentStream = nullptr;

// A template, so that it may work on the timer's private state.
template <class State>
void CALLBACK TimerCallback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto& state = *reinterpret_cast<State*>(user);
    currentStream = &state;
    if (state.active.load()) {
        try {
            StreamTimerProc(*state.device);
            state.frames.fetch_add(1, std::memory_order_relaxed);
        } catch (...) {
            // The stream stops at the failed frame; the owner hears of it once.
            if (state.active.exchange(false) && state.onFailure) {
                try {
                    state.onFailure();
                } catch (...) {
                }
            }
        }
    }
    currentStream = nullptr;
}

}  // namespace

bool StreamTimer::Start(ComDevice& device, Failure onFailure, std::chrono::milliseconds period) {
    // The timer's own callback cannot replace its stream.
    if (currentStream == state_.get()) return false;
    if (period <= std::chrono::milliseconds::zero()) return false;
    Stop();
    state_->device = &device;
    state_->onFailure = std::move(onFailure);
    state_->frames.store(0);
    state_->active.store(true);
    state_->timerId = timeSetEvent(static_cast<UINT>(period.count()), TimerResolution(),
                                   TimerCallback<State>, reinterpret_cast<DWORD_PTR>(state_.get()),
                                   TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
    if (state_->timerId == 0) {
        state_->active.store(false);
        return false;
    }
    return true;
}

void StreamTimer::Stop() noexcept {
    state_->active.store(false);
    // Called from the failure callback: no frame goes out any more, and killing the timer
    // there would wait for the very call under way; the owner's next Stop or Start kills it.
    if (currentStream == state_.get()) return;
    if (state_->timerId != 0) {
        // Returns only once no call of the timer runs or can start.
        timeKillEvent(state_->timerId);
        state_->timerId = 0;
    }
}

bool StreamTimer::Running() const noexcept {
    return state_->active.load();
}

#else

std::uint32_t TimerResolution() noexcept {
    return 1;
}
void BeginTimerPeriod(std::uint32_t) noexcept {}
void EndTimerPeriod(std::uint32_t) noexcept {}

// One thread per stream. It sleeps on a condition variable to absolute deadlines of the
// monotonic clock (steady_clock maps to CLOCK_MONOTONIC, and wait_until passes the
// deadline as an absolute time), so the period does not drift with the time each tick
// takes, and Stop wakes it at once instead of waiting out the period.
struct StreamTimer::State {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopRequested = false;
    std::thread thread;
    ComDevice* device = nullptr;
    Failure onFailure;
    std::chrono::steady_clock::duration period{};
    // Fixed by Start, so a thread that starts late does not shift the grid.
    std::chrono::steady_clock::time_point firstDeadline{};
    std::atomic<bool> running{false};
    std::atomic<std::uint64_t> frames{0};
};

namespace {

// The stream whose thread this is, if any: lets Start and Stop tell when the failure
// callback calls them, without reading the thread object that Start is still assigning.
thread_local const void* currentStream = nullptr;

// A template, so that it may work on the timer's private state.
template <class State>
void RunStream(State& state) {
    currentStream = &state;
    using Clock = std::chrono::steady_clock;
    // Wake as close to each deadline as the kernel allows (the default slack is 50 us).
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    // As the platform's multimedia timer does, run above ordinary threads when allowed, so
    // a busy machine does not delay the frames; without the privilege the thread keeps the
    // normal policy. The thread sleeps nearly all of every period.
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);

    auto deadline = state.firstDeadline;
    std::unique_lock lock(state.mutex);
    for (;;) {
        if (state.wake.wait_until(lock, deadline, [&] { return state.stopRequested; })) return;
        lock.unlock();
        bool failed = false;
        try {
            StreamTimerProc(*state.device);
            state.frames.fetch_add(1, std::memory_order_relaxed);
        } catch (...) {
            failed = true;
        }
        if (failed) {
            // The stream ends at the frame that failed; the owner hears of it once, here.
            state.running.store(false);
            if (state.onFailure) {
                try {
                    state.onFailure();
                } catch (...) {
                }
            }
            return;
        }
        lock.lock();
        deadline += state.period;
        // A deadline missed by more than a period is skipped rather than caught up with a
        // burst of frames: the next tick goes to the first deadline still ahead.
        const auto now = Clock::now();
        if (now - deadline > state.period)
            deadline += ((now - deadline) / state.period + 1) * state.period;
    }
}

}  // namespace

bool StreamTimer::Start(ComDevice& device, Failure onFailure, std::chrono::milliseconds period) {
    // The timer's own thread cannot replace itself.
    if (currentStream == state_.get()) return false;
    if (period <= std::chrono::milliseconds::zero()) return false;
    Stop();
    state_->device = &device;
    state_->onFailure = std::move(onFailure);
    state_->period = period;
    state_->firstDeadline = std::chrono::steady_clock::now() + state_->period;
    state_->stopRequested = false;
    state_->frames.store(0);
    state_->running.store(true);
    try {
        state_->thread = std::thread(RunStream<State>, std::ref(*state_));
    } catch (...) {
        state_->running.store(false);
        return false;
    }
    return true;
}

void StreamTimer::Stop() noexcept {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopRequested = true;
    }
    state_->wake.notify_all();
    state_->running.store(false);
    // Called from the failure callback on the timer thread: that thread is already on its
    // way out; the next Stop or Start from the owner's thread joins it.
    if (currentStream == state_.get()) return;
    if (state_->thread.joinable()) state_->thread.join();
}

bool StreamTimer::Running() const noexcept {
    return state_->running.load();
}

#endif

StreamTimer::StreamTimer() : state_(std::make_unique<State>()) {}
StreamTimer::~StreamTimer() {
    Stop();
}

std::uint64_t StreamTimer::FramesSent() const noexcept {
    return state_->frames.load(std::memory_order_relaxed);
}
