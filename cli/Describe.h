// A parameter record told in words: every setting as the window shows it, the carried
// bytes, a JSON form keyed by the record's field names, and the differences between two
// records. The words are the window's English captions, so that printed settings stay the
// same whatever the language of the messages, and can be kept under version control.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <span>

#include "gyro/ParameterRecord.h"

namespace cli {

struct SettingDescription {
    const char* field;    // the record's field name, also the JSON key ("flightMode")
    const char* caption;  // the window's caption ("Flight Mode")
    bool carried;         // kept and written unchanged; the window never shows it
    // The field's raw value: a number (signed for the signed fields) or an array of bytes.
    QJsonValue (*raw)(const ParameterRecord&);
    // The value in the window's units and words ("F3C", "100 % (4656)", "2").
    QString (*shown)(const ParameterRecord&);
};

// Every field of the record, the shown settings first, in the window's order, then the
// carried ones. Together they cover every record byte.
std::span<const SettingDescription> Settings();

// "Caption: shown value" for one setting.
QString SettingLine(const SettingDescription& setting, const ParameterRecord& record);

// The settings as lines: the shown settings, then a line "Carried bytes:" followed by the
// carried fields indented by two spaces.
QStringList DescribeLines(const ParameterRecord& record);

// The record as JSON: every field name with its raw value, "modeFlags" and "channels" as
// whole bytes, "shown" (field name -> the shown text of the window's settings) and
// "record" (the 85 bytes in hexadecimal).
QJsonObject DescribeJson(const ParameterRecord& record);

// Whether two records hold different settings, as the comparison of unwritten data
// decides (record bytes 1-3 and 6-83).
bool SettingsDiffer(const ParameterRecord& a, const ParameterRecord& b);

// One line "Caption: shown in a -> shown in b" for each setting whose raw value differs,
// leaving out the fields that the comparison ignores (record bytes 0, 4-5 and 84).
QStringList DiffLines(const ParameterRecord& a, const ParameterRecord& b);

}  // namespace cli
