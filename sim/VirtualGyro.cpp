// libtarvex-vgyro: the virtual gyro. A D2XX-compatible library that plays one TBX-3 adapter
// with a KR640 behind it, so that the program, its tests and anyone without the hardware
// have a gyro to talk to. The program loads it like the driver (TARVEX_D2XX=path).
//
// How the virtual gyro behaves
// ----------------------------
// Adapter. One device, index 0, description "TBX-3 (virtual)", serial "VGYRO0001". It
// exports all 35 D2XX names; the 25 the program never calls answer FT_NOT_SUPPORTED.
// FT_OpenEx opens it by its serial number (FT_OPEN_BY_SERIAL_NUMBER) as FT_Open does by
// index; another serial number is FT_DEVICE_NOT_FOUND.
// FT_Open of index 0 may be repeated: while open it succeeds again with the same handle,
// and after FT_Close it opens afresh (line back to the driver's default 9600 8N1, no
// time-outs, receive queue empty). The gyro answers only while the line is set to 9600
// baud, 8 data bits, even parity, 2 stop bits; on a mis-set line writes succeed but the
// bytes are lost: nothing is echoed, nothing reaches the gyro.
//
// The line is half duplex: every byte written comes back in the receive queue. So a reply
// block starts with the 17 bytes just sent, and the 0x55 burst and the bus frames are
// echoed too (which is why a read purges first).
//
// Each FT_Write call is one unit: 17 bytes starting 0x9F are a command frame (bytes 1..16
// arrive bit-reversed and are restored; bytes 1..16 must then sum to 0 mod 256, or the
// gyro ignores the frame); 25 bytes starting 0x0F are a bus frame; anything else (the
// 0x55 burst) is line noise that is only echoed.
//
// Command frames, by the restored flags byte 15 (see GyroModel):
//   bit 2 set                -> read request
//   else bit 3 set           -> page frame: page number in byte 5 (0..8), the nine payload
//                               bytes 6..14 are record bytes 4+9p..12+9p
//   else bit 4 set           -> limit mode on
//   else bits 0..4 all clear -> closing frame
// Limit mode follows bit 4 of every valid frame, so the limit-mode-off frame (whose held
// flags 0x89 look like a page-0 frame) and any read request leave the limit mode.
//
// The ID. Read requests are answered whatever ID they carry (the program's first read
// sends ID 0). Page frames carry the ID in bytes 3-4. The closing frame commits only when
// all nine pages 0..8 were staged since the last closing frame; otherwise nothing is
// stored and the staging is dropped, so a half write never half-configures the gyro. A
// commit stores image bytes 0..79 from the pages (page 8's ninth byte is the pad and is
// ignored), takes the ID the pages carried (the last page frame's) as the gyro's own, and
// seals the checksum word so that the 40 words sum to 0. So Read, edit, Write verifies,
// and a settings file from another gyro written after a Read verifies too.
//
// The reply to a read request is the echo of the 17 request bytes, then 0xA1, 0x80, ID
// high, ID low and the 80 image bytes: 101 bytes.
//
// Timing. A byte takes 1.25 ms on the line (9600 baud, 12 bits a byte); written bytes
// queue behind whatever the line still carries and each becomes readable when its last
// bit has gone by. The reply follows the echo after a 5 ms turnaround. FT_Write returns at
// once for anything that fits the adapter's 256-byte transmit buffer (every frame); a
// longer write (the 1000-byte burst) returns when the rest fits, as the chip's does, at
// most after the write time-out. FT_Read blocks until the count has arrived or its read
// time-out (FT_SetTimeouts; 0 = none) has passed, waiting on a condition variable without
// the lock. Purge RX drops what has arrived so far; bytes still on the line arrive later.
// Fast mode (TARVEX_VGYRO_FAST=1): everything is available at once and FT_Read never
// waits. The gyro acts on a frame as soon as it is written.
//
// Servo. In limit mode each bus frame sets the servo to the 11-bit value of the gyro's
// stored rudder channel; leaving the limit mode returns it to neutral (1024). Outside the
// limit mode bus frames are echoed and counted but move nothing.
//
// State. The record persists in a state file (sim/StateFile.h): the 85-byte record,
// written to a temporary file and renamed after every commit and vgyro_set_record. A
// missing, short or corrupt file gives the factory state: image 0-39 from defaultTableA,
// 40-79 from mode table 0, checksum sealed, ID 4242.
//
// In the browser (linked in, single-threaded) a blocking FT_Read or a long FT_Write sleeps
// with emscripten_sleep until the line has carried the bytes, so a Read takes its real time.
//
// Threads. The program's stream thread writes bus frames while the window thread may call
// any other function: one mutex guards everything, and the process-wide device is never
// destroyed (the adapter object closes the device from its own destructor at exit).
// The receive queue holds at most 64 KiB; what arrives beyond that is lost, as in an
// overflowing driver buffer.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include "link/D2xx.h"
#include "sim/Faults.h"
#include "sim/GyroModel.h"
#include "sim/StateFile.h"
#include "sim/VirtualGyroControl.h"

namespace {

using Clock = std::chrono::steady_clock;
using vgyro::CommandFrame;

constexpr auto kByteTime = std::chrono::microseconds(1250);
constexpr auto kTurnaround = std::chrono::milliseconds(5);
constexpr std::size_t kTransmitBuffer = 256;
constexpr std::size_t kReceiveCapacity = 64 * 1024;
constexpr std::size_t kCommandLogCapacity = 100000;
constexpr char kDescription[] = "TBX-3 (virtual)";
constexpr char kSerialNumber[] = "VGYRO0001";
constexpr std::uint32_t kLineBaud = 9600;
constexpr DWORD kListNumberOnly = 0x80000000;
constexpr DWORD kListAll = 0x20000000;
constexpr DWORD kOpenBySerialNumber = 1;

struct RxByte {
    std::uint8_t value;
    Clock::time_point at;  // when it has arrived
};

struct Device {
    std::mutex mutex;
    std::condition_variable changed;

    // Options and faults.
    bool fast = false;
    std::string statePath;
    std::string logPath;  // TARVEX_VGYRO_LOG: what reached the gyro, for tests outside
    vgyro::Faults faults;
    std::uint64_t faultWrites = 0;
    std::uint64_t faultBusFrames = 0;
    bool unplugged = false;

    // The adapter.
    bool open = false;
    int openCount = 0;
    std::uint32_t baud = kLineBaud;
    int wordLength = FT_BITS_8;
    int stopBits = FT_STOP_BITS_1;
    int parity = FT_PARITY_NONE;
    ULONG readTimeout = 0;
    ULONG writeTimeout = 0;
    std::deque<RxByte> rx;
    Clock::time_point lineFreeAt{};

    // The gyro.
    vgyro::GyroModel gyro;
    std::uint64_t busFrames = 0;
    std::vector<CommandFrame> commands;

    Device() {
        ReadOptions();
        LoadState();
    }

    void ReadOptions() {
        const char* fastEnv = std::getenv("TARVEX_VGYRO_FAST");
        fast = fastEnv && std::strcmp(fastEnv, "1") == 0;
        statePath = vgyro::StatePath();
        const char* log = std::getenv("TARVEX_VGYRO_LOG");
        logPath = log ? log : "";
        const char* list = std::getenv("TARVEX_VGYRO_FAULTS");
        auto parsed = vgyro::ParseFaults(list ? list : "");
        if (!parsed) {
            std::fprintf(stderr, "tarvex-vgyro: TARVEX_VGYRO_FAULTS not understood: %s\n", list);
            parsed.emplace();
        }
        SetFaults(std::move(*parsed));
    }

    void SetFaults(vgyro::Faults next) {
        faults = std::move(next);
        faultWrites = 0;
        faultBusFrames = 0;
        unplugged = false;
    }

    bool LoadState() {
        const auto record = vgyro::LoadState(statePath);
        gyro.Store(record ? *record : vgyro::FactoryRecord());
        return record.has_value();
    }

    void SaveState() {
        if (!vgyro::SaveState(statePath, gyro.stored())) {
            std::fprintf(stderr, "tarvex-vgyro: cannot write the state file %s\n",
                         statePath.c_str());
        }
    }

    // One line appended to the log file, when there is one.
    void Log(const std::string& line) const {
        if (logPath.empty()) return;
        if (std::FILE* f = std::fopen(logPath.c_str(), "a")) {
            std::fputs((line + '\n').c_str(), f);
            std::fclose(f);
        }
    }

    bool LineOk() const {
        return baud == kLineBaud && wordLength == FT_BITS_8 && stopBits == FT_STOP_BITS_2 &&
               parity == FT_PARITY_EVEN;
    }

    // The common gate of every call: an unplugged adapter, then a failing call.
    FT_STATUS Enter(const char* name) const {
        if (unplugged) return FT_DEVICE_NOT_FOUND;
        if (faults.Fails(name)) return FT_IO_ERROR;
        return FT_OK;
    }
    FT_STATUS Enter(const char* name, FT_HANDLE handle) const;

    // Puts count bytes on the line from start on; the first deliver of them come back in
    // the receive queue. Returns when the line has carried the last of them.
    Clock::time_point Transmit(const std::uint8_t* bytes, std::size_t count,
                               Clock::time_point start, std::size_t deliver) {
        if (fast) {
            for (std::size_t i = 0; i < std::min(count, deliver); ++i) Receive(bytes[i], start);
            return start;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const auto at = start + kByteTime * static_cast<long>(i + 1);
            if (i < deliver) Receive(bytes[i], at);
        }
        const auto end = start + kByteTime * static_cast<long>(count);
        lineFreeAt = std::max(lineFreeAt, end);
        return end;
    }

    void Receive(std::uint8_t value, Clock::time_point at) {
        if (rx.size() < kReceiveCapacity) rx.push_back({value, at});
    }

    // Bytes of the receive queue that have arrived by now.
    std::size_t Arrived(Clock::time_point now) const {
        const auto it = std::partition_point(rx.begin(), rx.end(),
                                             [now](const RxByte& b) { return b.at <= now; });
        return static_cast<std::size_t>(it - rx.begin());
    }

    // One FT_Write's bytes reaching the gyro. Returns when the line has carried them.
    Clock::time_point OnWrite(const std::uint8_t* bytes, std::size_t count);
};

char g_deviceTag;
FT_HANDLE DeviceHandle() {
    return &g_deviceTag;
}

#ifdef __EMSCRIPTEN__
// The browser edition's blocking wait: the module sleeps (Asyncify) and the page runs on.
void WebSleepUntil(Clock::time_point until) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    emscripten_sleep(static_cast<unsigned>(std::max<long long>(left.count(), 1)));
}
#endif

// Never destroyed: the adapter object may close the device while the process exits.
Device& Dev() {
    static Device* const device = new Device;
    return *device;
}

// The environment is read when the library is loaded.
__attribute__((constructor)) void OnLoad() {
    Dev();
}

FT_STATUS Device::Enter(const char* name, FT_HANDLE handle) const {
    if (const FT_STATUS status = Enter(name); status != FT_OK) return status;
    if (!open || handle != DeviceHandle()) return FT_INVALID_HANDLE;
    return FT_OK;
}

Clock::time_point Device::OnWrite(const std::uint8_t* bytes, std::size_t count) {
    const auto now = Clock::now();
    const auto start = fast ? Clock::time_point{} : std::max(now, lineFreeAt);

    if (count == vgyro::kCommandFrameSize && bytes[0] == vgyro::kCommandFrameHeader) {
        const CommandFrame frame = vgyro::RestoreFrame(bytes);
        if (commands.size() < kCommandLogCapacity) commands.push_back(frame);
        if (!logPath.empty()) {
            std::string line = "command";
            char hex[4];
            for (const std::uint8_t b : frame) {
                std::snprintf(hex, sizeof hex, " %02x", b);
                line += hex;
            }
            Log(line);
        }
        const auto outcome = gyro.OnCommandFrame(frame, faults.storeDiffers);
        if (outcome.committed) SaveState();

        // A reply block, echo included, may be cut short.
        const std::size_t block = outcome.answer && faults.cut
                                      ? static_cast<std::size_t>(std::min<std::uint64_t>(
                                            *faults.cut, std::numeric_limits<std::size_t>::max()))
                                      : std::numeric_limits<std::size_t>::max();
        const auto echoEnd = Transmit(bytes, count, start, block);
        if (outcome.answer && !faults.noReply) {
            auto body = gyro.ReplyBody();
            if (faults.badHeader) body[0] = 0xA2;
            if (faults.model) body[1] = *faults.model;
            if (faults.badSum) {
                const auto word = static_cast<std::uint16_t>((body[4] << 8 | body[5]) + 1);
                body[4] = static_cast<std::uint8_t>(word >> 8);
                body[5] = static_cast<std::uint8_t>(word);
            }
            const std::size_t deliver = block > count ? block - count : 0;
            Transmit(body.data(), body.size(), fast ? echoEnd : echoEnd + kTurnaround, deliver);
        }
        return echoEnd;
    }

    const auto end = Transmit(bytes, count, start, count);
    if (count == vgyro::kBusFrameSize && bytes[0] == vgyro::kBusFrameStart) {
        ++busFrames;
        ++faultBusFrames;
        const int servoBefore = gyro.servoValue();
        gyro.OnBusFrame(bytes);
        if (gyro.servoValue() != servoBefore) Log("servo " + std::to_string(gyro.servoValue()));
        if (faults.unplugAfter && faultBusFrames >= *faults.unplugAfter) unplugged = true;
    }
    return end;
}

void CopyString(char* out, const char* text) {
    std::memcpy(out, text, std::strlen(text) + 1);
}

}  // namespace

// ---- The nine D2XX calls the adapter makes ------------------------------------------------

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_ListDevices(PVOID arg1, PVOID arg2, DWORD flags) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    if (const FT_STATUS status = d.Enter("FT_ListDevices"); status != FT_OK) return status;
    const DWORD devices = d.faults.noDevice ? 0 : 1;
    const char* text = (flags & kOpenBySerialNumber) ? kSerialNumber : kDescription;
    if (flags & kListNumberOnly) {
        if (!arg1) return FT_INVALID_PARAMETER;
        *static_cast<DWORD*>(arg1) = devices;
        return FT_OK;
    }
    if (flags & FT_LIST_BY_INDEX) {
        const auto index = reinterpret_cast<std::uintptr_t>(arg1);
        if (index >= devices) return FT_DEVICE_NOT_FOUND;
        if (!arg2 || !(flags & (kOpenBySerialNumber | FT_OPEN_BY_DESCRIPTION))) {
            return FT_INVALID_PARAMETER;
        }
        CopyString(static_cast<char*>(arg2), text);
        return FT_OK;
    }
    if (flags & kListAll) {
        if (!arg1 || !arg2) return FT_INVALID_PARAMETER;
        auto** buffers = static_cast<char**>(arg1);
        if (devices > 0) CopyString(buffers[0], text);
        *static_cast<DWORD*>(arg2) = devices;
        return FT_OK;
    }
    return FT_INVALID_PARAMETER;
}

namespace {

// Opens the one device, or takes another reference to it while it is open; the caller
// holds the lock.
FT_HANDLE OpenLocked(Device& d) {
    if (!d.open) {
        d.open = true;
        d.baud = kLineBaud;
        d.wordLength = FT_BITS_8;
        d.stopBits = FT_STOP_BITS_1;
        d.parity = FT_PARITY_NONE;
        d.readTimeout = 0;
        d.writeTimeout = 0;
        d.rx.clear();
        d.lineFreeAt = Clock::now();
    }
    ++d.openCount;
    return DeviceHandle();
}

}  // namespace

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Open(int deviceNumber, FT_HANDLE* handle) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    if (const FT_STATUS status = d.Enter("FT_Open"); status != FT_OK) return status;
    if (!handle) return FT_INVALID_PARAMETER;
    if (d.faults.noDevice || deviceNumber != 0) return FT_DEVICE_NOT_FOUND;
    *handle = OpenLocked(d);
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_OpenEx(PVOID arg1, DWORD flags, FT_HANDLE* handle) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    if (const FT_STATUS status = d.Enter("FT_OpenEx"); status != FT_OK) return status;
    if (!handle) return FT_INVALID_PARAMETER;
    *handle = nullptr;
    if (flags != kOpenBySerialNumber) return FT_NOT_SUPPORTED;
    if (!arg1) return FT_INVALID_PARAMETER;
    if (d.faults.noDevice || std::strcmp(static_cast<const char*>(arg1), kSerialNumber) != 0)
        return FT_DEVICE_NOT_FOUND;
    *handle = OpenLocked(d);
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Close(FT_HANDLE handle) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    if (d.faults.Fails("FT_Close")) return FT_IO_ERROR;
    if (!d.open || handle != DeviceHandle())
        return d.unplugged ? FT_DEVICE_NOT_FOUND : FT_INVALID_HANDLE;
    d.open = false;
    d.rx.clear();
    d.changed.notify_all();
    return d.unplugged ? FT_DEVICE_NOT_FOUND : FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_SetBaudRate(FT_HANDLE handle, ULONG baudRate) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    if (const FT_STATUS status = d.Enter("FT_SetBaudRate", handle); status != FT_OK) return status;
    if (baudRate == 0) return FT_INVALID_BAUD_RATE;
    d.baud = baudRate;
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_SetDataCharacteristics(FT_HANDLE handle,
                                                                       UCHAR wordLength,
                                                                       UCHAR stopBits,
                                                                       UCHAR parity) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    if (const FT_STATUS status = d.Enter("FT_SetDataCharacteristics", handle); status != FT_OK) {
        return status;
    }
    d.wordLength = wordLength;
    d.stopBits = stopBits;
    d.parity = parity;
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout,
                                                            ULONG writeTimeout) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    if (const FT_STATUS status = d.Enter("FT_SetTimeouts", handle); status != FT_OK) return status;
    d.readTimeout = readTimeout;
    d.writeTimeout = writeTimeout;
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Write(FT_HANDLE handle, LPVOID buffer,
                                                      DWORD bytesToWrite, LPDWORD bytesWritten) {
    Device& d = Dev();
    std::optional<Clock::time_point> until;
    {
        std::lock_guard lock(d.mutex);
        if (const FT_STATUS status = d.Enter("FT_Write", handle); status != FT_OK) return status;
        if (!buffer && bytesToWrite > 0) return FT_INVALID_PARAMETER;
        if (d.faults.writeFailsAfter && d.faultWrites >= *d.faults.writeFailsAfter) {
            if (bytesWritten) *bytesWritten = 0;
            return FT_IO_ERROR;
        }
        ++d.faultWrites;
        if (bytesWritten) *bytesWritten = bytesToWrite;
        if (!d.LineOk() || bytesToWrite == 0) return FT_OK;
        const auto sent = d.OnWrite(static_cast<const std::uint8_t*>(buffer), bytesToWrite);
        d.changed.notify_all();
        if (!d.fast && bytesToWrite > kTransmitBuffer) {
            until = sent - kByteTime * static_cast<long>(kTransmitBuffer);
            if (d.writeTimeout > 0) {
                until = std::min(*until, Clock::now() + std::chrono::milliseconds(d.writeTimeout));
            }
        }
    }
    // What does not fit the transmit buffer holds the caller, without the lock.
#ifdef __EMSCRIPTEN__
    if (until) WebSleepUntil(*until);
#else
    if (until) std::this_thread::sleep_until(*until);
#endif
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Read(FT_HANDLE handle, LPVOID buffer,
                                                     DWORD bytesToRead, LPDWORD bytesReturned) {
    Device& d = Dev();
    std::unique_lock lock(d.mutex);
    if (const FT_STATUS status = d.Enter("FT_Read", handle); status != FT_OK) return status;
    if (!buffer && bytesToRead > 0) return FT_INVALID_PARAMETER;
    if (bytesReturned) *bytesReturned = 0;
    const std::size_t count = bytesToRead;
    const bool timed = d.readTimeout > 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(d.readTimeout);
    while (!d.fast) {
        // Another thread may close or unplug the device meanwhile.
        if (d.unplugged) return FT_DEVICE_NOT_FOUND;
        if (!d.open) return FT_INVALID_HANDLE;
        const auto now = Clock::now();
        const bool enough = count == 0 || (d.rx.size() >= count && d.rx[count - 1].at <= now);
        if (enough || (timed && now >= deadline)) break;
        std::optional<Clock::time_point> wake;
        if (count > 0 && d.rx.size() >= count) wake = d.rx[count - 1].at;
        if (timed) wake = wake ? std::min(*wake, deadline) : deadline;
#ifdef __EMSCRIPTEN__
        // One thread in the browser: nothing can write while this read waits, so the
        // line's timing alone decides. The page runs on while the module sleeps (a wait
        // without a wake point never ends: the unbounded read of a silent line).
        lock.unlock();
        WebSleepUntil(wake ? *wake : Clock::now() + std::chrono::milliseconds(50));
        lock.lock();
#else
        if (wake) {
            d.changed.wait_until(lock, *wake);
        } else {
            d.changed.wait(lock);
        }
#endif
    }
    const std::size_t take = std::min(count, d.Arrived(Clock::now()));
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < take; ++i) out[i] = d.rx[i].value;
    d.rx.erase(d.rx.begin(), d.rx.begin() + static_cast<long>(take));
    if (bytesReturned) *bytesReturned = static_cast<DWORD>(take);
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Purge(FT_HANDLE handle, ULONG mask) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    if (const FT_STATUS status = d.Enter("FT_Purge", handle); status != FT_OK) return status;
    if (mask & FT_PURGE_RX) {
        d.rx.erase(d.rx.begin(), d.rx.begin() + static_cast<long>(d.Arrived(Clock::now())));
    }
    // Nothing waits in a transmit queue: written bytes are on the line at once.
    return FT_OK;
}

// ---- The entry points the program binds but never calls ----------------------------------

#define TARVEX_VGYRO_UNSUPPORTED(name, params)                                      \
    TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API name params {                      \
        Device& d = Dev();                                                          \
        std::lock_guard lock(d.mutex);                                              \
        const FT_STATUS status = d.Enter(#name);                                    \
        return status != FT_OK ? status : static_cast<FT_STATUS>(FT_NOT_SUPPORTED); \
    }

TARVEX_D2XX_UNCALLED_ENTRY_POINTS(TARVEX_VGYRO_UNSUPPORTED)

#undef TARVEX_VGYRO_UNSUPPORTED

// ---- Control and inspection ---------------------------------------------------------------

extern "C" {

TARVEX_VGYRO_API void vgyro_reset(void) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    d.ReadOptions();
    d.gyro = vgyro::GyroModel(vgyro::FactoryRecord());
    d.busFrames = 0;
    d.commands.clear();
    d.openCount = 0;
    d.rx.clear();
    d.lineFreeAt = Clock::now();
    d.changed.notify_all();
}

TARVEX_VGYRO_API int vgyro_set_faults(const char* faults) {
    auto parsed = vgyro::ParseFaults(faults ? faults : "");
    if (!parsed) return -1;
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    d.SetFaults(std::move(*parsed));
    d.changed.notify_all();
    return 0;
}

TARVEX_VGYRO_API void vgyro_get_record(std::uint8_t out[85]) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    std::memcpy(out, d.gyro.stored().bytes.data(), ParameterRecord::kSize);
}

TARVEX_VGYRO_API void vgyro_set_record(const std::uint8_t in[85]) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    ParameterRecord record;
    std::memcpy(record.bytes.data(), in, ParameterRecord::kSize);
    d.gyro.Store(record);
    d.SaveState();
}

TARVEX_VGYRO_API int vgyro_load_state(void) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    return d.LoadState() ? 1 : 0;
}

TARVEX_VGYRO_API int vgyro_limit_mode(void) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    return d.gyro.limitMode() ? 1 : 0;
}

TARVEX_VGYRO_API int vgyro_servo_value(void) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    return d.gyro.servoValue();
}

TARVEX_VGYRO_API int vgyro_servo_percent(void) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    return vgyro::ServoPercent(d.gyro.servoValue());
}

TARVEX_VGYRO_API std::uint64_t vgyro_bus_frames(void) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    return d.busFrames;
}

TARVEX_VGYRO_API std::size_t vgyro_command_count(void) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    return d.commands.size();
}

TARVEX_VGYRO_API int vgyro_command_frame(std::size_t i, std::uint8_t out[17]) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    if (i >= d.commands.size()) return -1;
    std::memcpy(out, d.commands[i].data(), vgyro::kCommandFrameSize);
    return 0;
}

TARVEX_VGYRO_API void vgyro_line(std::uint32_t* baud, int* wordLength, int* stopBits, int* parity) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    if (baud) *baud = d.baud;
    if (wordLength) *wordLength = d.wordLength;
    if (stopBits) *stopBits = d.stopBits;
    if (parity) *parity = d.parity;
}

TARVEX_VGYRO_API int vgyro_open_count(void) {
    Device& d = Dev();
    std::lock_guard lock(d.mutex);
    return d.openCount;
}

}  // extern "C"
