// Preloaded into a program in the hardware test's guest: makes the emulated FTDI chip take
// written bytes at the pace of its serial line, as a real chip does. The emulated chip
// accepts every USB packet at once; a real one refuses packets while its transmit buffer is
// full, and the line empties that buffer at 1.25 ms a byte (9600 baud, 12 bits a byte). So
// each bulk write is held until the last of its bytes would fit in the buffer, or fails with
// libusb's time-out after passing on the bytes the chip would have taken by then.
#include <dlfcn.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::microseconds;

constexpr Micros kByteTime{1250};
constexpr int kTransmitBuffer = 128;  // an FT232R's
constexpr int kPacket = 64;

Clock::time_point g_lineFree{};  // when the line has sent every byte taken so far

}  // namespace

extern "C" __attribute__((visibility("default"))) int libusb_bulk_transfer(
    libusb_device_handle* handle, unsigned char endpoint, unsigned char* data, int length,
    int* transferred, unsigned int timeout) {
    using Transfer =
        int(libusb_device_handle*, unsigned char, unsigned char*, int, int*, unsigned int);
    // libusb comes with the driver library, loaded without adding to the global scope.
    static auto* real = reinterpret_cast<Transfer*>(
        dlsym(dlopen("libusb-1.0.so.0", RTLD_NOW | RTLD_NOLOAD), "libusb_bulk_transfer"));
    if ((endpoint & LIBUSB_ENDPOINT_IN) != 0 || length <= 0)
        return real(handle, endpoint, data, length, transferred, timeout);

    const Clock::time_point start = Clock::now();
    g_lineFree = std::max(g_lineFree, start);
    // The last byte fits once the line has sent all but a buffer's worth before it.
    const Clock::time_point accepted =
        std::max(start, g_lineFree + kByteTime * (length - kTransmitBuffer));
    const Clock::time_point deadline =
        timeout == 0 ? Clock::time_point::max() : start + std::chrono::milliseconds(timeout);
    if (accepted <= deadline) {
        std::this_thread::sleep_until(accepted);
        g_lineFree += kByteTime * length;
        return real(handle, endpoint, data, length, transferred, timeout);
    }
    // Time-out: the whole packets the chip has taken by the deadline go through.
    std::this_thread::sleep_until(deadline);
    const auto room = (deadline - g_lineFree) / kByteTime + kTransmitBuffer;
    const int taken = static_cast<int>(std::clamp<long long>(room, 0, length)) / kPacket * kPacket;
    int sent = 0;
    if (taken > 0) real(handle, endpoint, data, taken, &sent, timeout);
    g_lineFree += kByteTime * sent;
    if (transferred != nullptr) *transferred = sent;
    return LIBUSB_ERROR_TIMEOUT;
}
