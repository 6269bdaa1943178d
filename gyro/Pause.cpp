#include "Pause.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

class SleepingPause final : public Pause {
  public:
    constexpr SleepingPause() noexcept = default;
    void Wait(std::uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
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
