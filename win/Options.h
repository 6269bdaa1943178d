// tarvex.exe's command line: the options of the Linux program, read from the wide command
// line, and the console they answer on.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "win/Language.h"

namespace tarvex_win {

struct Options {
    bool simulate = false;
    std::wstring driver;               // --driver: the D2XX library to load
    std::string adapter;               // --adapter: the serial number, UTF-8
    std::optional<Language> language;  // --language; nothing: the user's language
    std::wstring file;                 // a settings file to open at start, absolute
};

// What ParseOptions decided.
struct ParseResult {
    bool run = false;  // false: end with exitCode after printing output or error
    int exitCode = 0;
    std::wstring output;  // for standard output (--help, --version)
    std::wstring error;   // for standard error, one line or more
};

// arguments without the program's name.
ParseResult ParseOptions(const std::vector<std::wstring>& arguments, Options& options);

// Writes text to the console or file that started the program: its standard handle when
// it has one (a pipe or file), else the console of the parent process (a GUI program has
// none of its own). False when there is neither (started from Explorer or the Start menu).
bool WriteToParentConsole(const std::wstring& text, bool error);

// What the program says before its window exists (an option's mistake, --help, a missing
// virtual gyro): on the console or file that started it, else in a box captioned "Tarvex"
// (an error's icon when error is true, an information icon otherwise).
void TellAtStart(const std::wstring& text, bool error);

std::wstring HelpText();

}  // namespace tarvex_win
