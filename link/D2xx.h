// The D2XX driver library's C interface as the adapter link uses it: its types, status
// codes and constants, and the 35 entry points in the order the binding stores them.
//
// Every library that stands in for the driver (the vendor's, the libftdi1 layer, the
// virtual gyro, the test doubles) includes this header, so that each exported function
// is checked against the signature the binding calls it with.
#pragma once

#include <type_traits>

#ifdef _WIN32
#include <windows.h>
#define TARVEX_D2XX_API WINAPI
#else
#define TARVEX_D2XX_API
using DWORD = unsigned int;
using ULONG = unsigned int;
using UCHAR = unsigned char;
using USHORT = unsigned short;
using LPDWORD = DWORD*;
using PUCHAR = UCHAR*;
using PCHAR = char*;
using PVOID = void*;
using LPVOID = void*;
#endif

using FT_HANDLE = void*;
using FT_STATUS = ULONG;
using FT_DEVICE = ULONG;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE,
    FT_DEVICE_NOT_FOUND,
    FT_DEVICE_NOT_OPENED,
    FT_IO_ERROR,
    FT_INSUFFICIENT_RESOURCES,
    FT_INVALID_PARAMETER,
    FT_INVALID_BAUD_RATE,
    FT_DEVICE_NOT_OPENED_FOR_ERASE,
    FT_DEVICE_NOT_OPENED_FOR_WRITE,
    FT_FAILED_TO_WRITE_DEVICE,
    FT_EEPROM_READ_FAILED,
    FT_EEPROM_WRITE_FAILED,
    FT_EEPROM_ERASE_FAILED,
    FT_EEPROM_NOT_PRESENT,
    FT_EEPROM_NOT_PROGRAMMED,
    FT_INVALID_ARGS,
    FT_NOT_SUPPORTED,
    FT_OTHER_ERROR,
    FT_DEVICE_LIST_NOT_READY,
};

inline constexpr DWORD FT_LIST_BY_INDEX = 0x40000000;
inline constexpr DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;
inline constexpr DWORD FT_OPEN_BY_DESCRIPTION = 2;
inline constexpr DWORD FT_LIST_NUMBER_ONLY = 0x80000000;
inline constexpr ULONG FT_PURGE_RX = 1;
inline constexpr ULONG FT_PURGE_TX = 2;
inline constexpr UCHAR FT_BITS_8 = 8;
inline constexpr UCHAR FT_STOP_BITS_1 = 0;
inline constexpr UCHAR FT_STOP_BITS_2 = 2;
inline constexpr UCHAR FT_PARITY_NONE = 0;
inline constexpr UCHAR FT_PARITY_EVEN = 2;

// X(name, parameter list) for each entry point, in storage order.
#define TARVEX_D2XX_ENTRY_POINTS(X)                                                             \
    X(FT_Open, (int deviceNumber, FT_HANDLE* handle))                                           \
    X(FT_OpenEx, (PVOID arg1, DWORD flags, FT_HANDLE * handle))                                 \
    X(FT_ListDevices, (PVOID arg1, PVOID arg2, DWORD flags))                                    \
    X(FT_Close, (FT_HANDLE handle))                                                             \
    X(FT_Read, (FT_HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesReturned))     \
    X(FT_Write, (FT_HANDLE handle, LPVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten))    \
    X(FT_ResetDevice, (FT_HANDLE handle))                                                       \
    X(FT_Purge, (FT_HANDLE handle, ULONG mask))                                                 \
    X(FT_SetTimeouts, (FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout))                \
    X(FT_GetQueueStatus, (FT_HANDLE handle, DWORD * rxBytes))                                   \
    X(FT_SetDtr, (FT_HANDLE handle))                                                            \
    X(FT_ClrDtr, (FT_HANDLE handle))                                                            \
    X(FT_SetRts, (FT_HANDLE handle))                                                            \
    X(FT_ClrRts, (FT_HANDLE handle))                                                            \
    X(FT_GetModemStatus, (FT_HANDLE handle, ULONG * modemStatus))                               \
    X(FT_SetChars, (FT_HANDLE handle, UCHAR eventChar, UCHAR eventCharEnabled, UCHAR errorChar, \
                    UCHAR errorCharEnabled))                                                    \
    X(FT_SetLatencyTimer, (FT_HANDLE handle, UCHAR latency))                                    \
    X(FT_GetLatencyTimer, (FT_HANDLE handle, PUCHAR latency))                                   \
    X(FT_SetDataCharacteristics,                                                                \
      (FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity))                       \
    X(FT_SetFlowControl, (FT_HANDLE handle, USHORT flowControl, UCHAR xon, UCHAR xoff))         \
    X(FT_SetBreakOn, (FT_HANDLE handle))                                                        \
    X(FT_SetBreakOff, (FT_HANDLE handle))                                                       \
    X(FT_ResetPort, (FT_HANDLE handle))                                                         \
    X(FT_GetDeviceInfo, (FT_HANDLE handle, FT_DEVICE * device, LPDWORD id, PCHAR serialNumber,  \
                         PCHAR description, LPVOID dummy))                                      \
    X(FT_EE_UASize, (FT_HANDLE handle, LPDWORD size))                                           \
    X(FT_EE_UARead, (FT_HANDLE handle, PUCHAR data, DWORD length, LPDWORD bytesRead))           \
    X(FT_EE_UAWrite, (FT_HANDLE handle, PUCHAR data, DWORD length))                             \
    X(FT_SetBitMode, (FT_HANDLE handle, UCHAR mask, UCHAR enable))                              \
    X(FT_GetBitMode, (FT_HANDLE handle, PUCHAR mode))                                           \
    X(FT_SetEventNotification, (FT_HANDLE handle, DWORD mask, PVOID param))                     \
    X(FT_GetStatus, (FT_HANDLE handle, DWORD * rxBytes, DWORD * txBytes, DWORD * eventStatus))  \
    X(FT_GetEventStatus, (FT_HANDLE handle, DWORD * eventStatus))                               \
    X(FT_SetBaudRate, (FT_HANDLE handle, ULONG baudRate))                                       \
    X(FT_GetDriverVersion, (FT_HANDLE handle, LPDWORD version))                                 \
    X(FT_GetLibraryVersion, (LPDWORD version))

// Declarations of the exported functions, for the libraries that define them.
#define TARVEX_D2XX_DECLARE(name, params) FT_STATUS TARVEX_D2XX_API name params;
extern "C" {
TARVEX_D2XX_ENTRY_POINTS(TARVEX_D2XX_DECLARE)
}
#undef TARVEX_D2XX_DECLARE

// X(name, parameter types) for the 25 entry points the program binds but never calls, for
// the libraries that answer them all alike.
#define TARVEX_D2XX_UNCALLED_ENTRY_POINTS(X)                                    \
    X(FT_ResetDevice, (FT_HANDLE))                                              \
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
    X(FT_GetDriverVersion, (FT_HANDLE, LPDWORD))                                \
    X(FT_GetLibraryVersion, (LPDWORD))

// Each of them has the same type as its declaration above.
#define TARVEX_D2XX_CHECK_TYPE(name, types)                                             \
    static_assert(std::is_same_v<decltype(&::name), FT_STATUS(TARVEX_D2XX_API*) types>, \
                  #name " is declared differently");
TARVEX_D2XX_UNCALLED_ENTRY_POINTS(TARVEX_D2XX_CHECK_TYPE)
#undef TARVEX_D2XX_CHECK_TYPE

// Libraries that export the entry points mark them with this.
#ifdef _WIN32
#define TARVEX_D2XX_EXPORT extern "C" __declspec(dllexport)
#else
#define TARVEX_D2XX_EXPORT extern "C" __attribute__((visibility("default")))
#endif
