#include "resources/strings/StringTable.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "resources/strings/StringTableData.h"

#ifdef _WIN32
#include <windows.h>
#endif

// The English texts are also the translation keys of the context "StringTable" in the
// .ts files; lupdate still finds them by this macro, which here is the text itself.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, text) text
#endif

namespace strings {
namespace {

struct Entry {
    int id;
    const char* english;
};

constexpr std::array<Entry, 37> kTable = {{
    {101, QT_TRANSLATE_NOOP("StringTable", "About Tarvex(&A)...")},
    {102, QT_TRANSLATE_NOOP("StringTable", "This data is not compatible with KR640.")},
    {103, QT_TRANSLATE_NOOP("StringTable", "Read error")},
    {104, QT_TRANSLATE_NOOP("StringTable", "Write error")},
    {105, QT_TRANSLATE_NOOP("StringTable", "The writing suceeded.")},
    {106, QT_TRANSLATE_NOOP("StringTable",
                            "The data will be initialized to the default setting. Are you sure?")},
    {107, QT_TRANSLATE_NOOP("StringTable",
                            "If this parameter is modified, other parameters have to be "
                            "initialized. Are you sure?")},
    {108, QT_TRANSLATE_NOOP("StringTable", "File read error.")},
    {109, QT_TRANSLATE_NOOP("StringTable", "The file ")},
    {110, QT_TRANSLATE_NOOP("StringTable", " already exist. May I overwrite the file?")},
    {111, QT_TRANSLATE_NOOP("StringTable", "Save file")},
    {112, QT_TRANSLATE_NOOP("StringTable", "File write error.")},
    {113, QT_TRANSLATE_NOOP("StringTable", "There is not enough space in the drive.")},
    {114, QT_TRANSLATE_NOOP("StringTable", "Unknown error")},
    {115, QT_TRANSLATE_NOOP("StringTable", "The connection failed.")},
    {116, QT_TRANSLATE_NOOP("StringTable", "A KR640 is not connected.")},
    {117, QT_TRANSLATE_NOOP("StringTable", "The connection succeeded.")},
    {118, QT_TRANSLATE_NOOP("StringTable", "The device driver for TBX-3 is not installed.")},
    {119, QT_TRANSLATE_NOOP("StringTable", "A TBX-3 is not connected.")},
    {120, QT_TRANSLATE_NOOP("StringTable", "The TBX-3 is not working.")},
    {121, QT_TRANSLATE_NOOP("StringTable", "Please set the first limit point.")},
    {122, QT_TRANSLATE_NOOP("StringTable", "Please set the second limit point.")},
    {123, QT_TRANSLATE_NOOP("StringTable", "Push the write button.")},
    {124, QT_TRANSLATE_NOOP("StringTable", "Right")},
    {125, QT_TRANSLATE_NOOP("StringTable", "Left")},
    {126, QT_TRANSLATE_NOOP("StringTable", "Right/In")},
    {127, QT_TRANSLATE_NOOP("StringTable", "Right/Out")},
    {128, QT_TRANSLATE_NOOP("StringTable", "Left/In")},
    {129, QT_TRANSLATE_NOOP("StringTable", "Left/Out")},
    {130, QT_TRANSLATE_NOOP("StringTable", "Out of valid range.")},
    {131, QT_TRANSLATE_NOOP("StringTable", "You cannot set limit points for same direction.")},
    {132, QT_TRANSLATE_NOOP("StringTable", "Limit setting was aborted.")},
    {133, QT_TRANSLATE_NOOP("StringTable",
                            "The data have not been written to the gyro yet. Do you want to "
                            "write data to the gyro?")},
    {134, QT_TRANSLATE_NOOP("StringTable", "The values will not be stored.")},
    // The backup before a Write: %1 is the backups folder, %2 the reason it failed.
    {135, QT_TRANSLATE_NOOP("StringTable",
                            "The gyro's current settings could not be backed up to %1 (%2). "
                            "Write anyway?")},
    {136, QT_TRANSLATE_NOOP("StringTable",
                            "The gyro's current settings could not be backed up to %1 (%2). "
                            "Nothing was written; --no-backup writes without a backup.")},
    // A settings file is never saved among the backups: %1 is the file, %2 the folder.
    {137, QT_TRANSLATE_NOOP("StringTable",
                            "%1 is in the backups folder (%2), which only the backup before a "
                            "write fills. Please choose another file.")},
}};
static_assert(kTable.front().id == kFirstId && kTable.back().id == kLastId);

constexpr const char* kLanguages[] = {"en", "de", "ja"};

// The chosen language and, for it, each id's text (null: the English one).
struct State {
    std::string language = "en";
    std::array<const char*, kTable.size()> texts{};
};
State& Current() {
    static State state;
    return state;
}

const generated::Translation* Find(std::string_view language, std::string_view context,
                                   std::string_view source, std::string_view comment) {
    for (std::size_t i = 0; i < generated::kTranslationCount; ++i) {
        const generated::Translation& t = generated::kTranslations[i];
        if (language == t.language && context == t.context && source == t.source &&
            comment == t.comment) {
            return &t;
        }
    }
    return nullptr;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// "de", "de_DE", "de-AT", "de_DE.UTF-8", "de_DE@euro" are German; "deu" and "dex" are not.
bool IsLanguage(std::string_view tag, std::string_view code) {
    if (tag.size() < 2 || Lower(tag[0]) != code[0] || Lower(tag[1]) != code[1]) return false;
    return tag.size() == 2 || tag[2] == '-' || tag[2] == '_' || tag[2] == '.' || tag[2] == '@';
}

const char* KnownLanguage(std::string_view tag) {
    for (const char* code : kLanguages) {
        if (IsLanguage(tag, code)) return code;
    }
    return nullptr;
}

#ifndef _WIN32
std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}
#else
std::string Utf8(const wchar_t* wide, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(std::max(size, 0)), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide, length, text.data(), size, nullptr, nullptr);
    return text;
}
#endif

}  // namespace

std::string_view English(int id) {
    if (id < kFirstId || id > kLastId) return {};
    return kTable[static_cast<std::size_t>(id - kFirstId)].english;
}

std::string Text(int id) {
    if (id < kFirstId || id > kLastId) return {};
    const auto index = static_cast<std::size_t>(id - kFirstId);
    const char* text = Current().texts[index];
    return text != nullptr ? text : kTable[index].english;
}

std::string CurrentLanguage() {
    return Current().language;
}

std::vector<std::string> SystemLanguages() {
    std::vector<std::string> languages;
#ifndef _WIN32
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = Environment(name);
        if (!locale.empty()) break;
    }
    // gettext's rule: LANGUAGE lists the languages in order, unless the locale is C.
    const bool plain =
        locale.empty() || locale == "C" || locale.starts_with("C.") || locale == "POSIX";
    const std::string list = Environment("LANGUAGE");
    if (!plain && !list.empty()) {
        std::size_t start = 0;
        while (start <= list.size()) {
            const std::size_t end = std::min(list.find(':', start), list.size());
            if (end > start) languages.push_back(list.substr(start, end - start));
            start = end + 1;
        }
    }
    if (!locale.empty()) languages.push_back(locale);
#else
    ULONG count = 0;
    ULONG size = 0;
    if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) && size > 0) {
        std::wstring buffer(size, L'\0');
        if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, buffer.data(), &size)) {
            // A list of null-terminated names, ended by an empty one.
            for (const wchar_t* name = buffer.c_str(); *name != L'\0';
                 name += std::wcslen(name) + 1) {
                languages.push_back(Utf8(name, static_cast<int>(std::wcslen(name))));
            }
        }
    }
    if (languages.empty()) {
        switch (PRIMARYLANGID(GetUserDefaultUILanguage())) {
            case LANG_GERMAN:
                languages.push_back("de");
                break;
            case LANG_JAPANESE:
                languages.push_back("ja");
                break;
            default:
                languages.push_back("en");
                break;
        }
    }
#endif
    return languages;
}

std::string PickFromInterfaceLanguages(const std::vector<std::string>& languages) {
    // The first of the user's languages that the program has wins, as the platform's
    // resource loader picks: an English user with German as a fallback gets English.
    for (const std::string& tag : languages) {
        if (const char* code = KnownLanguage(tag)) return code;
    }
    return "en";
}

std::string ChooseLanguage(std::string_view requested) {
    const char* known = KnownLanguage(requested);
    const std::string language = known != nullptr    ? std::string(known)
                                 : requested.empty() ? PickFromInterfaceLanguages(SystemLanguages())
                                                     : std::string("en");
    State& state = Current();
    state.language = language;
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        const generated::Translation* t =
            language == "en" ? nullptr : Find(language, "StringTable", kTable[i].english, "");
        state.texts[i] = t != nullptr ? t->text : nullptr;
    }
    return language;
}

std::string Caption(std::string_view context, std::string_view source, std::string_view comment) {
    const State& state = Current();
    if (state.language != "en") {
        if (const generated::Translation* t = Find(state.language, context, source, comment)) {
            return t->text;
        }
    }
    return std::string(source);
}

std::string PlainCaption(std::string_view caption) {
    std::string plain;
    plain.reserve(caption.size());
    for (std::size_t i = 0; i < caption.size(); ++i) {
        const char c = caption[i];
        // The Japanese and German style: a marker "(&X)" after the words.
        if (c == '(' && i + 3 < caption.size() && caption[i + 1] == '&' && caption[i + 3] == ')') {
            i += 3;
            continue;
        }
        if (c == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                plain += '&';
                ++i;
            }
            continue;
        }
        plain += (c == '\n' || c == '\t') ? ' ' : c;
    }
    return plain;
}

std::string Format(std::string_view text, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < args.size()) {
                out += *(args.begin() + n);
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

}  // namespace strings
