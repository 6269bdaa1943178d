#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "gyro/ParameterRecord.h"

namespace {

ParameterRecord defaults() {
    ParameterRecord r{};
    r.setModelCode(ParameterRecord::kModelCodeKR640);
    resetToDefaults(r);
    return r;
}

struct FieldCase {
    const char* name;
    std::function<int(const ParameterRecord&)> get;
    int expected;
};

// The factory defaults read back field by field, as the gyro's documentation lists them.
TEST(DefaultTables, ReadAsFields) {
    const ParameterRecord r = defaults();
    const FieldCase cases[] = {
        {"imageChecksum", &ParameterRecord::imageChecksum, 0},
        {"limitHigh", &ParameterRecord::limitHigh, 4656},
        {"limitLow", &ParameterRecord::limitLow, 2640},
        {"neutralPosition", &ParameterRecord::neutralPosition, 3648},
        {"param08", &ParameterRecord::param08, 100},
        {"param09", &ParameterRecord::param09, 200},
        {"param10", &ParameterRecord::param10, 19},
        {"param13", &ParameterRecord::param13, 0},
        {"param14", &ParameterRecord::param14, 15},
        {"baseGain", &ParameterRecord::baseGain, 50},
        {"param16", &ParameterRecord::param16, 12},
        {"param19", &ParameterRecord::param19, 200},
        {"param27", &ParameterRecord::param27, 250},
        {"modeFlags", &ParameterRecord::modeFlags, 0xA9},
        {"flightMode", &ParameterRecord::flightMode, 1},
        {"gyroReverse", &ParameterRecord::gyroReverse, 0},
        {"servoMode", &ParameterRecord::servoMode, 2},
        {"modeFlagsReserved", &ParameterRecord::modeFlagsReserved, 2},
        {"responseMode", &ParameterRecord::responseMode, 1},
        {"rudderChannel", &ParameterRecord::rudderChannel, 1},
        {"gainChannel", &ParameterRecord::gainChannel, 2},
        {"controlResponseRight", &ParameterRecord::controlResponseRight, 7},
        {"controlResponseLeft", &ParameterRecord::controlResponseLeft, 7},
        {"param34", &ParameterRecord::param34, 130},
        {"param38", &ParameterRecord::param38, 5},
        {"param39", &ParameterRecord::param39, 0},
        {"dDamping", &ParameterRecord::dDamping, 40},
        {"param41", &ParameterRecord::param41, 30},
        {"holdexResponseLeftOut", &ParameterRecord::holdexResponseLeftOut, 7},
        {"expHoldex", &ParameterRecord::expHoldex, -40},
        {"expNormal", &ParameterRecord::expNormal, -10},
        {"holdexGain", &ParameterRecord::holdexGain, 40},
        {"dGain", &ParameterRecord::dGain, 150},
        {"holdexYawRate", &ParameterRecord::holdexYawRate, 450},
        {"holdexRange", &ParameterRecord::holdexRange, 300},
        {"param78", &ParameterRecord::param78, 400},
    };
    for (const auto& c : cases) EXPECT_EQ(c.get(r), c.expected) << c.name;
    EXPECT_EQ(r.curve46(), (CurveBytes{100, 98, 96, 94, 92, 90, 88, 86}));
    EXPECT_EQ(r.pirouetteCurve(), pirouetteTable[6]);
    EXPECT_EQ(r.curve62(), (CurveBytes{100, 98, 96, 94, 92, 90, 88, 86}));
}

TEST(DefaultTables, ModeTablesPairUpAndDifferOnlyWhereThe3DTableDoes) {
    EXPECT_EQ(modeTables[0], modeTables[1]);
    EXPECT_EQ(modeTables[2], modeTables[3]);
    ParameterRecord r = defaults();
    r.setFlightMode(0);
    applyModeTable(r);
    EXPECT_EQ(r.curve46(), (CurveBytes{100, 100, 100, 100, 100, 100, 100, 100}));
    EXPECT_EQ(r.curve62(), (CurveBytes{100, 100, 100, 100, 100, 100, 100, 100}));
    EXPECT_EQ(r.pirouetteCurve(), pirouetteTable[6]);
    EXPECT_EQ(r.expHoldex(), -20);
    EXPECT_EQ(r.expNormal(), -10);
    EXPECT_EQ(r.holdexYawRate(), 720);
    EXPECT_EQ(r.holdexRange(), 300);
    EXPECT_EQ(r.param78(), 600);
    EXPECT_EQ(r.dDamping(), 40);
    EXPECT_EQ(r.dGain(), 150);
}

TEST(ModeTableIndex, FlightAndServoMode) {
    const std::pair<std::uint8_t, int> cases[] = {
        {0xA9, 0}, {0x80, 0}, {0x90, 1}, {0xA0, 0}, {0xB0, 1}, {0xFF, 1},
        {0x00, 2}, {0x10, 3}, {0x20, 2}, {0x30, 3}, {0x4F, 2}, {0x7F, 3},
    };
    for (auto [flags, k] : cases) EXPECT_EQ(modeTableIndex(flags), k) << int{flags};
    EXPECT_EQ(baseYawRate(0xA9), 450);
    EXPECT_EQ(baseYawRate(0x29), 720);
}

TEST(ResetToDefaults, KeepsIdReservedAndPadAndClearsChecksum) {
    ParameterRecord r{};
    for (std::size_t i = 0; i < r.bytes.size(); ++i)
        r.bytes[i] = static_cast<std::uint8_t>(0x30 + i);
    r.setGyroId(1234);
    r.setModelCode(0x55);
    r.setModeFlags(0x10);  // 3D, servo mode 1: would pick table 3 if read before the reset
    const ParameterRecord before = r;
    resetToDefaults(r);
    EXPECT_EQ(r.gyroId(), 1234);
    EXPECT_EQ(r.modelCode(), 0x55);
    EXPECT_EQ(r.recordReserved(), before.recordReserved());
    EXPECT_EQ(r.recordPad(), before.recordPad());
    EXPECT_EQ(r.imageChecksum(), 0);
    for (std::size_t j = 0; j < 40; ++j) EXPECT_EQ(r.imageByte(j), defaultTableA[j]) << j;
    for (std::size_t j = 0; j < 40; ++j) EXPECT_EQ(r.imageByte(40 + j), modeTables[0][j]) << j;
}

TEST(ApplyModeTable, ReplacesOnlyTheSecondHalf) {
    ParameterRecord r = defaults();
    r.setBaseGain(77);
    r.setLimitHighRaw(1);
    r.setHoldexGain(1);
    r.setFlightMode(0);
    r.setServoMode(3);
    const ParameterRecord before = r;
    applyModeTable(r);
    for (std::size_t j = 0; j < 40; ++j) EXPECT_EQ(r.imageByte(j), before.imageByte(j)) << j;
    for (std::size_t j = 0; j < 40; ++j) EXPECT_EQ(r.imageByte(40 + j), modeTables[3][j]) << j;
    EXPECT_EQ(r.holdexGain(), 40);
}

TEST(RecordsEqual, OnlyReservedChecksumAndPadTakeNoPart) {
    const ParameterRecord base = defaults();
    for (std::size_t i = 0; i < ParameterRecord::kSize; ++i) {
        ParameterRecord other = base;
        other.bytes[i] ^= 0x01;
        const bool ignored = i == 0 || i == 4 || i == 5 || i == 84;
        EXPECT_EQ(recordsEqual(base, other), ignored) << "record byte " << i;
        EXPECT_EQ(recordsEqual(other, base), ignored) << "record byte " << i;
    }
    EXPECT_TRUE(recordsEqual(base, base));
}

TEST(SetLimit, ClampsToTheFieldAndSaysSo) {
    struct Case {
        int value;
        std::uint16_t stored;
        bool ok;
    };
    const Case cases[] = {{-1, 0, false},          {INT_MIN, 0, false},   {0, 0, true},
                          {4656, 4656, true},      {65535, 65535, true},  {65536, 65535, false},
                          {INT_MAX, 65535, false}, {0x1234, 0x1234, true}};
    for (const auto& c : cases) {
        ParameterRecord r = defaults();
        EXPECT_EQ(setLimitHigh(r, c.value), c.ok) << c.value;
        EXPECT_EQ(r.limitHigh(), c.stored) << c.value;
        EXPECT_EQ(r.limitLow(), 2640) << c.value;

        r = defaults();
        EXPECT_EQ(setLimitLow(r, c.value), c.ok) << c.value;
        EXPECT_EQ(r.limitLow(), c.stored) << c.value;
        EXPECT_EQ(r.limitHigh(), 4656) << c.value;
    }
    ParameterRecord r{};
    setLimitHigh(r, 0x1234);
    EXPECT_EQ(r.bytes[6], 0x12);  // big-endian, image bytes 2-3
    EXPECT_EQ(r.bytes[7], 0x34);
}

TEST(Conversions, LimitPercent) {
    const std::pair<std::uint16_t, int> cases[] = {
        {0, 361},    {65535, 6140}, {4656, 100}, {2640, 100}, {3648, 0}, {2136, 150},
        {5160, 150}, {3649, 0},     {2135, 150}, {2120, 151},  // truncation toward zero: t = -15,
                                                               // (t + 5) / 10 = -1
    };
    for (auto [raw, percent] : cases) EXPECT_EQ(limitPercent(raw), percent) << raw;
}

TEST(Conversions, YawRate) {
    constexpr std::uint8_t f3c = 0xA9, threeD = 0x29;
    const std::tuple<std::uint16_t, std::uint8_t, int> toPercent[] = {
        {450, f3c, 100}, {720, threeD, 100}, {495, f3c, 110},     {0, f3c, 0},
        {1, f3c, 0},     {4, f3c, 1},        {65535, f3c, 14563}, {216, threeD, 30},
    };
    for (auto [raw, flags, percent] : toPercent) {
        EXPECT_EQ(yawRatePercent(raw, flags), percent) << raw << " " << int{flags};
    }
    const std::tuple<int, std::uint8_t, int> toRaw[] = {
        {110, f3c, 495}, {30, threeD, 216}, {100, f3c, 450}, {100, threeD, 720},
        {0, f3c, 0},     {-10, f3c, -44},  // truncating: t = -450, (t + 5) / 10 = -44
    };
    for (auto [percent, flags, raw] : toRaw) {
        EXPECT_EQ(yawRateRaw(percent, flags), raw) << percent << " " << int{flags};
    }
    // A percentage far beyond any field does not overflow into a wrong sign.
    EXPECT_GT(yawRateRaw(INT_MAX, f3c), 65535);
    EXPECT_LT(yawRateRaw(INT_MIN, f3c), 0);
}

TEST(Conversions, Pirouette) {
    for (int n = 1; n <= 11; ++n) {
        EXPECT_EQ(pirouetteRow(n), pirouetteTable[static_cast<std::size_t>(n - 1)]);
        EXPECT_EQ(pirouetteConsistency(pirouetteRow(n)), n);
    }
    EXPECT_EQ(pirouetteConsistency(CurveBytes{}), 11);
    EXPECT_EQ(pirouetteConsistency(CurveBytes{100, 96, 92, 88, 84, 80, 76, 71}), 11);
    EXPECT_EQ(pirouetteRow(0), pirouetteTable[0]);
    EXPECT_EQ(pirouetteRow(-5), pirouetteTable[0]);
    EXPECT_EQ(pirouetteRow(12), pirouetteTable[10]);
    EXPECT_EQ(pirouetteRow(7), (CurveBytes{100, 96, 92, 88, 84, 80, 76, 72}));
}

TEST(ConversionTest, PositionToLimitRawFollowsTheTrackbarScale) {
    const std::pair<int, int> cases[] = {{352, 2136},  {576, 2640},  {799, 3143},
                                         {800, 3144},  {1024, 3648}, {1248, 4152},
                                         {1249, 4153}, {1472, 4656}, {1696, 5160}};
    for (auto [position, raw] : cases) {
        EXPECT_EQ(positionToLimitRaw(position), raw) << position;
    }
}

}  // namespace
