// The D2XX entry points over the page's port object, globalThis.tarvexPort (a Web Serial
// or WebUSB port, see the contract in web/site): each awaits the port's promise while the
// module sleeps (Asyncify). A rejection carries the D2XX status in its ftStatus property
// (FT_IO_ERROR when it has none). The adapter calls only the ten below and FT_Close; the
// other entry points answer FT_NOT_SUPPORTED.
#include <emscripten.h>

#include <algorithm>
#include <cstring>

#include "link/D2xx.h"
#include "web/WebD2xx.h"

// Each call gives the D2XX status; values come back through the pointers given.
// clang-format off
EM_JS(int, js_port_status, (), {
    // 0 when there is a port object.
    return globalThis.tarvexPort ? 0 : 2;
});
EM_ASYNC_JS(int, js_port_list, (int index, char* serial, char* description, int* count), {
    const status = (e) => (e && typeof e.ftStatus === "number" ? e.ftStatus : 4);
    try {
        const devices = await tarvexPort.list();
        if (count) HEAP32[count >> 2] = devices.length;
        if (index < 0) return devices.length ? 0 : 2;
        if (index >= devices.length) return 2;
        if (serial) stringToUTF8(String(devices[index].serial ?? ""), serial, 64);
        if (description) stringToUTF8(String(devices[index].description ?? ""), description, 64);
        return 0;
    } catch (e) {
        return status(e);
    }
});
EM_ASYNC_JS(int, js_port_open, (const char* serial), {
    try {
        await tarvexPort.open(UTF8ToString(serial));
        return 0;
    } catch (e) {
        return e && typeof e.ftStatus === "number" ? e.ftStatus : 3;
    }
});
EM_ASYNC_JS(int, js_port_call, (int what, int a, int b, int c), {
    try {
        switch (what) {
            case 0: await tarvexPort.setBaudRate(a); break;
            case 1: await tarvexPort.setTimeouts(a, b); break;
            case 2: await tarvexPort.setDataCharacteristics(a, b, c); break;
            case 3: await tarvexPort.purge(a); break;
            case 4: await tarvexPort.close(); break;
        }
        return 0;
    } catch (e) {
        return e && typeof e.ftStatus === "number" ? e.ftStatus : 4;
    }
});
EM_ASYNC_JS(int, js_port_read, (unsigned char* buffer, int count, int* received), {
    try {
        const bytes = await tarvexPort.read(count, 0);
        const n = Math.min(bytes.length, count);
        HEAPU8.set(bytes.subarray(0, n), buffer);
        HEAP32[received >> 2] = n;
        return 0;
    } catch (e) {
        HEAP32[received >> 2] = 0;
        return e && typeof e.ftStatus === "number" ? e.ftStatus : 4;
    }
});
EM_ASYNC_JS(int, js_port_write, (const unsigned char* buffer, int count, int* written), {
    try {
        const n = await tarvexPort.write(HEAPU8.slice(buffer, buffer + count));
        HEAP32[written >> 2] = typeof n === "number" ? n : count;
        return 0;
    } catch (e) {
        HEAP32[written >> 2] = 0;
        return e && typeof e.ftStatus === "number" ? e.ftStatus : 4;
    }
});
EM_JS(int, js_port_queued, (), { return tarvexPort.queued() | 0; });
// clang-format on

namespace {

// The one device's handle while open.
char g_portTag;
bool g_open = false;

FT_STATUS Checked(FT_HANDLE handle) {
    if (js_port_status() != 0) return FT_DEVICE_NOT_FOUND;
    return g_open && handle == &g_portTag ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS OpenBySerial(const char* serial, FT_HANDLE* handle) {
    if (handle == nullptr) return FT_INVALID_PARAMETER;
    if (js_port_status() != 0) return FT_DEVICE_NOT_FOUND;
    if (!g_open) {
        if (const int status = js_port_open(serial); status != 0) return status;
        g_open = true;
    }
    *handle = &g_portTag;
    return FT_OK;
}

FT_STATUS PortCall(FT_HANDLE handle, int what, int a = 0, int b = 0, int c = 0) {
    if (const FT_STATUS status = Checked(handle); status != FT_OK) return status;
    return static_cast<FT_STATUS>(js_port_call(what, a, b, c));
}

// ---- The entry points -------------------------------------------------------------------

FT_STATUS PortListDevices(PVOID arg1, PVOID arg2, DWORD flags) {
    if (js_port_status() != 0) return FT_DEVICE_NOT_FOUND;
    if (flags & FT_LIST_NUMBER_ONLY) {
        if (arg1 == nullptr) return FT_INVALID_PARAMETER;
        int count = 0;
        const int status = js_port_list(-1, nullptr, nullptr, &count);
        *static_cast<DWORD*>(arg1) = static_cast<DWORD>(count);
        return static_cast<FT_STATUS>(status);
    }
    if (flags & FT_LIST_BY_INDEX) {
        if (arg2 == nullptr) return FT_INVALID_PARAMETER;
        const int index = static_cast<int>(reinterpret_cast<std::uintptr_t>(arg1));
        char* text = static_cast<char*>(arg2);
        if (flags & FT_OPEN_BY_SERIAL_NUMBER) return js_port_list(index, text, nullptr, nullptr);
        if (flags & FT_OPEN_BY_DESCRIPTION) return js_port_list(index, nullptr, text, nullptr);
    }
    return FT_INVALID_PARAMETER;
}

FT_STATUS PortOpen(int deviceNumber, FT_HANDLE* handle) {
    if (deviceNumber != 0) return FT_DEVICE_NOT_FOUND;
    return OpenBySerial("", handle);
}

FT_STATUS PortOpenEx(PVOID arg1, DWORD flags, FT_HANDLE* handle) {
    if (flags != FT_OPEN_BY_SERIAL_NUMBER || arg1 == nullptr) return FT_INVALID_PARAMETER;
    return OpenBySerial(static_cast<const char*>(arg1), handle);
}

FT_STATUS PortClose(FT_HANDLE handle) {
    if (const FT_STATUS status = Checked(handle); status != FT_OK) return status;
    g_open = false;
    return static_cast<FT_STATUS>(js_port_call(4, 0, 0, 0));
}

FT_STATUS PortSetBaudRate(FT_HANDLE handle, ULONG baudRate) {
    return PortCall(handle, 0, static_cast<int>(baudRate));
}

FT_STATUS PortSetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout) {
    return PortCall(handle, 1, static_cast<int>(readTimeout), static_cast<int>(writeTimeout));
}

FT_STATUS PortSetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                     UCHAR parity) {
    return PortCall(handle, 2, wordLength, stopBits, parity);
}

FT_STATUS PortPurge(FT_HANDLE handle, ULONG mask) {
    return PortCall(handle, 3, static_cast<int>(mask));
}

FT_STATUS PortRead(FT_HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesReturned) {
    if (bytesReturned) *bytesReturned = 0;
    if (const FT_STATUS status = Checked(handle); status != FT_OK) return status;
    if (buffer == nullptr && bytesToRead > 0) return FT_INVALID_PARAMETER;
    int received = 0;
    const int status =
        js_port_read(static_cast<unsigned char*>(buffer), static_cast<int>(bytesToRead), &received);
    if (bytesReturned) *bytesReturned = static_cast<DWORD>(received);
    return static_cast<FT_STATUS>(status);
}

FT_STATUS PortWrite(FT_HANDLE handle, LPVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten) {
    if (bytesWritten) *bytesWritten = 0;
    if (const FT_STATUS status = Checked(handle); status != FT_OK) return status;
    if (buffer == nullptr && bytesToWrite > 0) return FT_INVALID_PARAMETER;
    int written = 0;
    const int status = js_port_write(static_cast<const unsigned char*>(buffer),
                                     static_cast<int>(bytesToWrite), &written);
    if (bytesWritten) *bytesWritten = static_cast<DWORD>(written);
    return static_cast<FT_STATUS>(status);
}

FT_STATUS PortGetQueueStatus(FT_HANDLE handle, DWORD* rxBytes) {
    if (const FT_STATUS status = Checked(handle); status != FT_OK) return status;
    if (rxBytes == nullptr) return FT_INVALID_PARAMETER;
    *rxBytes = static_cast<DWORD>(js_port_queued());
    return FT_OK;
}

// The rest answer FT_NOT_SUPPORTED, whatever they are given.
template <typename... Args>
FT_STATUS NotSupported(Args...) {
    return FT_NOT_SUPPORTED;
}

D2xxDriver MakePortTable() {
    D2xxDriver table;
#define TARVEX_PORT_UNSUPPORTED(name, params) table.name = NotSupported;
    TARVEX_D2XX_ENTRY_POINTS(TARVEX_PORT_UNSUPPORTED)
#undef TARVEX_PORT_UNSUPPORTED
    table.FT_ListDevices = PortListDevices;
    table.FT_Open = PortOpen;
    table.FT_OpenEx = PortOpenEx;
    table.FT_Close = PortClose;
    table.FT_SetBaudRate = PortSetBaudRate;
    table.FT_SetTimeouts = PortSetTimeouts;
    table.FT_SetDataCharacteristics = PortSetDataCharacteristics;
    table.FT_Purge = PortPurge;
    table.FT_Read = PortRead;
    table.FT_Write = PortWrite;
    table.FT_GetQueueStatus = PortGetQueueStatus;
    return table;
}

}  // namespace

const D2xxDriver& PortD2xxTable() {
    static const D2xxDriver table = MakePortTable();
    return table;
}
