// Runs inside the hardware test's virtual machine: one D2XX call of the libftdi1 layer
// against the emulated chip, with its status, count and duration printed, for what the
// program's own output does not show.
//
//   tarvex-hw-probe LIBRARY read N    a read request, then FT_Read(N)
//   tarvex-hw-probe LIBRARY write N   FT_Write of N bytes 0x55
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/D2xx.h"

namespace {

template <typename F>
F* Bind(void* library, const char* name) {
    return reinterpret_cast<F*>(dlsym(library, name));
}

std::uint8_t Reversed(std::uint8_t byte) {
    std::uint8_t out = 0;
    for (int i = 0; i < 8; ++i)
        if (byte & (1u << i)) out = static_cast<std::uint8_t>(out | (0x80u >> i));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LIBRARY read|write N\n", argv[0]);
        return 2;
    }
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    auto* open = Bind<FT_STATUS(int, FT_HANDLE*)>(library, "FT_Open");
    auto* baud = Bind<FT_STATUS(FT_HANDLE, ULONG)>(library, "FT_SetBaudRate");
    auto* timeouts = Bind<FT_STATUS(FT_HANDLE, ULONG, ULONG)>(library, "FT_SetTimeouts");
    auto* line =
        Bind<FT_STATUS(FT_HANDLE, UCHAR, UCHAR, UCHAR)>(library, "FT_SetDataCharacteristics");
    auto* purge = Bind<FT_STATUS(FT_HANDLE, ULONG)>(library, "FT_Purge");
    auto* read = Bind<FT_STATUS(FT_HANDLE, LPVOID, DWORD, LPDWORD)>(library, "FT_Read");
    auto* write = Bind<FT_STATUS(FT_HANDLE, LPVOID, DWORD, LPDWORD)>(library, "FT_Write");
    auto* close = Bind<FT_STATUS(FT_HANDLE)>(library, "FT_Close");

    FT_HANDLE handle = nullptr;
    if (open(0, &handle) != FT_OK || baud(handle, 9600) != FT_OK ||
        timeouts(handle, 1000, 1000) != FT_OK ||
        line(handle, FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_EVEN) != FT_OK) {
        std::fprintf(stderr, "open failed\n");
        return 1;
    }
    const auto count = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
    std::vector<std::uint8_t> bytes(count, 0x55);
    DWORD done = 0;
    FT_STATUS status = FT_OK;
    const auto start = std::chrono::steady_clock::now();
    if (std::string(argv[2]) == "read") {
        // A read request: flags byte 15 = 0x04, byte 16 makes bytes 1..16 sum to 0.
        std::uint8_t frame[17] = {0x9F};
        frame[15] = 0x04;
        frame[16] = 0xFC;
        for (int i = 1; i < 17; ++i) frame[i] = Reversed(frame[i]);
        DWORD sent = 0;
        if (purge(handle, FT_PURGE_RX) != FT_OK || write(handle, frame, 17, &sent) != FT_OK) {
            std::fprintf(stderr, "request failed\n");
            return 1;
        }
        status = read(handle, bytes.data(), count, &done);
    } else {
        status = write(handle, bytes.data(), count, &done);
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("status=%u count=%u ms=%lld\n", status, done, static_cast<long long>(ms));
    close(handle);
    return 0;
}
