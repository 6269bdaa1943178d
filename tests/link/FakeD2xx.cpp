// A stand-in for the D2XX driver library that records every call with its arguments.
//
// TARVEX_FAKE_D2XX_LOG names the file each call is appended to, one line per call
// ("FT_SetBaudRate 0x7ab 9600"), so that a parent process can read what a child did.
// TARVEX_FAKE_D2XX_FAIL names one entry point that answers FT_IO_ERROR.
// TARVEX_FAKE_D2XX_READ is how many bytes FT_Read delivers (0xA5 each); default all.
// Built in variants that leave out one export (TARVEX_FAKE_OMIT_<name>).
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "link/D2xx.h"

namespace {

// The handle FT_Open hands out, and the value a failing FT_Open leaves behind.
FT_HANDLE const kOpenHandle = reinterpret_cast<FT_HANDLE>(std::uintptr_t{0x7ab});
FT_HANDLE const kJunkHandle = reinterpret_cast<FT_HANDLE>(std::uintptr_t{0xbad});

std::string Hex(const void* pointer) {
    char text[32];
    std::snprintf(text, sizeof text, "%#llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pointer)));
    return pointer == nullptr ? "0x0" : text;
}

// Appends one line to the log and tells whether the call is the one chosen to fail.
bool Record(const char* name, const std::string& arguments = {}) {
    if (const char* path = std::getenv("TARVEX_FAKE_D2XX_LOG"); path != nullptr) {
        const std::string line =
            std::string(name) + (arguments.empty() ? "" : " ") + arguments + "\n";
        const int file = open(path, O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (file >= 0) {
            ssize_t written = write(file, line.data(), line.size());
            (void)written;
            close(file);
        }
    }
    const char* fail = std::getenv("TARVEX_FAKE_D2XX_FAIL");
    return fail != nullptr && std::strcmp(fail, name) == 0;
}

}  // namespace

#define FAKE_RESULT(name, arguments) (Record(#name, arguments) ? FT_IO_ERROR : FT_OK)

TARVEX_D2XX_EXPORT FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) {
    if (Record("FT_Open", std::to_string(deviceNumber))) {
        *handle = kJunkHandle;
        return FT_DEVICE_NOT_FOUND;
    }
    *handle = kOpenHandle;
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS FT_OpenEx(PVOID arg1, DWORD flags, FT_HANDLE* handle) {
    *handle = kOpenHandle;
    const std::string device =
        flags == FT_OPEN_BY_SERIAL_NUMBER ? std::string(static_cast<const char*>(arg1)) : Hex(arg1);
    return FAKE_RESULT(FT_OpenEx, device + " " + std::to_string(flags));
}

TARVEX_D2XX_EXPORT FT_STATUS FT_ListDevices(PVOID arg1, PVOID arg2, DWORD flags) {
    char text[16];
    std::snprintf(text, sizeof text, "%#x", static_cast<unsigned>(flags));
    if (Record("FT_ListDevices", Hex(arg1) + " " + text)) return FT_DEVICE_NOT_FOUND;
    // One device.
    if (flags & FT_LIST_NUMBER_ONLY) {
        *static_cast<DWORD*>(arg1) = 1;
        return FT_OK;
    }
    // A caller's buffer smaller than 64 bytes would be overrun by the real driver too.
    std::memset(arg2, 0, 64);
    std::strcpy(static_cast<char*>(arg2),
                (flags & 0xFF) == FT_OPEN_BY_SERIAL_NUMBER ? "TBX3-0001" : "TBX-3");
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS FT_Close(FT_HANDLE handle) {
    return FAKE_RESULT(FT_Close, Hex(handle));
}

TARVEX_D2XX_EXPORT FT_STATUS FT_Read(FT_HANDLE handle, LPVOID buffer, DWORD bytesToRead,
                                     LPDWORD bytesReturned) {
    *bytesReturned = 0;
    if (Record("FT_Read", Hex(handle) + " " + std::to_string(bytesToRead))) return FT_IO_ERROR;
    DWORD count = bytesToRead;
    if (const char* limit = std::getenv("TARVEX_FAKE_D2XX_READ"); limit != nullptr)
        count = std::min<DWORD>(count, static_cast<DWORD>(std::strtoul(limit, nullptr, 10)));
    std::memset(buffer, 0xA5, count);
    *bytesReturned = count;
    return FT_OK;
}

#ifndef TARVEX_FAKE_OMIT_FT_Write
TARVEX_D2XX_EXPORT FT_STATUS FT_Write(FT_HANDLE handle, LPVOID buffer, DWORD bytesToWrite,
                                      LPDWORD bytesWritten) {
    std::string arguments = Hex(handle);
    for (DWORD i = 0; i < bytesToWrite; ++i)
        arguments += " " + std::to_string(static_cast<const unsigned char*>(buffer)[i]);
    *bytesWritten = bytesToWrite;
    return FAKE_RESULT(FT_Write, arguments);
}
#endif

TARVEX_D2XX_EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE handle) {
    return FAKE_RESULT(FT_ResetDevice, Hex(handle));
}

#ifndef TARVEX_FAKE_OMIT_FT_Purge
TARVEX_D2XX_EXPORT FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) {
    return FAKE_RESULT(FT_Purge, Hex(handle) + " " + std::to_string(mask));
}
#endif

TARVEX_D2XX_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout,
                                            ULONG writeTimeout) {
    return FAKE_RESULT(FT_SetTimeouts, Hex(handle) + " " + std::to_string(readTimeout) + " " +
                                           std::to_string(writeTimeout));
}

TARVEX_D2XX_EXPORT FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength,
                                                       UCHAR stopBits, UCHAR parity) {
    return FAKE_RESULT(FT_SetDataCharacteristics, Hex(handle) + " " + std::to_string(wordLength) +
                                                      " " + std::to_string(stopBits) + " " +
                                                      std::to_string(parity));
}

TARVEX_D2XX_EXPORT FT_STATUS FT_SetBaudRate(FT_HANDLE handle, ULONG baudRate) {
    return FAKE_RESULT(FT_SetBaudRate, Hex(handle) + " " + std::to_string(baudRate));
}

// The entry points the program binds but never calls: each records its name only.
#define FAKE_UNUSED(name, params)              \
    TARVEX_D2XX_EXPORT FT_STATUS name params { \
        return FAKE_RESULT(name, "");          \
    }
#define FAKE_UNUSED_LIST(X)                                                     \
    X(FT_GetQueueStatus, (FT_HANDLE, DWORD*))                                   \
    X(FT_SetDtr, (FT_HANDLE))                                                   \
    X(FT_ClrDtr, (FT_HANDLE))                                                   \
    X(FT_SetRts, (FT_HANDLE))                                                   \
    X(FT_ClrRts, (FT_HANDLE))                                                   \
    X(FT_GetModemStatus, (FT_HANDLE, ULONG*))                                   \
    X(FT_SetChars, (FT_HANDLE, UCHAR, UCHAR, UCHAR, UCHAR))                     \
    X(FT_SetLatencyTimer, (FT_HANDLE, UCHAR))                                   \
    X(FT_GetLatencyTimer, (FT_HANDLE, PUCHAR))                                  \
    X(FT_SetFlowControl, (FT_HANDLE, USHORT, UCHAR, UCHAR))                     \
    X(FT_SetBreakOn, (FT_HANDLE))                                               \
    X(FT_SetBreakOff, (FT_HANDLE))                                              \
    X(FT_ResetPort, (FT_HANDLE))                                                \
    X(FT_GetDeviceInfo, (FT_HANDLE, FT_DEVICE*, LPDWORD, PCHAR, PCHAR, LPVOID)) \
    X(FT_EE_UASize, (FT_HANDLE, LPDWORD))                                       \
    X(FT_EE_UARead, (FT_HANDLE, PUCHAR, DWORD, LPDWORD))                        \
    X(FT_EE_UAWrite, (FT_HANDLE, PUCHAR, DWORD))                                \
    X(FT_SetBitMode, (FT_HANDLE, UCHAR, UCHAR))                                 \
    X(FT_GetBitMode, (FT_HANDLE, PUCHAR))                                       \
    X(FT_SetEventNotification, (FT_HANDLE, DWORD, PVOID))                       \
    X(FT_GetStatus, (FT_HANDLE, DWORD*, DWORD*, DWORD*))                        \
    X(FT_GetEventStatus, (FT_HANDLE, DWORD*))                                   \
    X(FT_GetDriverVersion, (FT_HANDLE, LPDWORD))
FAKE_UNUSED_LIST(FAKE_UNUSED)

#ifndef TARVEX_FAKE_OMIT_FT_GetLibraryVersion
TARVEX_D2XX_EXPORT FT_STATUS FT_GetLibraryVersion(LPDWORD version) {
    *version = 0x00010000;
    return FAKE_RESULT(FT_GetLibraryVersion, "");
}
#endif
