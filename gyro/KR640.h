// The gyro object: the record the gyro last returned, the record the window edits, and
// the three transactions that move them over the adapter's line.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "ParameterRecord.h"
#include "link/TBX3.h"

// The reply carried a model code other than 0x80: not a KR640.
struct CompatibilityError : std::runtime_error {
    CompatibilityError() : std::runtime_error("") {}
};

// Reply block layout and checks, shared by the gyro object, the virtual gyro and tests.
namespace reply {
inline constexpr std::size_t kSize = 101;
inline constexpr std::size_t kHeaderAt = 17;
inline constexpr std::uint8_t kHeader = 0xA1;
inline constexpr std::size_t kModelCodeAt = 18;
inline constexpr std::size_t kGyroIdAt = 19;
inline constexpr std::size_t kImageAt = 21;

enum class Verdict { Accepted, BadHeader, BadSum, Incompatible };
// Checks a reply block in the gyro's order: header, sum of the 40 image words, model code.
// Safe for any bytes; fewer than 101 bytes count as a bad header.
Verdict Check(std::span<const std::uint8_t> block) noexcept;
// The 16-bit sum of the 40 big-endian words of an 80-byte image.
std::uint16_t ImageSum(std::span<const std::uint8_t, 80> image) noexcept;
}  // namespace reply

class KR640 {
  public:
    static constexpr std::size_t kFrameSize = 17;
    static constexpr std::uint8_t kFrameHeader = 0x9F;

    explicit KR640(ComDevice& device);
    virtual ~KR640() = default;

    // One read transaction: purge, read request, 101-byte reply, checks. On success
    // deviceRecord bytes 1-83 hold the gyro's record. Throws TBX3::ConnectionError (purge),
    // TBX3::WriteError, TBX3::ReadError or CompatibilityError (deviceRecord already holds
    // the rejected reply then).
    void Read(bool flag);
    // Nine page frames 100 ms apart (also after the last) and a closing frame.
    void Write(bool flag);
    // One limit-mode frame, on or off.
    void SetLimitMode(bool on);

    // Fills commandFrame bytes 1-14 from workingRecord and the page, and byte 16 with the
    // checksum over bytes 1-15. Byte 15, the flags, is held from the previous frame.
    void BuildFrame(int page);

    ComDevice& device() const noexcept { return device_; }

    std::array<std::uint8_t, kFrameSize> commandFrame{};
    ParameterRecord deviceRecord{};
    ParameterRecord workingRecord{};

  private:
    void SendFrame();
    ComDevice& device_;
};

// Reverses the bit order of every byte of the range, in place.
void ReverseBits(std::span<std::uint8_t> bytes) noexcept;
std::uint8_t ReverseBits(std::uint8_t byte) noexcept;
