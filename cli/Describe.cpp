#include "cli/Describe.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "resources/strings/StringTable.h"

namespace cli {
namespace {

using Record = ParameterRecord;

// Whether the shown values use the window's words in the chosen language (the lines) or
// in English (the JSON, which stays the same for scripts whatever the language).
bool g_localWords = false;

class LocalWords {
  public:
    explicit LocalWords(bool local) : old_(g_localWords) { g_localWords = local; }
    ~LocalWords() { g_localWords = old_; }
    LocalWords(const LocalWords&) = delete;
    LocalWords& operator=(const LocalWords&) = delete;

  private:
    bool old_;
};

// One of the window's words ("F3C", "Digital (1520)", "Reverse") as the window shows it.
std::string Word(const char* english) {
    if (!g_localWords) return english;
    return strings::PlainCaption(strings::Caption("CTarvexDlg", english));
}

std::string Number(int value) {
    return std::to_string(value);
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

Json CurveJson(const CurveBytes& curve) {
    Json array = Json::array();
    for (std::uint8_t b : curve) array.push_back(int(b));
    return array;
}

std::string CurveText(const CurveBytes& curve) {
    std::string text;
    for (std::uint8_t b : curve) {
        if (!text.empty()) text += ' ';
        text += Number(b);
    }
    return text;
}

// Single carried bytes, named by their image index.
template <std::size_t J>
Json ImageByteRaw(const Record& r) {
    return int(r.imageByte(J));
}
template <std::size_t J>
std::string ImageByteShown(const Record& r) {
    return Number(r.imageByte(J));
}
#define TARVEX_CARRIED_BYTE(j, name) \
    { name, name, true, ImageByteRaw<j>, ImageByteShown<j> }

const char* FlightModeWord(int v) {
    return v == 1 ? "F3C" : "3D";
}

std::string ServoModeWord(int v) {
    switch (v) {
        case 2:
            return Word("Digital (1520)");
        case 3:
            return Word("Digital (760)");
        case 0:
            return Word("Analog");
        default:
            return Word("Analog") + " (" + Number(v) + ")";  // shown as Analog, stored 0 later
    }
}

std::string ResponseModeWord(int v) {
    switch (v) {
        case 0:
            return Word("Fast");
        case 1:
            return Word("Standard");
        case 2:
            return Word("Slow");
        default:
            return "none (" + Number(v) + ")";  // no radio button checked
    }
}

std::string PirouetteShown(const Record& r) {
    const CurveBytes curve = r.pirouetteCurve();
    const int n = pirouetteConsistency(curve);
    if (pirouetteRow(n) == curve) return Number(n);
    // The window shows 11 for a curve that matches no row; tell the two apart.
    return Number(n) + " (curve " + CurveText(curve) + ")";
}

std::string LimitShown(std::uint16_t raw) {
    return Number(limitPercent(raw)) + " % (" + Number(raw) + ")";
}

constexpr SettingDescription kSettings[] = {
    // What the window shows, in its order.
    {"gyroId", "ID", false, [](const Record& r) -> Json { return r.gyroId(); },
     [](const Record& r) { return Number(r.gyroId()); }},
    {"rudderChannel", "Rudder channel", false,
     [](const Record& r) -> Json { return r.rudderChannel(); },
     [](const Record& r) { return Number(r.rudderChannel() + 1); }},
    {"gainChannel", "Gain channel", false, [](const Record& r) -> Json { return r.gainChannel(); },
     [](const Record& r) { return Number(r.gainChannel() + 1); }},
    {"flightMode", "Flight Mode", false, [](const Record& r) -> Json { return r.flightMode(); },
     [](const Record& r) { return Word(FlightModeWord(r.flightMode())); }},
    {"servoMode", "Servo Mode", false, [](const Record& r) -> Json { return r.servoMode(); },
     [](const Record& r) { return ServoModeWord(r.servoMode()); }},
    {"gyroReverse", "Gyro Reverse", false, [](const Record& r) -> Json { return r.gyroReverse(); },
     [](const Record& r) { return Word(r.gyroReverse() ? "Reverse" : "Normal"); }},
    {"responseMode", "Response Mode", false,
     [](const Record& r) -> Json { return r.responseMode(); },
     [](const Record& r) { return ResponseModeWord(r.responseMode()); }},
    {"controlResponseRight", "Control Response Right", false,
     [](const Record& r) -> Json { return r.controlResponseRight(); },
     [](const Record& r) { return Number(r.controlResponseRight()); }},
    {"controlResponseLeft", "Control Response Left", false,
     [](const Record& r) -> Json { return r.controlResponseLeft(); },
     [](const Record& r) { return Number(r.controlResponseLeft()); }},
    {"holdexResponseRightIn", "Holdex Response Right/In", false,
     [](const Record& r) -> Json { return r.holdexResponseRightIn(); },
     [](const Record& r) { return Number(r.holdexResponseRightIn()); }},
    {"holdexResponseRightOut", "Holdex Response Right/Out", false,
     [](const Record& r) -> Json { return r.holdexResponseRightOut(); },
     [](const Record& r) { return Number(r.holdexResponseRightOut()); }},
    {"holdexResponseLeftIn", "Holdex Response Left/In", false,
     [](const Record& r) -> Json { return r.holdexResponseLeftIn(); },
     [](const Record& r) { return Number(r.holdexResponseLeftIn()); }},
    {"holdexResponseLeftOut", "Holdex Response Left/Out", false,
     [](const Record& r) -> Json { return r.holdexResponseLeftOut(); },
     [](const Record& r) { return Number(r.holdexResponseLeftOut()); }},
    {"pirouetteCurve", "Pirouette Consistency", false,
     [](const Record& r) { return CurveJson(r.pirouetteCurve()); }, PirouetteShown},
    {"expNormal", "EXP Normal", false, [](const Record& r) -> Json { return r.expNormal(); },
     [](const Record& r) { return Number(r.expNormal()); }},
    {"expHoldex", "EXP Holdex", false, [](const Record& r) -> Json { return r.expHoldex(); },
     [](const Record& r) { return Number(r.expHoldex()); }},
    {"holdexYawRate", "Yaw Rate", false, [](const Record& r) -> Json { return r.holdexYawRate(); },
     [](const Record& r) {
         return Number(yawRatePercent(r.holdexYawRate(), r.modeFlags())) + " % (" +
                Number(r.holdexYawRate()) + ")";
     }},
    {"holdexGain", "Holdex Gain", false, [](const Record& r) -> Json { return r.holdexGain(); },
     [](const Record& r) { return Number(r.holdexGain()); }},
    {"holdexRange", "Range", false, [](const Record& r) -> Json { return r.holdexRange(); },
     [](const Record& r) { return Number(r.holdexRange()); }},
    {"dGain", "D gain", false, [](const Record& r) -> Json { return r.dGain(); },
     [](const Record& r) { return Number(r.dGain()); }},
    {"dDamping", "D damp.", false, [](const Record& r) -> Json { return r.dDamping(); },
     [](const Record& r) { return Number(r.dDamping()); }},
    {"baseGain", "Base Gain", false, [](const Record& r) -> Json { return r.baseGain(); },
     [](const Record& r) { return Number(r.baseGain()); }},
    {"limitHigh", "Limit High", false, [](const Record& r) -> Json { return r.limitHigh(); },
     [](const Record& r) { return LimitShown(r.limitHigh()); }},
    {"limitLow", "Limit Low", false, [](const Record& r) -> Json { return r.limitLow(); },
     [](const Record& r) { return LimitShown(r.limitLow()); }},

    // Carried: read, kept, saved and written unchanged.
    {"recordReserved", "recordReserved", true,
     [](const Record& r) -> Json { return r.recordReserved(); },
     [](const Record& r) { return Number(r.recordReserved()); }},
    {"modelCode", "modelCode", true, [](const Record& r) -> Json { return r.modelCode(); },
     [](const Record& r) { return Hex(r.modelCode(), 2); }},
    {"imageChecksum", "imageChecksum", true,
     [](const Record& r) -> Json { return r.imageChecksum(); },
     [](const Record& r) { return Hex(r.imageChecksum(), 4); }},
    {"neutralPosition", "neutralPosition", true,
     [](const Record& r) -> Json { return r.neutralPosition(); },
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
     [](const Record& r) -> Json { return r.modeFlagsReserved(); },
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
    {"param78", "param78", true, [](const Record& r) -> Json { return r.param78(); },
     [](const Record& r) { return Number(r.param78()); }},
    {"recordPad", "recordPad", true, [](const Record& r) -> Json { return r.recordPad(); },
     [](const Record& r) { return Number(r.recordPad()); }},
};
#undef TARVEX_CARRIED_BYTE

// Record bytes 0, 4-5 and 84 take no part in the comparison of two records.
bool IgnoredByComparison(const SettingDescription& s) {
    const std::string_view field(s.field);
    return field == "recordReserved" || field == "imageChecksum" || field == "recordPad";
}

// How the window names each shown setting, in its own words: its captions (the sources of
// tarvex_window_<lang>.ts, context CTarvexDlg) and string-table ids ("#124" is "Right"),
// joined by spaces; "+" and "-" stand for the high and the low limit, which the window
// labels by a direction that depends on the mounting and the gyro's reversal. The English
// captions of kSettings stay as they are.
struct LocalName {
    const char* field;
    const char* words[3];
};
constexpr LocalName kLocalNames[] = {
    {"gyroId", {"&ID"}},
    {"rudderChannel", {"R&udder", "Channel"}},
    {"gainChannel", {"&Gain", "Channel"}},
    {"flightMode", {"F&light Mode"}},
    {"servoMode", {"Ser&vo Mode"}},
    {"gyroReverse", {"G&yro Reverse"}},
    {"responseMode", {"Response Setting", "M&ode"}},
    {"controlResponseRight", {"Co&ntrol Response", "#124"}},
    {"controlResponseLeft", {"Co&ntrol Response", "#125"}},
    {"holdexResponseRightIn", {"Holde&x Response", "#126"}},
    {"holdexResponseRightOut", {"Holde&x Response", "#127"}},
    {"holdexResponseLeftIn", {"Holde&x Response", "#128"}},
    {"holdexResponseLeftOut", {"Holde&x Response", "#129"}},
    {"pirouetteCurve", {"&Pirouette\nConsistency"}},
    {"expNormal", {"EXP", "Norm&al"}},
    {"expHoldex", {"EXP", "Holdex"}},
    {"holdexYawRate", {"Yaw Ra&te"}},
    {"holdexGain", {"Holdex", "Gain"}},
    {"holdexRange", {"Range"}},
    {"dGain", {"&D gain"}},
    {"dDamping", {"D damp."}},
    {"baseGain", {"&Base Gain"}},
    {"limitHigh", {"Limit", "+"}},
    {"limitLow", {"Limit", "-"}},
};

}  // namespace

std::span<const SettingDescription> Settings() {
    return kSettings;
}

std::string Caption(const SettingDescription& setting) {
    if (strings::CurrentLanguage() == "en") return setting.caption;
    for (const LocalName& name : kLocalNames) {
        if (std::string_view(name.field) != setting.field) continue;
        std::string caption;
        for (const char* word : name.words) {
            if (word == nullptr) break;
            if (!caption.empty()) caption += ' ';
            if (word[0] == '#') {
                caption += strings::Text(std::atoi(word + 1));
            } else if ((word[0] == '+' || word[0] == '-') && word[1] == '\0') {
                caption += word;
            } else {
                caption += strings::PlainCaption(strings::Caption("CTarvexDlg", word));
            }
        }
        return caption;
    }
    return setting.caption;  // the carried fields keep their field names
}

std::string SettingLine(const SettingDescription& setting, const ParameterRecord& record) {
    const LocalWords local(true);
    return Caption(setting) + ": " + setting.shown(record);
}

std::vector<std::string> DescribeLines(const ParameterRecord& record) {
    std::vector<std::string> lines;
    for (const SettingDescription& s : kSettings) {
        if (!s.carried) lines.push_back(SettingLine(s, record));
    }
    lines.push_back("Carried bytes:");
    for (const SettingDescription& s : kSettings) {
        if (s.carried) lines.push_back("  " + SettingLine(s, record));
    }
    return lines;
}

Json DescribeJson(const ParameterRecord& record) {
    const LocalWords english(false);
    Json json = Json::object();
    Json shown = Json::object();
    for (const SettingDescription& s : kSettings) {
        json[s.field] = s.raw(record);
        if (!s.carried) shown[s.field] = s.shown(record);
    }
    json["modeFlags"] = int(record.modeFlags());
    json["channels"] = int(record.channels());
    json["shown"] = shown;
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint8_t b : record.bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    json["record"] = hex;
    return json;
}

std::string JsonText(const Json& json) {
    // As Qt's indented form: four spaces, an empty array on two lines, a final newline.
    if (json.is_array() && json.empty()) return "[\n]\n";
    return json.dump(4) + "\n";
}

bool SettingsDiffer(const ParameterRecord& a, const ParameterRecord& b) {
    return !recordsEqual(a, b);
}

std::vector<std::string> DiffLines(const ParameterRecord& a, const ParameterRecord& b) {
    const LocalWords local(true);
    std::vector<std::string> lines;
    for (const SettingDescription& s : kSettings) {
        if (IgnoredByComparison(s) || s.raw(a) == s.raw(b)) continue;
        lines.push_back(Caption(s) + ": " + s.shown(a) + " -> " + s.shown(b));
    }
    return lines;
}

}  // namespace cli
