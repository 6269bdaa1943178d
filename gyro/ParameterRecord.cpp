#include "ParameterRecord.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

// Where the image bytes of the two tables start.
constexpr std::size_t kTableABytes = 40;
constexpr std::size_t kModeTableAt = 40;
// holdexYawRate inside a mode table (image bytes 74-75).
constexpr std::size_t kYawRateInTable = 74 - kModeTableAt;

void copyModeTable(ParameterRecord& record) {
    const auto& table = modeTables[static_cast<std::size_t>(modeTableIndex(record.modeFlags()))];
    for (std::size_t i = 0; i < table.size(); ++i) record.setImageByte(kModeTableAt + i, table[i]);
}

bool setLimit(ParameterRecord& record, std::size_t at, int value) {
    const int stored = std::clamp(value, 0, 0xFFFF);
    record.setImageWord(at, static_cast<std::uint16_t>(stored));
    return stored == value;
}

int clampToInt(long long v) {
    return static_cast<int>(
        std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

int modeTableIndex(std::uint8_t modeFlags) {
    const int servoMode = modeFlags >> 4 & 3;
    return ((modeFlags & 0x80) != 0 ? 0 : 2) + (servoMode == 1 || servoMode == 3 ? 1 : 0);
}

int baseYawRate(std::uint8_t modeFlags) {
    const auto& table = modeTables[static_cast<std::size_t>(modeTableIndex(modeFlags))];
    return table[kYawRateInTable] << 8 | table[kYawRateInTable + 1];
}

void resetToDefaults(ParameterRecord& record) {
    for (std::size_t i = 0; i < kTableABytes; ++i) record.setImageByte(i, defaultTableA[i]);
    copyModeTable(record);
}

void applyModeTable(ParameterRecord& record) {
    copyModeTable(record);
}

bool setLimitHigh(ParameterRecord& record, int value) {
    return setLimit(record, 2, value);
}

bool setLimitLow(ParameterRecord& record, int value) {
    return setLimit(record, 4, value);
}

bool recordsEqual(const ParameterRecord& a, const ParameterRecord& b) {
    // Record bytes 1-3 (model code, ID) and 6-83 (image bytes 2-79).
    return std::equal(a.bytes.begin() + 1, a.bytes.begin() + 4, b.bytes.begin() + 1) &&
           std::equal(a.bytes.begin() + 6, a.bytes.begin() + 84, b.bytes.begin() + 6);
}

int limitPercent(std::uint16_t raw) {
    const int t = (raw - kLimitRawMin) * (kLimitPercentMax - kLimitPercentMin) * 10 /
                  (kLimitRawMax - kLimitRawMin);
    const int u = (t + 5) / 10;
    return std::abs(u - kLimitPercentMax);
}

int yawRatePercent(std::uint16_t raw, std::uint8_t modeFlags) {
    const int base = baseYawRate(modeFlags);
    return (raw * 1000 / base + 5) / 10;
}

int yawRateRaw(int percent, std::uint8_t modeFlags) {
    // Wide arithmetic: a percentage typed into the window may be any int.
    const long long base = baseYawRate(modeFlags);
    const long long t = base * percent * 10 / 100;
    return clampToInt((t + 5) / 10);
}

int pirouetteConsistency(const CurveBytes& curve) {
    for (std::size_t row = 0; row < pirouetteTable.size(); ++row) {
        if (pirouetteTable[row] == curve) return static_cast<int>(row) + 1;
    }
    return static_cast<int>(pirouetteTable.size());
}

int positionToLimitRaw(int position) {
    const int t = (position - 1024) * 1536 / 1024;
    return 15 * t / 10 + 3648;
}

CurveBytes pirouetteRow(int n) {
    const int row = std::clamp(n, 1, static_cast<int>(pirouetteTable.size()));
    return pirouetteTable[static_cast<std::size_t>(row - 1)];
}
