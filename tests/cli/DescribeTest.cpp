#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "cli/Describe.h"
#include "gyro/ParameterRecord.h"

namespace {

using Lines = std::vector<std::string>;

bool Contains(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

ParameterRecord Defaults() {
    ParameterRecord record{};
    record.setModelCode(ParameterRecord::kModelCodeKR640);
    resetToDefaults(record);
    return record;
}

TEST(DescribeTest, FactoryDefaultsInTheWindowsWords) {
    const Lines lines = cli::DescribeLines(Defaults());
    for (const char* expected : {
             "ID: 0",
             "Rudder channel: 2",
             "Flight Mode: F3C",
             "Servo Mode: Digital (1520)",
             "Control Response Right: 7",
             "Pirouette Consistency: 7",
             "EXP Holdex: -40",
             "Yaw Rate: 100 % (450)",
             "Limit High: 100 % (4656)",
             "Carried bytes:",
             "  modelCode: 0x80",
             "  imageChecksum: 0x0000",
             "  neutralPosition: 3648",
             "  modeFlagsReserved: 2",
             "  curve46: 100 98 96 94 92 90 88 86",
         }) {
        EXPECT_TRUE(Contains(lines, expected)) << expected;
    }
}

struct ModeCase {
    std::uint8_t modeFlags;
    const char* lines[4];
};

TEST(DescribeTest, ModeFlagsWords) {
    // 0x29: 3D, Normal, Digital (1520), Standard; 0x7A: 3D, Reverse, Digital (760), Slow;
    // 0x93: F3C, Normal, servo mode 1 (shown as Analog), response mode 3 (no radio checked).
    const ModeCase cases[] = {
        {0x29,
         {"Flight Mode: 3D", "Gyro Reverse: Normal", "Servo Mode: Digital (1520)",
          "Response Mode: Standard"}},
        {0x7A,
         {"Flight Mode: 3D", "Gyro Reverse: Reverse", "Servo Mode: Digital (760)",
          "Response Mode: Slow"}},
        {0x80,
         {"Flight Mode: F3C", "Gyro Reverse: Normal", "Servo Mode: Analog", "Response Mode: Fast"}},
        {0x93,
         {"Flight Mode: F3C", "Gyro Reverse: Normal", "Servo Mode: Analog (1)",
          "Response Mode: none (3)"}},
    };
    for (const ModeCase& c : cases) {
        ParameterRecord record = Defaults();
        record.setModeFlags(c.modeFlags);
        const Lines lines = cli::DescribeLines(record);
        for (const char* expected : c.lines) {
            EXPECT_TRUE(Contains(lines, expected))
                << "modeFlags " << int(c.modeFlags) << ": " << expected;
        }
    }
}

TEST(DescribeTest, ConversionsShowRawValuesWhereTheWindowLosesThem) {
    ParameterRecord record = Defaults();
    record.setHoldexYawRate(451);  // 100 % like 450
    record.setLimitHighRaw(0);     // limitPercent of 0 is 361
    record.setChannels(0xF0);      // rudder "1", gain "16"
    record.setPirouetteCurve({1, 2, 3, 4, 5, 6, 7, 8});
    Lines lines = cli::DescribeLines(record);
    EXPECT_TRUE(Contains(lines, "Yaw Rate: 100 % (451)"));
    EXPECT_TRUE(Contains(lines, "Limit High: 361 % (0)"));
    EXPECT_TRUE(Contains(lines, "Rudder channel: 1"));
    EXPECT_TRUE(Contains(lines, "Gain channel: 16"));
    EXPECT_TRUE(Contains(lines, "Pirouette Consistency: 11 (curve 1 2 3 4 5 6 7 8)"));

    record.setPirouetteCurve(pirouetteRow(11));
    record.setModeFlags(0x29);  // 3D: base rate 720
    record.setHoldexYawRate(216);
    lines = cli::DescribeLines(record);
    EXPECT_TRUE(Contains(lines, "Pirouette Consistency: 11"));
    EXPECT_TRUE(Contains(lines, "Yaw Rate: 30 % (216)"));
}

// Every bit of the record belongs to some field: changing it changes that field's raw
// value, and the differences listed agree with the comparison of unwritten data.
TEST(DescribeTest, EveryRecordBitIsDescribedAndDiffAgreesWithRecordsEqual) {
    const ParameterRecord base = Defaults();
    for (std::size_t at = 0; at < ParameterRecord::kSize; ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            ParameterRecord changed = base;
            changed.bytes[at] ^= static_cast<std::uint8_t>(1 << bit);
            int fieldsChanged = 0;
            for (const cli::SettingDescription& s : cli::Settings()) {
                fieldsChanged += s.raw(base) != s.raw(changed);
            }
            EXPECT_EQ(fieldsChanged, 1) << "byte " << at << " bit " << bit;
            const bool differ = cli::SettingsDiffer(base, changed);
            EXPECT_EQ(differ, !recordsEqual(base, changed));
            EXPECT_EQ(cli::DiffLines(base, changed).size(), differ ? 1 : 0)
                << "byte " << at << " bit " << bit;
        }
    }
}

TEST(DescribeTest, DiffLinesTellBothSides) {
    const ParameterRecord a = Defaults();
    ParameterRecord b = a;
    b.setFlightMode(0);
    applyModeTable(b);
    b.setGyroId(1234);
    b.setImageChecksum(0xBEEF);  // ignored by the comparison
    const Lines lines = cli::DiffLines(a, b);
    EXPECT_TRUE(Contains(lines, "ID: 0 -> 1234"));
    EXPECT_TRUE(Contains(lines, "Flight Mode: F3C -> 3D"));
    EXPECT_TRUE(Contains(lines, "Yaw Rate: 100 % (450) -> 100 % (720)"));
    EXPECT_TRUE(Contains(lines, "EXP Holdex: -40 -> -20"));
    EXPECT_TRUE(Contains(lines,
                         "curve46: 100 98 96 94 92 90 88 86 -> 100 100 100 100 100 100 "
                         "100 100"));
    for (const std::string& line : lines) EXPECT_FALSE(line.starts_with("imageChecksum")) << line;
    EXPECT_TRUE(cli::DiffLines(a, a).empty());
}

TEST(DescribeTest, JsonUsesTheFieldNamesAndRoundTrips) {
    ParameterRecord record = Defaults();
    record.setGyroId(513);
    record.setExpNormal(-128);
    const std::string text = cli::JsonText(cli::DescribeJson(record));
    const cli::Json json = cli::Json::parse(text);

    EXPECT_EQ(json["gyroId"], 513);
    EXPECT_EQ(json["limitHigh"], 4656);
    EXPECT_EQ(json["modeFlags"], 0xA9);
    EXPECT_EQ(json["flightMode"], 1);
    EXPECT_EQ(json["channels"], 0x21);
    EXPECT_EQ(json["expNormal"], -128);
    EXPECT_EQ(json["param09"], 200);
    EXPECT_EQ(json["pirouetteCurve"], cli::Json({100, 96, 92, 88, 84, 80, 76, 72}));
    const cli::Json& shown = json["shown"];
    EXPECT_EQ(shown["flightMode"], "F3C");
    EXPECT_EQ(shown["limitHigh"], "100 % (4656)");
    EXPECT_FALSE(shown.contains("param09"));

    const std::string hex = json["record"];
    ASSERT_EQ(hex.size(), 170u);
    for (std::size_t i = 0; i < 85; ++i) {
        EXPECT_EQ(std::stoi(hex.substr(2 * i, 2), nullptr, 16), record.bytes[i]) << i;
    }

    // Every described field is in the JSON, once; the keys in sorted order, as before.
    std::set<std::string> names;
    for (const cli::SettingDescription& s : cli::Settings()) {
        EXPECT_TRUE(names.insert(s.field).second) << s.field;
        EXPECT_TRUE(json.contains(s.field)) << s.field;
    }
    EXPECT_TRUE(text.starts_with("{\n    \"baseGain\": ")) << text.substr(0, 40);
    EXPECT_EQ(cli::JsonText(cli::Json::array()), "[\n]\n");
}

}  // namespace
