// A pause that records every requested wait and never sleeps. While it lives it is the
// pause in force; the previous one is restored when it goes.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "gyro/Pause.h"

class RecordingPause final : public Pause {
  public:
    RecordingPause() : previous_(InstallPause(this)) {}
    ~RecordingPause() override { InstallPause(previous_); }
    RecordingPause(const RecordingPause&) = delete;
    RecordingPause& operator=(const RecordingPause&) = delete;

    void Wait(std::uint32_t milliseconds) override {
        std::function<void(std::uint32_t)> hook;
        {
            std::lock_guard lock(mutex_);
            waits_.push_back(milliseconds);
            hook = onWait_;
        }
        if (hook) hook(milliseconds);
    }

    std::vector<std::uint32_t> waits() const {
        std::lock_guard lock(mutex_);
        return waits_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        waits_.clear();
    }
    // Runs at every wait, after it was recorded: lets a test see what happened before it.
    void onWait(std::function<void(std::uint32_t)> hook) {
        std::lock_guard lock(mutex_);
        onWait_ = std::move(hook);
    }

  private:
    Pause* previous_;
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> waits_;
    std::function<void(std::uint32_t)> onWait_;
};
