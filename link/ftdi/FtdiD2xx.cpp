// The D2XX calls the program makes, over libftdi1: a driver library for Linux machines
// without the vendor's. It exports all 35 entry points the binding looks for; the ten the
// program calls work, the others answer FT_NOT_SUPPORTED.
//
// Devices are the FTDI chips on the bus (vendor 0x0403, the usual product ids), listed by
// product id and then in the order libusb finds them; index 0 is the first of that list.
#include <ftdi.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "link/D2xx.h"

namespace {

constexpr int kFtdiVendor = 0x0403;
// FT232R, FT2232, FT4232, FT232H, FT-X.
constexpr int kFtdiProducts[] = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};
// The chip holds back a partly filled packet for its latency time (16 ms by default); a
// short reply should not wait that long.
constexpr unsigned char kLatencyMs = 2;
// What FT_ListDevices may write into its caller's buffer, terminator included.
constexpr std::size_t kDescriptionSize = 64;
// libusb's code for a transfer that saw nothing within its time-out.
constexpr int kUsbTimedOut = -7;

// An open device. Time-outs are in milliseconds; 0 waits without end, as the vendor's
// driver does until FT_SetTimeouts is called. The line settings give a byte's time on the
// line: start bit, data bits, parity bit, stop bits.
struct Port {
    ftdi_context* context = nullptr;
    ULONG readTimeout = 0;
    ULONG writeTimeout = 0;
    ULONG baud = 9600;
    unsigned bitsPerByte = 10;
};

// The open devices. The program closes its device from a static object's destructor at
// exit, which can run after this library's own static objects are destroyed; so the table
// is made on first use and never destroyed.
struct PortTable {
    std::mutex lock;
    std::set<Port*> ports;
};

PortTable& Ports() {
    static PortTable* const table = new PortTable;
    return *table;
}

Port* FindPort(FT_HANDLE handle) {
    PortTable& table = Ports();
    std::lock_guard lock(table.lock);
    auto found = table.ports.find(static_cast<Port*>(handle));
    return found == table.ports.end() ? nullptr : *found;
}

// The FTDI devices on the bus, found through one libftdi context; the devices stay valid
// while the list lives.
class DeviceList {
  public:
    explicit DeviceList(ftdi_context* context) {
        for (int product : kFtdiProducts) {
            ftdi_device_list* list = nullptr;
            if (ftdi_usb_find_all(context, &list, kFtdiVendor, product) > 0) {
                for (ftdi_device_list* node = list; node != nullptr; node = node->next)
                    devices_.push_back(node->dev);
            }
            if (list != nullptr) lists_.push_back(list);
        }
    }
    ~DeviceList() {
        for (ftdi_device_list*& list : lists_) ftdi_list_free(&list);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    std::size_t Count() const { return devices_.size(); }
    libusb_device* At(std::size_t index) const {
        return index < devices_.size() ? devices_[index] : nullptr;
    }

  private:
    std::vector<ftdi_device_list*> lists_;
    std::vector<libusb_device*> devices_;
};

// A libftdi context for one call, freed when the call ends.
struct Context {
    ftdi_context* context = ftdi_new();
    ~Context() {
        if (context != nullptr) ftdi_free(context);
    }
    ftdi_context* Release() { return std::exchange(context, nullptr); }
};

}  // namespace

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_ListDevices(PVOID arg1, PVOID arg2, DWORD flags) {
    Context scan;
    if (scan.context == nullptr) return FT_DEVICE_NOT_FOUND;  // no USB here at all
    if (flags & FT_LIST_NUMBER_ONLY) {
        if (arg1 == nullptr) return FT_INVALID_PARAMETER;
        DeviceList devices(scan.context);
        *static_cast<DWORD*>(arg1) = static_cast<DWORD>(devices.Count());
        return FT_OK;
    }
    if (!(flags & FT_LIST_BY_INDEX) || arg2 == nullptr) return FT_NOT_SUPPORTED;

    // The index comes as a pointer-sized integer.
    const auto index = reinterpret_cast<std::uintptr_t>(arg1);
    DeviceList devices(scan.context);
    libusb_device* device = devices.At(index);
    if (device == nullptr) return FT_DEVICE_NOT_FOUND;

    // The strings come from the device itself. Reading them can fail (no permission on
    // the device node); the device is there all the same, so the answer is an empty text
    // and FT_Open is the one to fail.
    char text[kDescriptionSize] = {};
    const bool bySerial = (flags & 0xFF) == FT_OPEN_BY_SERIAL_NUMBER;
    if (ftdi_usb_get_strings(scan.context, device, nullptr, 0, bySerial ? nullptr : text,
                             bySerial ? 0 : sizeof text, bySerial ? text : nullptr,
                             bySerial ? sizeof text : 0) < 0)
        text[0] = '\0';
    text[kDescriptionSize - 1] = '\0';
    std::memcpy(arg2, text, std::strlen(text) + 1);
    return FT_OK;
}

namespace {

// Opens a device of the list and enters it in the table.
FT_STATUS OpenPort(Context& port, libusb_device* device, FT_HANDLE* handle) {
    if (device == nullptr) return FT_DEVICE_NOT_FOUND;
    // Opening detaches the kernel's ftdi_sio from the device, closing gives it back, so
    // the serial port (/dev/ttyUSB*) is there again for other programs. Fails without
    // permission on the device node (-8) or when another program holds the interface (-5).
    port.context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    if (ftdi_usb_open_dev(port.context, device) < 0) return FT_DEVICE_NOT_OPENED;
    // A slow latency timer only delays replies; the device works without the change.
    (void)ftdi_set_latency_timer(port.context, kLatencyMs);

    auto* opened = new Port{port.Release()};
    PortTable& table = Ports();
    std::lock_guard lock(table.lock);
    table.ports.insert(opened);
    *handle = opened;
    return FT_OK;
}

}  // namespace

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Open(int deviceNumber, FT_HANDLE* handle) {
    if (handle == nullptr) return FT_INVALID_PARAMETER;
    *handle = nullptr;
    if (deviceNumber < 0) return FT_DEVICE_NOT_FOUND;
    Context port;
    if (port.context == nullptr) return FT_DEVICE_NOT_FOUND;
    DeviceList devices(port.context);
    return OpenPort(port, devices.At(static_cast<std::size_t>(deviceNumber)), handle);
}

// Opens the device with the serial number given (FT_OPEN_BY_SERIAL_NUMBER).
TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_OpenEx(PVOID arg1, DWORD flags, FT_HANDLE* handle) {
    if (handle == nullptr) return FT_INVALID_PARAMETER;
    *handle = nullptr;
    if (flags != FT_OPEN_BY_SERIAL_NUMBER) return FT_NOT_SUPPORTED;
    if (arg1 == nullptr) return FT_INVALID_PARAMETER;
    const char* wanted = static_cast<const char*>(arg1);
    Context port;
    if (port.context == nullptr) return FT_DEVICE_NOT_FOUND;
    DeviceList devices(port.context);
    for (std::size_t i = 0; i < devices.Count(); ++i) {
        char serial[kDescriptionSize] = {};
        if (ftdi_usb_get_strings(port.context, devices.At(i), nullptr, 0, nullptr, 0, serial,
                                 sizeof serial) < 0)
            continue;
        serial[kDescriptionSize - 1] = '\0';
        if (std::strcmp(serial, wanted) == 0) return OpenPort(port, devices.At(i), handle);
    }
    return FT_DEVICE_NOT_FOUND;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Close(FT_HANDLE handle) {
    Port* port = nullptr;
    {
        PortTable& table = Ports();
        std::lock_guard lock(table.lock);
        auto found = table.ports.find(static_cast<Port*>(handle));
        if (found == table.ports.end()) return FT_INVALID_HANDLE;
        port = *found;
        table.ports.erase(found);
    }
    ftdi_usb_close(port->context);
    ftdi_free(port->context);
    delete port;
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_SetBaudRate(FT_HANDLE handle, ULONG baudRate) {
    Port* port = FindPort(handle);
    if (port == nullptr) return FT_INVALID_HANDLE;
    if (baudRate == 0 || baudRate > INT_MAX) return FT_INVALID_BAUD_RATE;
    const int result = ftdi_set_baudrate(port->context, static_cast<int>(baudRate));
    if (result == -1) return FT_INVALID_BAUD_RATE;
    if (result < 0) return FT_IO_ERROR;
    port->baud = baudRate;
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_SetTimeouts(FT_HANDLE handle, ULONG readTimeout,
                                                            ULONG writeTimeout) {
    Port* port = FindPort(handle);
    if (port == nullptr) return FT_INVALID_HANDLE;
    port->readTimeout = readTimeout;
    port->writeTimeout = writeTimeout;
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_SetDataCharacteristics(FT_HANDLE handle,
                                                                       UCHAR wordLength,
                                                                       UCHAR stopBits,
                                                                       UCHAR parity) {
    Port* port = FindPort(handle);
    if (port == nullptr) return FT_INVALID_HANDLE;
    if (wordLength != 7 && wordLength != 8) return FT_INVALID_PARAMETER;
    static constexpr ftdi_stopbits_type kStopBits[] = {STOP_BIT_1, STOP_BIT_15, STOP_BIT_2};
    static constexpr ftdi_parity_type kParity[] = {NONE, ODD, EVEN, MARK, SPACE};
    if (stopBits >= std::size(kStopBits) || parity >= std::size(kParity))
        return FT_INVALID_PARAMETER;
    const int result = ftdi_set_line_property(port->context, wordLength == 7 ? BITS_7 : BITS_8,
                                              kStopBits[stopBits], kParity[parity]);
    if (result < 0) return FT_IO_ERROR;
    // 1.5 stop bits count as 2: a byte's time is only ever rounded up.
    port->bitsPerByte = 1u + wordLength + (parity != 0 ? 1u : 0u) + (stopBits == 0 ? 1u : 2u);
    return FT_OK;
}

// Waits for bytesToRead bytes or the read time-out, whichever comes first, and answers
// FT_OK with what arrived: fewer bytes, or none, after a time-out.
//
// ftdi_read_data answers a USB time-out with an error even when it has already placed
// bytes from earlier packets, and does not say how many. So it is asked for bytes libftdi
// holds already (no transfer), or else for one byte: one transfer, whose further bytes
// libftdi keeps for the next call. A time-out then never hides bytes already placed.
TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Read(FT_HANDLE handle, LPVOID buffer,
                                                     DWORD bytesToRead, LPDWORD bytesReturned) {
    using Clock = std::chrono::steady_clock;
    Port* port = FindPort(handle);
    if (port == nullptr) return FT_INVALID_HANDLE;
    if (bytesReturned == nullptr || (buffer == nullptr && bytesToRead > 0))
        return FT_INVALID_PARAMETER;
    *bytesReturned = 0;

    auto* bytes = static_cast<unsigned char*>(buffer);
    ftdi_context* context = port->context;
    const bool timed = port->readTimeout != 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(port->readTimeout);
    DWORD received = 0;
    while (received < bytesToRead) {
        const DWORD wanted = bytesToRead - received;
        int asked = 1;
        if (context->readbuffer_remaining > 0) {
            asked = static_cast<int>(std::min<DWORD>(
                {wanted, context->readbuffer_remaining, static_cast<DWORD>(INT_MAX)}));
        } else if (timed) {
            // The transfer ends once the chip sends a packet, or at the deadline.
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            context->usb_read_timeout = static_cast<int>(std::min<long long>(left, INT_MAX));
        }
        const int got = ftdi_read_data(context, bytes + received, asked);
        if (got == kUsbTimedOut) continue;  // nothing placed: the deadline decides
        if (got < 0) {
            *bytesReturned = received;
            return FT_IO_ERROR;
        }
        received += static_cast<DWORD>(got);
    }
    *bytesReturned = received;
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Write(FT_HANDLE handle, LPVOID buffer,
                                                      DWORD bytesToWrite, LPDWORD bytesWritten) {
    Port* port = FindPort(handle);
    if (port == nullptr) return FT_INVALID_HANDLE;
    if (bytesWritten == nullptr || (buffer == nullptr && bytesToWrite > 0))
        return FT_INVALID_PARAMETER;
    *bytesWritten = 0;
    if (bytesToWrite > INT_MAX) return FT_INVALID_PARAMETER;
    if (bytesToWrite == 0) return FT_OK;
    // The chip takes the last bytes only once the line has sent all but a buffer's worth
    // before them, so a long write needs their line time on top of the write time-out
    // (libusb's 0 waits without end).
    const std::uint64_t lineMs =
        (std::uint64_t{bytesToWrite} * port->bitsPerByte * 1000 + port->baud - 1) / port->baud;
    port->context->usb_write_timeout =
        port->writeTimeout == 0
            ? 0
            : static_cast<int>(std::min<std::uint64_t>(port->writeTimeout + lineMs, INT_MAX));
    const int sent = ftdi_write_data(port->context, static_cast<const unsigned char*>(buffer),
                                     static_cast<int>(bytesToWrite));
    if (sent < 0) return FT_IO_ERROR;
    *bytesWritten = static_cast<DWORD>(sent);
    return FT_OK;
}

TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API FT_Purge(FT_HANDLE handle, ULONG mask) {
    Port* port = FindPort(handle);
    if (port == nullptr) return FT_INVALID_HANDLE;
    if ((mask & FT_PURGE_RX) && ftdi_tciflush(port->context) < 0) return FT_IO_ERROR;
    if ((mask & FT_PURGE_TX) && ftdi_tcoflush(port->context) < 0) return FT_IO_ERROR;
    return FT_OK;
}

// The entry points the program binds but never calls.
#define TARVEX_FTDI_NOT_SUPPORTED(name, params)                \
    TARVEX_D2XX_EXPORT FT_STATUS TARVEX_D2XX_API name params { \
        return FT_NOT_SUPPORTED;                               \
    }
TARVEX_D2XX_UNCALLED_ENTRY_POINTS(TARVEX_FTDI_NOT_SUPPORTED)
