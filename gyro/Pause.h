// Every fixed wait of the program (between pages, around the limit mode, before a
// read-back) goes through one replaceable pause, so tests see each requested wait
// without sleeping. The real pause sleeps.
#pragma once

#include <cstdint>

class Pause {
  public:
    virtual ~Pause() = default;
    virtual void Wait(std::uint32_t milliseconds) = 0;
};

// The pause in force; the real, sleeping one unless a test installed another.
Pause& CurrentPause() noexcept;
// Installs a pause (nullptr restores the real one) and returns the previous one.
Pause* InstallPause(Pause* pause) noexcept;
// CurrentPause().Wait(milliseconds).
void PauseFor(std::uint32_t milliseconds);
