// A scripted stand-in for the D2XX driver library. It exports the 35 entry points and a
// few control functions that tests fetch with dlsym: queue bytes for the next reads
// (directly, or delivered after a chosen write), echo written bytes back as a one-wire
// line does, record every write, and make a chosen call fail.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// D2xx.h declares all 35 entry points with C linkage, so a definition here with another
// signature does not compile; a missing one makes the adapter refuse the library.
#include "link/D2xx.h"

namespace {

struct Failure {
    std::string name;
    unsigned nth;  // 1-based call number, 0 for every call
    FT_STATUS status;
};

struct Script {
    std::mutex mutex;
    std::deque<std::uint8_t> received;
    bool echo = false;
    std::vector<std::vector<std::uint8_t>> writes;
    std::map<unsigned, std::vector<std::uint8_t>> repliesAfterWrite;
    std::map<std::string, unsigned> calls;
    std::vector<Failure> failures;
};

Script& script() {
    static Script s;
    return s;
}

const FT_HANDLE kHandle = reinterpret_cast<FT_HANDLE>(std::uintptr_t{0x7A});

// Counts the call and returns the status it is scripted to give.
FT_STATUS enter(Script& s, const char* name) {
    const unsigned n = ++s.calls[name];
    for (const auto& f : s.failures) {
        if (f.name == name && (f.nth == 0 || f.nth == n)) return f.status;
    }
    return FT_OK;
}

FT_STATUS trivial(const char* name) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    return enter(s, name);
}

}  // namespace

// --- Control functions -------------------------------------------------------------------

TARVEX_D2XX_EXPORT void ScriptedD2xx_Reset() {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    s.received.clear();
    s.echo = false;
    s.writes.clear();
    s.repliesAfterWrite.clear();
    s.calls.clear();
    s.failures.clear();
}

TARVEX_D2XX_EXPORT void ScriptedD2xx_SetEcho(int on) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    s.echo = on != 0;
}

// Bytes that have already arrived: the next reads return them (a purge discards them).
TARVEX_D2XX_EXPORT void ScriptedD2xx_QueueRead(const unsigned char* data, unsigned count) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    s.received.insert(s.received.end(), data, data + count);
}

// Bytes that arrive once write number writeNumber (1-based, counting successful writes
// since the last reset) has gone out, after its echo.
TARVEX_D2XX_EXPORT void ScriptedD2xx_ReplyAfterWrite(unsigned writeNumber,
                                                     const unsigned char* data, unsigned count) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    auto& reply = s.repliesAfterWrite[writeNumber];
    reply.insert(reply.end(), data, data + count);
}

// Makes call number nth (1-based, counted since the last reset; 0 for every call) of the
// named entry point return status.
TARVEX_D2XX_EXPORT void ScriptedD2xx_FailCall(const char* name, unsigned nth, unsigned status) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    s.failures.push_back({name, nth, status});
}

TARVEX_D2XX_EXPORT unsigned ScriptedD2xx_CallCount(const char* name) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    const auto it = s.calls.find(name);
    return it == s.calls.end() ? 0 : it->second;
}

TARVEX_D2XX_EXPORT unsigned ScriptedD2xx_WriteCount() {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    return static_cast<unsigned>(s.writes.size());
}

// Copies up to capacity bytes of write number index (0-based); returns its full size.
TARVEX_D2XX_EXPORT unsigned ScriptedD2xx_CopyWrite(unsigned index, unsigned char* out,
                                                   unsigned capacity) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    if (index >= s.writes.size()) return 0;
    const auto& w = s.writes[index];
    std::copy_n(w.begin(), std::min<std::size_t>(capacity, w.size()), out);
    return static_cast<unsigned>(w.size());
}

// --- The 35 entry points ----------------------------------------------------------------

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Open(int deviceNumber, FT_HANDLE* handle) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    const FT_STATUS status = enter(s, "FT_Open");
    if (status != FT_OK) return status;
    if (deviceNumber != 0) return FT_DEVICE_NOT_FOUND;
    *handle = kHandle;
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_ListDevices(PVOID arg1, PVOID arg2, DWORD flags) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    const FT_STATUS status = enter(s, "FT_ListDevices");
    if (status != FT_OK) return status;
    if ((flags & FT_LIST_BY_INDEX) == 0) return FT_INVALID_PARAMETER;
    if (reinterpret_cast<std::uintptr_t>(arg1) != 0) return FT_DEVICE_NOT_FOUND;
    static constexpr char kDescription[] = "Scripted adapter";
    std::memcpy(arg2, kDescription, sizeof kDescription);
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Read(FT_HANDLE, LPVOID buffer, DWORD bytesToRead,
                                                     LPDWORD bytesReturned) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    const FT_STATUS status = enter(s, "FT_Read");
    if (status != FT_OK) return status;
    // What has not arrived by now never will: the read ends as by its time-out.
    const std::size_t n = std::min<std::size_t>(bytesToRead, s.received.size());
    std::copy_n(s.received.begin(), n, static_cast<std::uint8_t*>(buffer));
    s.received.erase(s.received.begin(), s.received.begin() + static_cast<std::ptrdiff_t>(n));
    *bytesReturned = static_cast<DWORD>(n);
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Write(FT_HANDLE, LPVOID buffer, DWORD bytesToWrite,
                                                      LPDWORD bytesWritten) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    const FT_STATUS status = enter(s, "FT_Write");
    if (status != FT_OK) return status;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    s.writes.emplace_back(bytes, bytes + bytesToWrite);
    if (s.echo) s.received.insert(s.received.end(), bytes, bytes + bytesToWrite);
    if (const auto it = s.repliesAfterWrite.find(static_cast<unsigned>(s.writes.size()));
        it != s.repliesAfterWrite.end()) {
        s.received.insert(s.received.end(), it->second.begin(), it->second.end());
    }
    *bytesWritten = bytesToWrite;
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Purge(FT_HANDLE, ULONG mask) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    const FT_STATUS status = enter(s, "FT_Purge");
    if (status != FT_OK) return status;
    if ((mask & FT_PURGE_RX) != 0) s.received.clear();
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_GetQueueStatus(FT_HANDLE, DWORD* rxBytes) {
    Script& s = script();
    std::lock_guard lock(s.mutex);
    const FT_STATUS status = enter(s, "FT_GetQueueStatus");
    if (status == FT_OK) *rxBytes = static_cast<DWORD>(s.received.size());
    return status;
}

// The rest only count their calls and answer as scripted.
#define SCRIPTED_TRIVIAL(name, params)                         \
    TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API name params { \
        return trivial(#name);                                 \
    }
SCRIPTED_TRIVIAL(FT_OpenEx, (PVOID, DWORD, FT_HANDLE*))
SCRIPTED_TRIVIAL(FT_Close, (FT_HANDLE))
SCRIPTED_TRIVIAL(FT_ResetDevice, (FT_HANDLE))
SCRIPTED_TRIVIAL(FT_SetTimeouts, (FT_HANDLE, ULONG, ULONG))
SCRIPTED_TRIVIAL(FT_SetDtr, (FT_HANDLE))
SCRIPTED_TRIVIAL(FT_ClrDtr, (FT_HANDLE))
SCRIPTED_TRIVIAL(FT_SetRts, (FT_HANDLE))
SCRIPTED_TRIVIAL(FT_ClrRts, (FT_HANDLE))
SCRIPTED_TRIVIAL(FT_GetModemStatus, (FT_HANDLE, ULONG*))
SCRIPTED_TRIVIAL(FT_SetChars, (FT_HANDLE, UCHAR, UCHAR, UCHAR, UCHAR))
SCRIPTED_TRIVIAL(FT_SetLatencyTimer, (FT_HANDLE, UCHAR))
SCRIPTED_TRIVIAL(FT_GetLatencyTimer, (FT_HANDLE, PUCHAR))
SCRIPTED_TRIVIAL(FT_SetDataCharacteristics, (FT_HANDLE, UCHAR, UCHAR, UCHAR))
SCRIPTED_TRIVIAL(FT_SetFlowControl, (FT_HANDLE, USHORT, UCHAR, UCHAR))
SCRIPTED_TRIVIAL(FT_SetBreakOn, (FT_HANDLE))
SCRIPTED_TRIVIAL(FT_SetBreakOff, (FT_HANDLE))
SCRIPTED_TRIVIAL(FT_ResetPort, (FT_HANDLE))
SCRIPTED_TRIVIAL(FT_GetDeviceInfo, (FT_HANDLE, FT_DEVICE*, LPDWORD, PCHAR, PCHAR, LPVOID))
SCRIPTED_TRIVIAL(FT_EE_UASize, (FT_HANDLE, LPDWORD))
SCRIPTED_TRIVIAL(FT_EE_UARead, (FT_HANDLE, PUCHAR, DWORD, LPDWORD))
SCRIPTED_TRIVIAL(FT_EE_UAWrite, (FT_HANDLE, PUCHAR, DWORD))
SCRIPTED_TRIVIAL(FT_SetBitMode, (FT_HANDLE, UCHAR, UCHAR))
SCRIPTED_TRIVIAL(FT_GetBitMode, (FT_HANDLE, PUCHAR))
SCRIPTED_TRIVIAL(FT_SetEventNotification, (FT_HANDLE, DWORD, PVOID))
SCRIPTED_TRIVIAL(FT_GetStatus, (FT_HANDLE, DWORD*, DWORD*, DWORD*))
SCRIPTED_TRIVIAL(FT_GetEventStatus, (FT_HANDLE, DWORD*))
SCRIPTED_TRIVIAL(FT_SetBaudRate, (FT_HANDLE, ULONG))
SCRIPTED_TRIVIAL(FT_GetDriverVersion, (FT_HANDLE, LPDWORD))
SCRIPTED_TRIVIAL(FT_GetLibraryVersion, (LPDWORD))
#undef SCRIPTED_TRIVIAL
