// Test-side control of the scripted driver library, and an adapter opened on it through the
// program's own loader (TARVEX_D2XX).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/TBX3.h"

class ScriptedD2xx {
  public:
    // The library, loaded once; its control functions are bound on first use.
    static ScriptedD2xx& Instance();
    static const char* LibraryPath();

    void Reset();
    void SetEcho(bool on);
    void QueueRead(std::span<const std::uint8_t> bytes);
    void ReplyAfterWrite(unsigned writeNumber, std::span<const std::uint8_t> bytes);
    void FailCall(const std::string& name, unsigned nth, FT_STATUS status = FT_IO_ERROR);
    unsigned CallCount(const std::string& name);
    unsigned WriteCount();
    std::vector<std::uint8_t> Write(unsigned index);
    std::vector<std::vector<std::uint8_t>> Writes();

  private:
    ScriptedD2xx();
    void* handle_ = nullptr;
};

// A TBX3 of its own on the scripted library: TARVEX_D2XX set, Initialize() and Open() done,
// then the script reset so a test starts from nothing queued and nothing recorded.
class ScriptedAdapter : public TBX3 {
  public:
    ScriptedAdapter();
    ScriptedD2xx& script() { return ScriptedD2xx::Instance(); }
};
