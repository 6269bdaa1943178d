// A parameter record told in words: every setting as the window shows it, the carried
// bytes, a JSON form keyed by the record's field names, and the differences between two
// records. The lines use the window's own captions in the chosen language
// (strings::ChooseLanguage): its English captions as they always were, or its German or
// Japanese ones. The JSON stays English (keys and shown texts) for scripts.
#pragma once

#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <vector>

#include "gyro/ParameterRecord.h"

namespace cli {

// Keys sorted by name, as the JSON always was.
using Json = nlohmann::json;

struct SettingDescription {
    const char* field;    // the record's field name, also the JSON key ("flightMode")
    const char* caption;  // the window's English caption ("Flight Mode")
    bool carried;         // kept and written unchanged; the window never shows it
    // The field's raw value: a number (signed for the signed fields) or an array of bytes.
    Json (*raw)(const ParameterRecord&);
    // The value in the window's units and words ("F3C", "100 % (4656)", "2").
    std::string (*shown)(const ParameterRecord&);
};

// Every field of the record, the shown settings first, in the window's order, then the
// carried ones. Together they cover every record byte.
std::span<const SettingDescription> Settings();

// The setting's caption in the chosen language: the English caption, or the window's
// words for it in German or Japanese ("Flug Modus"); the carried fields keep their names.
std::string Caption(const SettingDescription& setting);

// "Caption: shown value" for one setting.
std::string SettingLine(const SettingDescription& setting, const ParameterRecord& record);

// The settings as lines: the shown settings, then a line "Carried bytes:" followed by the
// carried fields indented by two spaces.
std::vector<std::string> DescribeLines(const ParameterRecord& record);

// The record as JSON: every field name with its raw value, "modeFlags" and "channels" as
// whole bytes, "shown" (field name -> the English shown text of the window's settings) and
// "record" (the 85 bytes in hexadecimal).
Json DescribeJson(const ParameterRecord& record);

// JSON as tarvex-cli prints it: indented by four spaces, ending in a newline.
std::string JsonText(const Json& json);

// Whether two records hold different settings, as the comparison of unwritten data
// decides (record bytes 1-3 and 6-83).
bool SettingsDiffer(const ParameterRecord& a, const ParameterRecord& b);

// One line "Caption: shown in a -> shown in b" for each setting whose raw value differs,
// leaving out the fields that the comparison ignores (record bytes 0, 4-5 and 84).
std::vector<std::string> DiffLines(const ParameterRecord& a, const ParameterRecord& b);

}  // namespace cli
