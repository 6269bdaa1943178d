// The KR640 as the virtual gyro plays it: its stored record, the pages a write stages, its
// limit mode and the tail servo it drives. No line, no timing, no threads: the device in
// VirtualGyro.cpp feeds it whole frames under its lock and queues what it answers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "gyro/ParameterRecord.h"

namespace vgyro {

inline constexpr std::size_t kCommandFrameSize = 17;
inline constexpr std::uint8_t kCommandFrameHeader = 0x9F;
inline constexpr std::size_t kBusFrameSize = 25;
inline constexpr std::uint8_t kBusFrameStart = 0x0F;
inline constexpr std::size_t kReplyBodySize = 84;  // header, model code, ID, image
inline constexpr std::uint8_t kReplyHeader = 0xA1;
inline constexpr std::uint8_t kModelCode = 0x80;
// The ID a factory-fresh virtual gyro carries.
inline constexpr std::uint16_t kOwnId = 4242;
// The servo's centre and the channel span that the window's 150 % stands for.
inline constexpr int kServoNeutral = 1024;
inline constexpr int kServoSpan = 672;
inline constexpr int kServoSpanPercent = 150;

using CommandFrame = std::array<std::uint8_t, kCommandFrameSize>;

std::uint8_t ReverseBits(std::uint8_t byte) noexcept;

// The 16-bit sum of the image's 40 big-endian words.
std::uint16_t ImageSum(const ParameterRecord& record) noexcept;
// Sets the checksum word (image word 0) so that the 40 words sum to 0.
void SealImage(ParameterRecord& record) noexcept;

// Model code 0x80, ID 4242, image 0-39 from defaultTableA, 40-79 from mode table 0, the
// checksum word sealed, reserved and pad bytes 0.
ParameterRecord FactoryRecord() noexcept;
// A record the gyro could hold: reserved and pad bytes 0, model code 0x80, image sum 0.
bool PlausibleRecord(const ParameterRecord& record) noexcept;

// A command frame as it arrives (0x9F, then 16 bit-reversed bytes) with bytes 1..16
// restored to their sent values.
CommandFrame RestoreFrame(const std::uint8_t* wire) noexcept;
// True when restored bytes 1..16 sum to 0 mod 256.
bool FrameSumOk(const CommandFrame& frame) noexcept;

enum class FrameKind { ReadRequest, Page, LimitModeOn, Closing, Unknown };
// By the restored flags byte: bit 2 read request; else bit 3 page; else bit 4 limit mode
// on; else bits 0..4 all clear closing; anything else is a frame the gyro does not know.
FrameKind Classify(std::uint8_t flags) noexcept;

// The 11-bit value of channel index 0..15 in a 25-byte bus frame.
int BusChannel(const std::uint8_t* frame, int index) noexcept;
// The servo position as the window shows it: (value - 1024) * 150 / 672, truncated.
int ServoPercent(int value) noexcept;

class GyroModel {
  public:
    explicit GyroModel(const ParameterRecord& stored = FactoryRecord()) noexcept;

    struct Outcome {
        bool valid = false;  // checksum right; an invalid frame changes nothing
        FrameKind kind = FrameKind::Unknown;
        bool answer = false;     // a read request: the reply follows
        bool committed = false;  // a closing frame stored the staged pages
    };
    // A restored command frame. storeDiffers makes a commit store D gain + 1.
    Outcome OnCommandFrame(const CommandFrame& frame, bool storeDiffers = false) noexcept;
    // A 25-byte bus frame: in limit mode the servo follows the stored rudder channel.
    void OnBusFrame(const std::uint8_t* frame) noexcept;

    // 0xA1, model code, ID high, ID low, the 80 image bytes as stored.
    std::array<std::uint8_t, kReplyBodySize> ReplyBody() const noexcept;

    const ParameterRecord& stored() const noexcept { return stored_; }
    // Stores a record as given, except that the reserved byte, model code and pad byte are
    // the gyro's own (0, 0x80, 0). Drops any staged pages.
    void Store(const ParameterRecord& record) noexcept;

    bool limitMode() const noexcept { return limitMode_; }
    int servoValue() const noexcept { return servoValue_; }
    // Pages staged since the last closing frame, bit p for page p.
    unsigned stagedPages() const noexcept { return stagedMask_; }

  private:
    void SetLimitMode(bool on) noexcept;
    bool Commit(bool storeDiffers) noexcept;

    ParameterRecord stored_;
    std::array<std::array<std::uint8_t, 9>, 9> staged_{};
    unsigned stagedMask_ = 0;
    std::uint16_t stagedId_ = 0;
    bool limitMode_ = false;
    int servoValue_ = kServoNeutral;
};

}  // namespace vgyro
