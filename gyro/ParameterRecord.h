// The KR640's settings: the 85-byte parameter record (reserved byte, model code, gyro ID,
// the 80-byte parameter image, pad byte). The same bytes are kept in memory, sent in the
// write pages and stored in a settings file. Multi-byte numbers are big-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using CurveBytes = std::array<std::uint8_t, 8>;

struct ParameterRecord {
    static constexpr std::size_t kSize = 85;
    static constexpr std::size_t kImageOffset = 4;  // image byte j is record byte 4 + j
    static constexpr std::size_t kImageSize = 80;
    static constexpr std::uint8_t kModelCodeKR640 = 0x80;

    std::array<std::uint8_t, kSize> bytes{};

    // Raw access by record byte, and by image byte.
    std::uint8_t imageByte(std::size_t j) const { return bytes[kImageOffset + j]; }
    void setImageByte(std::size_t j, std::uint8_t v) { bytes[kImageOffset + j] = v; }
    std::uint16_t imageWord(std::size_t j) const {
        return static_cast<std::uint16_t>(imageByte(j) << 8 | imageByte(j + 1));
    }
    void setImageWord(std::size_t j, std::uint16_t v) {
        setImageByte(j, static_cast<std::uint8_t>(v >> 8));
        setImageByte(j + 1, static_cast<std::uint8_t>(v));
    }
    CurveBytes imageCurve(std::size_t j) const {
        CurveBytes c{};
        for (std::size_t i = 0; i < c.size(); ++i) c[i] = imageByte(j + i);
        return c;
    }
    void setImageCurve(std::size_t j, const CurveBytes& c) {
        for (std::size_t i = 0; i < c.size(); ++i) setImageByte(j + i, c[i]);
    }

    // Record fields.
    std::uint8_t recordReserved() const { return bytes[0]; }
    void setRecordReserved(std::uint8_t v) { bytes[0] = v; }
    std::uint8_t modelCode() const { return bytes[1]; }
    void setModelCode(std::uint8_t v) { bytes[1] = v; }
    std::uint16_t gyroId() const { return static_cast<std::uint16_t>(bytes[2] << 8 | bytes[3]); }
    void setGyroId(std::uint16_t v) {
        bytes[2] = static_cast<std::uint8_t>(v >> 8);
        bytes[3] = static_cast<std::uint8_t>(v);
    }
    std::uint8_t recordPad() const { return bytes[84]; }
    void setRecordPad(std::uint8_t v) { bytes[84] = v; }

    // Image fields.
#define TARVEX_U16_FIELD(name, setter, at) \
    std::uint16_t name() const {           \
        return imageWord(at);              \
    }                                      \
    void setter(std::uint16_t v) {         \
        setImageWord(at, v);               \
    }
#define TARVEX_U8_FIELD(name, setter, at) \
    std::uint8_t name() const {           \
        return imageByte(at);             \
    }                                     \
    void setter(std::uint8_t v) {         \
        setImageByte(at, v);              \
    }
#define TARVEX_S8_FIELD(name, setter, at)               \
    std::int8_t name() const {                          \
        return static_cast<std::int8_t>(imageByte(at)); \
    }                                                   \
    void setter(std::int8_t v) {                        \
        setImageByte(at, static_cast<std::uint8_t>(v)); \
    }
#define TARVEX_CURVE_FIELD(name, setter, at) \
    CurveBytes name() const {                \
        return imageCurve(at);               \
    }                                        \
    void setter(const CurveBytes& c) {       \
        setImageCurve(at, c);                \
    }

    TARVEX_U16_FIELD(imageChecksum, setImageChecksum, 0)
    TARVEX_U16_FIELD(limitHigh, setLimitHighRaw, 2)
    TARVEX_U16_FIELD(limitLow, setLimitLowRaw, 4)
    TARVEX_U16_FIELD(neutralPosition, setNeutralPosition, 6)
    TARVEX_U8_FIELD(param08, setParam08, 8)
    TARVEX_U8_FIELD(param09, setParam09, 9)
    TARVEX_U8_FIELD(param10, setParam10, 10)
    TARVEX_U8_FIELD(param11, setParam11, 11)
    TARVEX_U8_FIELD(param12, setParam12, 12)
    TARVEX_U8_FIELD(param13, setParam13, 13)
    TARVEX_U8_FIELD(param14, setParam14, 14)
    TARVEX_U8_FIELD(baseGain, setBaseGain, 15)
    TARVEX_U8_FIELD(param16, setParam16, 16)
    TARVEX_U8_FIELD(param17, setParam17, 17)
    TARVEX_U8_FIELD(param18, setParam18, 18)
    TARVEX_U8_FIELD(param19, setParam19, 19)
    TARVEX_U8_FIELD(param20, setParam20, 20)
    TARVEX_U8_FIELD(param21, setParam21, 21)
    TARVEX_U8_FIELD(param22, setParam22, 22)
    TARVEX_U8_FIELD(param23, setParam23, 23)
    TARVEX_U8_FIELD(param24, setParam24, 24)
    TARVEX_U8_FIELD(param25, setParam25, 25)
    TARVEX_U8_FIELD(param26, setParam26, 26)
    TARVEX_U8_FIELD(param27, setParam27, 27)
    TARVEX_U8_FIELD(modeFlags, setModeFlags, 28)
    TARVEX_U8_FIELD(channels, setChannels, 29)
    TARVEX_U8_FIELD(controlResponseRight, setControlResponseRight, 30)
    TARVEX_U8_FIELD(controlResponseLeft, setControlResponseLeft, 31)
    TARVEX_U8_FIELD(param32, setParam32, 32)
    TARVEX_U8_FIELD(param33, setParam33, 33)
    TARVEX_U8_FIELD(param34, setParam34, 34)
    TARVEX_U8_FIELD(param35, setParam35, 35)
    TARVEX_U8_FIELD(param36, setParam36, 36)
    TARVEX_U8_FIELD(param37, setParam37, 37)
    TARVEX_U8_FIELD(param38, setParam38, 38)
    TARVEX_U8_FIELD(param39, setParam39, 39)
    TARVEX_U8_FIELD(dDamping, setDDamping, 40)
    TARVEX_U8_FIELD(param41, setParam41, 41)
    TARVEX_U8_FIELD(holdexResponseRightIn, setHoldexResponseRightIn, 42)
    TARVEX_U8_FIELD(holdexResponseRightOut, setHoldexResponseRightOut, 43)
    TARVEX_U8_FIELD(holdexResponseLeftIn, setHoldexResponseLeftIn, 44)
    TARVEX_U8_FIELD(holdexResponseLeftOut, setHoldexResponseLeftOut, 45)
    TARVEX_CURVE_FIELD(curve46, setCurve46, 46)
    TARVEX_CURVE_FIELD(pirouetteCurve, setPirouetteCurve, 54)
    TARVEX_CURVE_FIELD(curve62, setCurve62, 62)
    TARVEX_S8_FIELD(expHoldex, setExpHoldex, 70)
    TARVEX_S8_FIELD(expNormal, setExpNormal, 71)
    TARVEX_U8_FIELD(holdexGain, setHoldexGain, 72)
    TARVEX_U8_FIELD(dGain, setDGain, 73)
    TARVEX_U16_FIELD(holdexYawRate, setHoldexYawRate, 74)
    TARVEX_U16_FIELD(holdexRange, setHoldexRange, 76)
    TARVEX_U16_FIELD(param78, setParam78, 78)

#undef TARVEX_U16_FIELD
#undef TARVEX_U8_FIELD
#undef TARVEX_S8_FIELD
#undef TARVEX_CURVE_FIELD

    // modeFlags bit fields: 7 flightMode (1 = F3C, 0 = 3D), 6 gyroReverse (1 = Reverse),
    // 5-4 servoMode (2 = Digital 1520, 3 = Digital 760, 0 = Analog, 1 shown as Analog),
    // 3-2 modeFlagsReserved (kept by every store), 1-0 responseMode (0 Fast, 1 Standard,
    // 2 Slow).
    int flightMode() const {
        return modeFlags() >> 7 & 1;
    }
    void setFlightMode(int v) {
        setBits(7, 1, v);
    }
    int gyroReverse() const {
        return modeFlags() >> 6 & 1;
    }
    void setGyroReverse(int v) {
        setBits(6, 1, v);
    }
    int servoMode() const {
        return modeFlags() >> 4 & 3;
    }
    void setServoMode(int v) {
        setBits(4, 3, v);
    }
    int modeFlagsReserved() const {
        return modeFlags() >> 2 & 3;
    }
    int responseMode() const {
        return modeFlags() & 3;
    }
    void setResponseMode(int v) {
        setBits(0, 3, v);
    }

    // channels nibbles: bus channel index 0..15 ("1".."16").
    int rudderChannel() const {
        return channels() & 0x0F;
    }
    void setRudderChannel(int v) {
        setChannels(static_cast<std::uint8_t>((channels() & 0xF0) | (v & 0x0F)));
    }
    int gainChannel() const {
        return channels() >> 4;
    }
    void setGainChannel(int v) {
        setChannels(static_cast<std::uint8_t>((channels() & 0x0F) | (v & 0x0F) << 4));
    }

    friend bool operator==(const ParameterRecord&, const ParameterRecord&) = default;

  private:
    void setBits(int shift, int mask, int v) {
        setModeFlags(
            static_cast<std::uint8_t>((modeFlags() & ~(mask << shift)) | ((v & mask) << shift)));
    }
};
static_assert(sizeof(ParameterRecord) == ParameterRecord::kSize);

// Factory defaults of image bytes 0-39.
inline constexpr std::array<std::uint8_t, 40> defaultTableA = {
    0,  0, 18, 48,  10,  80,  14,  64,  100, 200, 19, 16, 16,  0,   15,  50,  12,  3,   0, 200,
    10, 3, 30, 100, 100, 100, 100, 250, 169, 33,  7,  7,  100, 100, 130, 130, 100, 100, 5, 0};

// Image bytes 40-79 for each flight and servo mode; see modeTableIndex.
inline constexpr std::array<std::array<std::uint8_t, 40>, 4> modeTables = [] {
    constexpr std::array<std::uint8_t, 40> f3c = {
        40,  30, 7,    7,    7,  7,   100,  98,   96,   94,   92,   90,  88, 86,
        100, 96, 92,   88,   84, 80,  76,   72,   100,  98,   96,   94,  92, 90,
        88,  86, 0xD8, 0xF6, 40, 150, 0x01, 0xC2, 0x01, 0x2C, 0x01, 0x90};
    constexpr std::array<std::uint8_t, 40> threeD = {
        40,  30,  7,    7,    7,  7,   100,  100,  100,  100,  100,  100, 100, 100,
        100, 96,  92,   88,   84, 80,  76,   72,   100,  100,  100,  100, 100, 100,
        100, 100, 0xEC, 0xF6, 40, 150, 0x02, 0xD0, 0x01, 0x2C, 0x02, 0x58};
    return std::array<std::array<std::uint8_t, 40>, 4>{f3c, f3c, threeD, threeD};
}();

// Pirouette consistency n (1..11) selects row n - 1 of this table.
inline constexpr std::array<CurveBytes, 11> pirouetteTable = {{
    {100, 45, 34, 27, 22, 17, 13, 10},
    {100, 51, 42, 35, 30, 26, 23, 20},
    {100, 57, 49, 43, 39, 36, 33, 30},
    {100, 63, 56, 51, 48, 45, 42, 40},
    {100, 69, 63, 60, 57, 54, 52, 50},
    {100, 75, 71, 68, 65, 63, 62, 60},
    {100, 96, 92, 88, 84, 80, 76, 72},
    {100, 88, 85, 84, 83, 82, 81, 80},
    {100, 94, 93, 92, 91, 91, 90, 90},
    {100, 100, 100, 100, 100, 100, 100, 100},
    {0, 0, 0, 0, 0, 0, 0, 0},
}};

// The raw limit scale: 2136 is -150 %, 5160 is +150 %, 3648 is the centre.
inline constexpr int kLimitRawMin = 2136;
inline constexpr int kLimitRawMax = 5160;
inline constexpr int kLimitPercentMin = -150;
inline constexpr int kLimitPercentMax = 150;
inline constexpr int kLimitRawNeutral = 3648;

// k = (F3C ? 0 : 2) + (servoMode 1 or 3 ? 1 : 0).
int modeTableIndex(std::uint8_t modeFlags);
// The base yaw rate of a mode: holdexYawRate of its mode table (450 F3C, 720 3D).
int baseYawRate(std::uint8_t modeFlags);

// Image bytes 0-39 := defaultTableA, then 40-79 := the mode table of the new modeFlags.
// Record bytes 0-3 and 84 stay.
void resetToDefaults(ParameterRecord& record);
// Image bytes 40-79 := the mode table of the record's current modeFlags.
void applyModeTable(ParameterRecord& record);
// Store a limit point; a value below 0 stores 0 and one above 65535 stores 65535, and
// then false is returned.
bool setLimitHigh(ParameterRecord& record, int value);
bool setLimitLow(ParameterRecord& record, int value);
// True when record bytes 1-3 and 6-83 agree (the reserved byte, the checksum word and the
// pad byte take no part). Defines unwritten changes and verifies a write.
bool recordsEqual(const ParameterRecord& a, const ParameterRecord& b);

// Conversions, integer arithmetic with divisions truncating toward zero.
int limitPercent(std::uint16_t raw);
int yawRatePercent(std::uint16_t raw, std::uint8_t modeFlags);
int yawRateRaw(int percent, std::uint8_t modeFlags);
int pirouetteConsistency(const CurveBytes& curve);  // 1..11, 11 when no row matches
CurveBytes pirouetteRow(int n);                     // n clamped to 1..11
// A servo position on the bus scale (352..1696, centre 1024) in raw limit units:
// t = (p - 1024) * 1536 / 1024, then 15 * t / 10 + 3648.
int positionToLimitRaw(int position);
