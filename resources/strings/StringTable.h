// The program's string table, ids 101 to 137, and the window's captions, in English,
// German or Japanese: UTF-8 text, no Qt. The English texts are in StringTable.cpp; the
// translations come from the .ts files (tarvex_strings_<lang>.ts and the window's
// tarvex_window_<lang>.ts), compiled in at build time by ts2cpp.py, so there is no file to
// find at run time.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace strings {

inline constexpr int kFirstId = 101;
inline constexpr int kLastId = 137;

// The text of a string-table id in the current language. A missing or unfinished
// translation gives the English text, so a known id never gives ""; an unknown id gives "".
std::string Text(int id);

// The English text of an id ("" for an unknown one).
std::string_view English(int id);

// Chooses the language: "en", "de" or "ja" (also "de_DE", "ja-JP" and the like); any
// other non-empty request gives English; an empty one picks it from the user's interface
// languages (SystemLanguages). Returns the code chosen, which CurrentLanguage gives from
// then on. Until the first call the language is English.
std::string ChooseLanguage(std::string_view requested = {});

// "en", "de" or "ja".
std::string CurrentLanguage();

// The user's interface languages, most preferred first. Linux: LANGUAGE (a colon-separated
// list, honoured unless the locale is C or POSIX, as gettext does), then the first set of
// LC_ALL, LC_MESSAGES and LANG. Windows: GetUserPreferredUILanguages, else
// GetUserDefaultUILanguage.
std::vector<std::string> SystemLanguages();

// The language for a list of the user's interface languages, most preferred first: the
// first that is English, German or Japanese; English when none is.
std::string PickFromInterfaceLanguages(const std::vector<std::string>& languages);

// A caption of the window (a message of tarvex_window_<lang>.ts) in the current language:
// context "CTarvexDlg", the English source as the .ts file holds it ("F&light Mode") and
// its comment ("menu" for the menus' items). Without a finished translation, the source.
std::string Caption(std::string_view context, std::string_view source,
                    std::string_view comment = {});

// A caption as plain words: mnemonic markers removed ("F&light Mode" -> "Flight Mode",
// "Datei(&F)" -> "Datei", "&&" -> "&"), line breaks and tabs become spaces.
std::string PlainCaption(std::string_view caption);

// Qt-style argument substitution: %1 to %9 replaced by the arguments in order (a marker
// without an argument stays).
std::string Format(std::string_view text, std::initializer_list<std::string_view> args);

template <typename... Args>
std::string Format(std::string_view text, const Args&... args) {
    return Format(text, {std::string_view(args)...});
}

}  // namespace strings
