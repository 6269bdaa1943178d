// What the virtual gyro's tests build frames, files and folders with.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/D2xx.h"
#include "tests/support/PosixShim.h"
#include "tests/support/VirtualGyro.h"

namespace simtest {

using Bytes = std::vector<std::uint8_t>;
using Record = std::array<std::uint8_t, 85>;

// The 35 entry points of the virtual gyro, bound by name.
struct FtTable {
#define TARVEX_SIM_SLOT(name, params) decltype(&::name) name = nullptr;
    TARVEX_D2XX_ENTRY_POINTS(TARVEX_SIM_SLOT)
#undef TARVEX_SIM_SLOT
};

inline FtTable BindFt(const VirtualGyro& vg) {
    FtTable t;
#define TARVEX_SIM_BIND(name, params) t.name = vg.function<decltype(t.name)>(#name);
    TARVEX_D2XX_ENTRY_POINTS(TARVEX_SIM_BIND)
#undef TARVEX_SIM_BIND
    return t;
}

// "9F 00 01" -> {0x9F, 0x00, 0x01}
inline Bytes Hex(const std::string& text) {
    std::istringstream in(text);
    Bytes out;
    std::string byte;
    while (in >> byte) out.push_back(static_cast<std::uint8_t>(std::stoul(byte, nullptr, 16)));
    return out;
}

inline std::uint8_t ReverseBits(std::uint8_t b) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if (b >> i & 1) r = static_cast<std::uint8_t>(r | 0x80 >> i);
    }
    return r;
}

// A command frame on the wire: flags and payload as sent, checksum made, bytes 1..16
// bit-reversed.
inline Bytes CommandWire(std::uint8_t flags, std::uint16_t id, int page,
                         const std::array<std::uint8_t, 9>& payload = {}) {
    Bytes f(17, 0);
    f[0] = 0x9F;
    f[2] = 0x80;
    f[3] = static_cast<std::uint8_t>(id >> 8);
    f[4] = static_cast<std::uint8_t>(id);
    f[5] = static_cast<std::uint8_t>(page);
    for (std::size_t i = 0; i < 9; ++i) f[6 + i] = payload[i];
    f[15] = flags;
    unsigned sum = 0;
    for (std::size_t i = 1; i < 16; ++i) sum += f[i];
    f[16] = static_cast<std::uint8_t>(0u - sum);
    for (std::size_t i = 1; i < 17; ++i) f[i] = ReverseBits(f[i]);
    return f;
}

inline Bytes ReadRequest(std::uint16_t id = 0) {
    return CommandWire(0x07, id, 0);
}
inline Bytes ClosingFrame() {
    return CommandWire(0x00, 0, 0);
}
inline Bytes LimitModeFrame(bool on) {
    return CommandWire(on ? 0x11 : 0x01, 0, 0);
}
// Page p of a record (no payload for a page beyond 8).
inline Bytes PageFrame(const Record& record, std::uint16_t id, int page) {
    std::array<std::uint8_t, 9> payload{};
    if (page >= 0 && page <= 8) {
        for (std::size_t i = 0; i < 9; ++i) payload[i] = record[4 + 9 * page + i];
    }
    return CommandWire(0x09, id, page, payload);
}
// The same frame with a checksum that no longer adds up.
inline Bytes Corrupt(Bytes wire) {
    wire[16] ^= 0x01;
    return wire;
}

// A bus frame with one channel set, all others 0.
inline Bytes BusFrameBytes(int index, int value) {
    Bytes f(25, 0);
    f[0] = 0x0F;
    for (int k = 0; k < 11; ++k) {
        const int n = 11 * index + k;
        if (value >> k & 1) f[1 + n / 8] = static_cast<std::uint8_t>(f[1 + n / 8] | 1 << (n % 8));
    }
    return f;
}

// The 16-bit sum of 40 big-endian words from offset at.
inline std::uint16_t WordSum(const std::uint8_t* at) {
    unsigned sum = 0;
    for (int k = 0; k < 40; ++k) sum += static_cast<unsigned>(at[2 * k] << 8 | at[2 * k + 1]);
    return static_cast<std::uint16_t>(sum);
}
inline std::uint16_t ReplySum(const Bytes& reply) {
    return WordSum(reply.data() + 21);
}
inline std::uint16_t ImageSum(const Record& record) {
    return WordSum(record.data() + 4);
}
// Sets a record's checksum word so that its image sums to 0.
inline void Seal(Record& record) {
    record[4] = record[5] = 0;
    const auto word = static_cast<std::uint16_t>(0u - ImageSum(record));
    record[4] = static_cast<std::uint8_t>(word >> 8);
    record[5] = static_cast<std::uint8_t>(word);
}

inline std::filesystem::path MakeTempDir() {
    std::filesystem::path folder = MakeScratchFolder("tarvex-sim");
    if (folder.empty()) throw std::runtime_error("mkdtemp failed");
    return folder;
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::optional<std::string> GetEnv(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
}
inline void RestoreEnv(const char* name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

}  // namespace simtest
