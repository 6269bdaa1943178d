#include "KR640.h"

#include <algorithm>
#include <stdexcept>

#include "Pause.h"

namespace {

// Bits of the flags byte (command frame byte 15).
constexpr std::uint8_t kFlagActive = 1 << 0;
constexpr std::uint8_t kFlagCaller = 1 << 1;
constexpr std::uint8_t kFlagReadRequest = 1 << 2;
constexpr std::uint8_t kFlagWritePage = 1 << 3;
constexpr std::uint8_t kFlagLimitMode = 1 << 4;

constexpr std::size_t kFlagsAt = 15;
constexpr std::size_t kChecksumAt = 16;
constexpr int kPages = 9;
constexpr std::size_t kPageBytes = 9;
constexpr std::uint32_t kPagePauseMs = 100;

std::uint8_t assign(std::uint8_t flags, std::uint8_t bit, bool on) {
    return static_cast<std::uint8_t>(on ? flags | bit : flags & ~bit);
}

}  // namespace

namespace reply {

std::uint16_t ImageSum(std::span<const std::uint8_t, 80> image) noexcept {
    std::uint16_t sum = 0;
    for (std::size_t k = 0; k < image.size(); k += 2) {
        sum = static_cast<std::uint16_t>(sum + (image[k] << 8 | image[k + 1]));
    }
    return sum;
}

Verdict Check(std::span<const std::uint8_t> block) noexcept {
    if (block.size() < kSize || block[kHeaderAt] != kHeader) return Verdict::BadHeader;
    if (ImageSum(block.subspan<kImageAt, ParameterRecord::kImageSize>()) != 0) {
        return Verdict::BadSum;
    }
    if (block[kModelCodeAt] != ParameterRecord::kModelCodeKR640) return Verdict::Incompatible;
    return Verdict::Accepted;
}

}  // namespace reply

std::uint8_t ReverseBits(std::uint8_t byte) noexcept {
    std::uint8_t out = 0;
    for (int i = 0; i < 8; ++i) {
        out = static_cast<std::uint8_t>(out << 1 | (byte & 1));
        byte = static_cast<std::uint8_t>(byte >> 1);
    }
    return out;
}

void ReverseBits(std::span<std::uint8_t> bytes) noexcept {
    for (auto& b : bytes) b = ReverseBits(b);
}

KR640::KR640(ComDevice& device) : device_(device) {
    commandFrame[0] = kFrameHeader;
    deviceRecord.setModelCode(ParameterRecord::kModelCodeKR640);
    workingRecord.setModelCode(ParameterRecord::kModelCodeKR640);
}

void KR640::BuildFrame(int page) {
    if (page < 0 || page >= kPages) throw std::out_of_range("page");
    const auto& record = workingRecord.bytes;
    commandFrame[1] = record[0];
    commandFrame[2] = record[1];
    commandFrame[3] = record[2];
    commandFrame[4] = record[3];
    commandFrame[5] = static_cast<std::uint8_t>(page);
    const std::size_t from =
        ParameterRecord::kImageOffset + kPageBytes * static_cast<std::size_t>(page);
    std::copy_n(record.begin() + static_cast<std::ptrdiff_t>(from), kPageBytes,
                commandFrame.begin() + 6);
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < kChecksumAt; ++i)
        sum = static_cast<std::uint8_t>(sum + commandFrame[i]);
    commandFrame[kChecksumAt] = static_cast<std::uint8_t>(0 - sum);
}

// The last steps of every frame: checksum over bytes 1-15 (the flags included), bit
// reversal of bytes 1-16 in place, one write of all 17 bytes. The reversed flags byte stays
// in the frame and is what the next transaction starts from.
void KR640::SendFrame() {
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < kChecksumAt; ++i)
        sum = static_cast<std::uint8_t>(sum + commandFrame[i]);
    commandFrame[kChecksumAt] = static_cast<std::uint8_t>(0 - sum);
    ReverseBits(std::span<std::uint8_t>(commandFrame).subspan(1));
    device_.Write(commandFrame.data(), static_cast<std::uint32_t>(commandFrame.size()));
}

void KR640::Read(bool flag) {
    std::array<std::uint8_t, reply::kSize> buffer{};
    dynamic_cast<TBX3&>(device_).PurgeReceive();

    BuildFrame(0);
    std::uint8_t flags = commandFrame[kFlagsAt];
    flags = assign(flags, kFlagActive, true);
    flags = assign(flags, kFlagCaller, flag);
    flags = assign(flags, kFlagReadRequest, true);
    flags = assign(flags, kFlagLimitMode, false);
    commandFrame[kFlagsAt] = flags;
    SendFrame();

    device_.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    const reply::Verdict verdict = reply::Check(buffer);
    if (verdict == reply::Verdict::BadHeader || verdict == reply::Verdict::BadSum) {
        throw TBX3::ReadError();
    }
    deviceRecord.bytes[1] = buffer[reply::kModelCodeAt];
    deviceRecord.bytes[2] = buffer[reply::kGyroIdAt];
    deviceRecord.bytes[3] = buffer[reply::kGyroIdAt + 1];
    std::copy_n(buffer.begin() + reply::kImageAt, ParameterRecord::kImageSize,
                deviceRecord.bytes.begin() + ParameterRecord::kImageOffset);
    if (verdict == reply::Verdict::Incompatible) throw CompatibilityError();
}

void KR640::Write(bool flag) {
    for (int page = 0; page < kPages; ++page) {
        BuildFrame(page);
        std::uint8_t flags = commandFrame[kFlagsAt];
        flags = assign(flags, kFlagActive, true);
        flags = assign(flags, kFlagCaller, flag);
        flags = assign(flags, kFlagReadRequest, false);
        flags = assign(flags, kFlagWritePage, true);
        flags = assign(flags, kFlagLimitMode, false);
        commandFrame[kFlagsAt] = flags;
        SendFrame();
        PauseFor(kPagePauseMs);
    }
    BuildFrame(0);
    commandFrame[kFlagsAt] = static_cast<std::uint8_t>(commandFrame[kFlagsAt] & ~0x1F);
    SendFrame();
}

void KR640::SetLimitMode(bool on) {
    BuildFrame(0);
    std::uint8_t flags = commandFrame[kFlagsAt];
    flags = assign(flags, kFlagActive, true);
    flags = assign(flags, kFlagCaller, false);
    flags = assign(flags, kFlagReadRequest, false);
    flags = assign(flags, kFlagLimitMode, on);
    commandFrame[kFlagsAt] = flags;
    SendFrame();
}
