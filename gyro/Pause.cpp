#include "Pause.h"

#include <atomic>
#include <chrono>
#include <thread>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace {

class SleepingPause final : public Pause {
  public:
    constexpr SleepingPause() noexcept = default;
    void Wait(std::uint32_t milliseconds) override {
#ifdef __EMSCRIPTEN__
        // The browser edition: the module sleeps (Asyncify) while the page runs on.
        emscripten_sleep(milliseconds);
#else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
#endif
    }
};

constinit SleepingPause realPause;
constinit std::atomic<Pause*> installed{nullptr};

}  // namespace

Pause& CurrentPause() noexcept {
    Pause* pause = installed.load(std::memory_order_acquire);
    return pause != nullptr ? *pause : realPause;
}

Pause* InstallPause(Pause* pause) noexcept {
    Pause* previous = installed.exchange(pause, std::memory_order_acq_rel);
    return previous != nullptr ? previous : &realPause;
}

void PauseFor(std::uint32_t milliseconds) {
    CurrentPause().Wait(milliseconds);
}
