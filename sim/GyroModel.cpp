#include "sim/GyroModel.h"

#include <algorithm>

namespace vgyro {

namespace {
constexpr unsigned kAllPages = 0x1FF;
constexpr std::size_t kPageCount = 9;
constexpr std::size_t kPageSize = 9;
constexpr std::size_t kFlagsAt = 15;
constexpr std::size_t kPageAt = 5;
constexpr std::size_t kPayloadAt = 6;
constexpr std::size_t kDGainImageByte = 73;
}  // namespace

std::uint8_t ReverseBits(std::uint8_t byte) noexcept {
    std::uint8_t out = 0;
    for (int i = 0; i < 8; ++i) {
        if (byte & (1u << i)) out = static_cast<std::uint8_t>(out | (0x80u >> i));
    }
    return out;
}

std::uint16_t ImageSum(const ParameterRecord& record) noexcept {
    unsigned sum = 0;
    for (std::size_t w = 0; w < ParameterRecord::kImageSize / 2; ++w) {
        sum += record.imageWord(2 * w);
    }
    return static_cast<std::uint16_t>(sum);
}

void SealImage(ParameterRecord& record) noexcept {
    record.setImageChecksum(0);
    record.setImageChecksum(static_cast<std::uint16_t>(0u - ImageSum(record)));
}

ParameterRecord FactoryRecord() noexcept {
    ParameterRecord record;
    record.setModelCode(kModelCode);
    record.setGyroId(kOwnId);
    for (std::size_t j = 0; j < defaultTableA.size(); ++j) record.setImageByte(j, defaultTableA[j]);
    for (std::size_t j = 0; j < modeTables[0].size(); ++j) {
        record.setImageByte(40 + j, modeTables[0][j]);
    }
    SealImage(record);
    return record;
}

bool PlausibleRecord(const ParameterRecord& record) noexcept {
    return record.recordReserved() == 0 && record.modelCode() == kModelCode &&
           record.recordPad() == 0 && ImageSum(record) == 0;
}

CommandFrame RestoreFrame(const std::uint8_t* wire) noexcept {
    CommandFrame frame{};
    frame[0] = wire[0];
    for (std::size_t i = 1; i < frame.size(); ++i) frame[i] = ReverseBits(wire[i]);
    return frame;
}

bool FrameSumOk(const CommandFrame& frame) noexcept {
    unsigned sum = 0;
    for (std::size_t i = 1; i < frame.size(); ++i) sum += frame[i];
    return (sum & 0xFF) == 0;
}

FrameKind Classify(std::uint8_t flags) noexcept {
    if (flags & 0x04) return FrameKind::ReadRequest;
    if (flags & 0x08) return FrameKind::Page;
    if (flags & 0x10) return FrameKind::LimitModeOn;
    if ((flags & 0x1F) == 0) return FrameKind::Closing;
    return FrameKind::Unknown;
}

int BusChannel(const std::uint8_t* frame, int index) noexcept {
    int value = 0;
    for (int k = 0; k < 11; ++k) {
        const int n = 11 * index + k;
        if (frame[1 + n / 8] >> (n % 8) & 1) value |= 1 << k;
    }
    return value;
}

int ServoPercent(int value) noexcept {
    return (value - kServoNeutral) * kServoSpanPercent / kServoSpan;
}

GyroModel::GyroModel(const ParameterRecord& stored) noexcept {
    Store(stored);
}

void GyroModel::Store(const ParameterRecord& record) noexcept {
    stored_ = record;
    stored_.setRecordReserved(0);
    stored_.setModelCode(kModelCode);
    stored_.setRecordPad(0);
    stagedMask_ = 0;
}

void GyroModel::SetLimitMode(bool on) noexcept {
    // Leaving the limit mode hands the servo back to the gyro, which centres it.
    if (limitMode_ && !on) servoValue_ = kServoNeutral;
    limitMode_ = on;
}

GyroModel::Outcome GyroModel::OnCommandFrame(const CommandFrame& frame,
                                             bool storeDiffers) noexcept {
    Outcome outcome;
    if (frame[0] != kCommandFrameHeader || !FrameSumOk(frame)) return outcome;
    outcome.valid = true;
    const std::uint8_t flags = frame[kFlagsAt];
    outcome.kind = Classify(flags);
    // Every valid frame says whether the gyro is in its limit mode: a read request and a
    // page frame both take it out, as the limit-mode-off frame (which looks like page 0) does.
    SetLimitMode((flags & 0x10) != 0);
    switch (outcome.kind) {
        case FrameKind::ReadRequest:
            outcome.answer = true;
            break;
        case FrameKind::Page: {
            const std::size_t page = frame[kPageAt];
            if (page >= kPageCount) break;  // no such page: nothing staged
            std::copy_n(frame.begin() + kPayloadAt, kPageSize, staged_[page].begin());
            stagedMask_ |= 1u << page;
            stagedId_ = static_cast<std::uint16_t>(frame[3] << 8 | frame[4]);
            break;
        }
        case FrameKind::Closing:
            outcome.committed = Commit(storeDiffers);
            break;
        case FrameKind::LimitModeOn:
        case FrameKind::Unknown:
            break;
    }
    return outcome;
}

bool GyroModel::Commit(bool storeDiffers) noexcept {
    const bool complete = stagedMask_ == kAllPages;
    stagedMask_ = 0;
    if (!complete) return false;  // a half write never half-configures the gyro
    ParameterRecord next = stored_;
    next.setGyroId(stagedId_);
    for (std::size_t j = 0; j < ParameterRecord::kImageSize; ++j) {
        next.setImageByte(j, staged_[j / kPageSize][j % kPageSize]);
    }
    if (storeDiffers) {
        next.setImageByte(kDGainImageByte,
                          static_cast<std::uint8_t>(next.imageByte(kDGainImageByte) + 1));
    }
    SealImage(next);
    stored_ = next;
    return true;
}

void GyroModel::OnBusFrame(const std::uint8_t* frame) noexcept {
    if (!limitMode_) return;
    servoValue_ = BusChannel(frame, stored_.rudderChannel());
}

std::array<std::uint8_t, kReplyBodySize> GyroModel::ReplyBody() const noexcept {
    std::array<std::uint8_t, kReplyBodySize> body{};
    body[0] = kReplyHeader;
    body[1] = stored_.modelCode();
    body[2] = stored_.bytes[2];
    body[3] = stored_.bytes[3];
    std::copy_n(stored_.bytes.begin() + ParameterRecord::kImageOffset, ParameterRecord::kImageSize,
                body.begin() + 4);
    return body;
}

}  // namespace vgyro
