#include "cli/Describe.h"

#include <QJsonArray>
#include <array>

namespace cli {
namespace {

using Record = ParameterRecord;

QString Number(int value) {
    return QString::number(value);
}

QString Hex(unsigned value, int digits) {
    return QStringLiteral("0x") +
           QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QJsonValue CurveJson(const CurveBytes& curve) {
    QJsonArray array;
    for (std::uint8_t b : curve) array.append(int(b));
    return array;
}

QString CurveText(const CurveBytes& curve) {
    QStringList parts;
    for (std::uint8_t b : curve) parts << Number(b);
    return parts.join(QLatin1Char(' '));
}

// Single carried bytes, named by their image index.
template <std::size_t J>
QJsonValue ImageByteRaw(const Record& r) {
    return int(r.imageByte(J));
}
template <std::size_t J>
QString ImageByteShown(const Record& r) {
    return Number(r.imageByte(J));
}
#define TARVEX_CARRIED_BYTE(j, name) \
    { name, name, true, ImageByteRaw<j>, ImageByteShown<j> }

const char* FlightModeWord(int v) {
    return v == 1 ? "F3C" : "3D";
}

QString ServoModeWord(int v) {
    switch (v) {
        case 2:
            return QStringLiteral("Digital (1520)");
        case 3:
            return QStringLiteral("Digital (760)");
        case 0:
            return QStringLiteral("Analog");
        default:
            return QStringLiteral("Analog (%1)").arg(v);  // shown as Analog, stored 0 later
    }
}

QString ResponseModeWord(int v) {
    switch (v) {
        case 0:
            return QStringLiteral("Fast");
        case 1:
            return QStringLiteral("Standard");
        case 2:
            return QStringLiteral("Slow");
        default:
            return QStringLiteral("none (%1)").arg(v);  // no radio button checked
    }
}

QString PirouetteShown(const Record& r) {
    const CurveBytes curve = r.pirouetteCurve();
    const int n = pirouetteConsistency(curve);
    if (pirouetteRow(n) == curve) return Number(n);
    // The window shows 11 for a curve that matches no row; tell the two apart.
    return QStringLiteral("%1 (curve %2)").arg(n).arg(CurveText(curve));
}

QString LimitShown(std::uint16_t raw) {
    return QStringLiteral("%1 % (%2)").arg(limitPercent(raw)).arg(raw);
}

constexpr SettingDescription kSettings[] = {
    // What the window shows, in its order.
    {"gyroId", "ID", false, [](const Record& r) -> QJsonValue { return r.gyroId(); },
     [](const Record& r) { return Number(r.gyroId()); }},
    {"rudderChannel", "Rudder channel", false,
     [](const Record& r) -> QJsonValue { return r.rudderChannel(); },
     [](const Record& r) { return Number(r.rudderChannel() + 1); }},
    {"gainChannel", "Gain channel", false,
     [](const Record& r) -> QJsonValue { return r.gainChannel(); },
     [](const Record& r) { return Number(r.gainChannel() + 1); }},
    {"flightMode", "Flight Mode", false,
     [](const Record& r) -> QJsonValue { return r.flightMode(); },
     [](const Record& r) { return QString::fromLatin1(FlightModeWord(r.flightMode())); }},
    {"servoMode", "Servo Mode", false, [](const Record& r) -> QJsonValue { return r.servoMode(); },
     [](const Record& r) { return ServoModeWord(r.servoMode()); }},
    {"gyroReverse", "Gyro Reverse", false,
     [](const Record& r) -> QJsonValue { return r.gyroReverse(); },
     [](const Record& r) {
         return r.gyroReverse() ? QStringLiteral("Reverse") : QStringLiteral("Normal");
     }},
    {"responseMode", "Response Mode", false,
     [](const Record& r) -> QJsonValue { return r.responseMode(); },
     [](const Record& r) { return ResponseModeWord(r.responseMode()); }},
    {"controlResponseRight", "Control Response Right", false,
     [](const Record& r) -> QJsonValue { return r.controlResponseRight(); },
     [](const Record& r) { return Number(r.controlResponseRight()); }},
    {"controlResponseLeft", "Control Response Left", false,
     [](const Record& r) -> QJsonValue { return r.controlResponseLeft(); },
     [](const Record& r) { return Number(r.controlResponseLeft()); }},
    {"holdexResponseRightIn", "Holdex Response Right/In", false,
     [](const Record& r) -> QJsonValue { return r.holdexResponseRightIn(); },
     [](const Record& r) { return Number(r.holdexResponseRightIn()); }},
    {"holdexResponseRightOut", "Holdex Response Right/Out", false,
     [](const Record& r) -> QJsonValue { return r.holdexResponseRightOut(); },
     [](const Record& r) { return Number(r.holdexResponseRightOut()); }},
    {"holdexResponseLeftIn", "Holdex Response Left/In", false,
     [](const Record& r) -> QJsonValue { return r.holdexResponseLeftIn(); },
     [](const Record& r) { return Number(r.holdexResponseLeftIn()); }},
    {"holdexResponseLeftOut", "Holdex Response Left/Out", false,
     [](const Record& r) -> QJsonValue { return r.holdexResponseLeftOut(); },
     [](const Record& r) { return Number(r.holdexResponseLeftOut()); }},
    {"pirouetteCurve", "Pirouette Consistency", false,
     [](const Record& r) { return CurveJson(r.pirouetteCurve()); }, PirouetteShown},
    {"expNormal", "EXP Normal", false, [](const Record& r) -> QJsonValue { return r.expNormal(); },
     [](const Record& r) { return Number(r.expNormal()); }},
    {"expHoldex", "EXP Holdex", false, [](const Record& r) -> QJsonValue { return r.expHoldex(); },
     [](const Record& r) { return Number(r.expHoldex()); }},
    {"holdexYawRate", "Yaw Rate", false,
     [](const Record& r) -> QJsonValue { return r.holdexYawRate(); },
     [](const Record& r) {
         return QStringLiteral("%1 % (%2)")
             .arg(yawRatePercent(r.holdexYawRate(), r.modeFlags()))
             .arg(r.holdexYawRate());
     }},
    {"holdexGain", "Holdex Gain", false,
     [](const Record& r) -> QJsonValue { return r.holdexGain(); },
     [](const Record& r) { return Number(r.holdexGain()); }},
    {"holdexRange", "Range", false, [](const Record& r) -> QJsonValue { return r.holdexRange(); },
     [](const Record& r) { return Number(r.holdexRange()); }},
    {"dGain", "D gain", false, [](const Record& r) -> QJsonValue { return r.dGain(); },
     [](const Record& r) { return Number(r.dGain()); }},
    {"dDamping", "D damp.", false, [](const Record& r) -> QJsonValue { return r.dDamping(); },
     [](const Record& r) { return Number(r.dDamping()); }},
    {"baseGain", "Base Gain", false, [](const Record& r) -> QJsonValue { return r.baseGain(); },
     [](const Record& r) { return Number(r.baseGain()); }},
    {"limitHigh", "Limit High", false, [](const Record& r) -> QJsonValue { return r.limitHigh(); },
     [](const Record& r) { return LimitShown(r.limitHigh()); }},
    {"limitLow", "Limit Low", false, [](const Record& r) -> QJsonValue { return r.limitLow(); },
     [](const Record& r) { return LimitShown(r.limitLow()); }},

    // Carried: read, kept, saved and written unchanged.
    {"recordReserved", "recordReserved", true,
     [](const Record& r) -> QJsonValue { return r.recordReserved(); },
     [](const Record& r) { return Number(r.recordReserved()); }},
    {"modelCode", "modelCode", true, [](const Record& r) -> QJsonValue { return r.modelCode(); },
     [](const Record& r) { return Hex(r.modelCode(), 2); }},
    {"imageChecksum", "imageChecksum", true,
     [](const Record& r) -> QJsonValue { return r.imageChecksum(); },
     [](const Record& r) { return Hex(r.imageChecksum(), 4); }},
    {"neutralPosition", "neutralPosition", true,
     [](const Record& r) -> QJsonValue { return r.neutralPosition(); },
     [](const Record& r) { return Number(r.neutralPosition()); }},
    TARVEX_CARRIED_BYTE(8, "param08"),
    TARVEX_CARRIED_BYTE(9, "param09"),
    TARVEX_CARRIED_BYTE(10, "param10"),
    TARVEX_CARRIED_BYTE(11, "param11"),
    TARVEX_CARRIED_BYTE(12, "param12"),
    TARVEX_CARRIED_BYTE(13, "param13"),
    TARVEX_CARRIED_BYTE(14, "param14"),
    TARVEX_CARRIED_BYTE(16, "param16"),
    TARVEX_CARRIED_BYTE(17, "param17"),
    TARVEX_CARRIED_BYTE(18, "param18"),
    TARVEX_CARRIED_BYTE(19, "param19"),
    TARVEX_CARRIED_BYTE(20, "param20"),
    TARVEX_CARRIED_BYTE(21, "param21"),
    TARVEX_CARRIED_BYTE(22, "param22"),
    TARVEX_CARRIED_BYTE(23, "param23"),
    TARVEX_CARRIED_BYTE(24, "param24"),
    TARVEX_CARRIED_BYTE(25, "param25"),
    TARVEX_CARRIED_BYTE(26, "param26"),
    TARVEX_CARRIED_BYTE(27, "param27"),
    {"modeFlagsReserved", "modeFlagsReserved", true,
     [](const Record& r) -> QJsonValue { return r.modeFlagsReserved(); },
     [](const Record& r) { return Number(r.modeFlagsReserved()); }},
    TARVEX_CARRIED_BYTE(32, "param32"),
    TARVEX_CARRIED_BYTE(33, "param33"),
    TARVEX_CARRIED_BYTE(34, "param34"),
    TARVEX_CARRIED_BYTE(35, "param35"),
    TARVEX_CARRIED_BYTE(36, "param36"),
    TARVEX_CARRIED_BYTE(37, "param37"),
    TARVEX_CARRIED_BYTE(38, "param38"),
    TARVEX_CARRIED_BYTE(39, "param39"),
    TARVEX_CARRIED_BYTE(41, "param41"),
    {"curve46", "curve46", true, [](const Record& r) { return CurveJson(r.curve46()); },
     [](const Record& r) { return CurveText(r.curve46()); }},
    {"curve62", "curve62", true, [](const Record& r) { return CurveJson(r.curve62()); },
     [](const Record& r) { return CurveText(r.curve62()); }},
    {"param78", "param78", true, [](const Record& r) -> QJsonValue { return r.param78(); },
     [](const Record& r) { return Number(r.param78()); }},
    {"recordPad", "recordPad", true, [](const Record& r) -> QJsonValue { return r.recordPad(); },
     [](const Record& r) { return Number(r.recordPad()); }},
};
#undef TARVEX_CARRIED_BYTE

// Record bytes 0, 4-5 and 84 take no part in the comparison of two records.
bool IgnoredByComparison(const SettingDescription& s) {
    const QLatin1String field(s.field);
    return field == QLatin1String("recordReserved") || field == QLatin1String("imageChecksum") ||
           field == QLatin1String("recordPad");
}

}  // namespace

std::span<const SettingDescription> Settings() {
    return kSettings;
}

QString SettingLine(const SettingDescription& setting, const ParameterRecord& record) {
    return QStringLiteral("%1: %2").arg(QLatin1String(setting.caption), setting.shown(record));
}

QStringList DescribeLines(const ParameterRecord& record) {
    QStringList lines;
    for (const SettingDescription& s : kSettings) {
        if (!s.carried) lines << SettingLine(s, record);
    }
    lines << QStringLiteral("Carried bytes:");
    for (const SettingDescription& s : kSettings) {
        if (s.carried) lines << QStringLiteral("  ") + SettingLine(s, record);
    }
    return lines;
}

QJsonObject DescribeJson(const ParameterRecord& record) {
    QJsonObject json;
    QJsonObject shown;
    for (const SettingDescription& s : kSettings) {
        json.insert(QLatin1String(s.field), s.raw(record));
        if (!s.carried) shown.insert(QLatin1String(s.field), s.shown(record));
    }
    json.insert(QStringLiteral("modeFlags"), int(record.modeFlags()));
    json.insert(QStringLiteral("channels"), int(record.channels()));
    json.insert(QStringLiteral("shown"), shown);
    const QByteArray bytes(reinterpret_cast<const char*>(record.bytes.data()),
                           static_cast<qsizetype>(record.bytes.size()));
    json.insert(QStringLiteral("record"), QString::fromLatin1(bytes.toHex()));
    return json;
}

bool SettingsDiffer(const ParameterRecord& a, const ParameterRecord& b) {
    return !recordsEqual(a, b);
}

QStringList DiffLines(const ParameterRecord& a, const ParameterRecord& b) {
    QStringList lines;
    for (const SettingDescription& s : kSettings) {
        if (IgnoredByComparison(s) || s.raw(a) == s.raw(b)) continue;
        lines
            << QStringLiteral("%1: %2 -> %3").arg(QLatin1String(s.caption), s.shown(a), s.shown(b));
    }
    return lines;
}

}  // namespace cli
