// tarvex-cli's text out and its arguments in, UTF-8 inside the program. On Linux the
// bytes go out as they are. On Windows a console gets the text wide (WriteConsoleW), so
// German and Japanese show whatever the console's code page; a file or pipe gets UTF-8.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Writes text to stdout or stderr as it stands, and flushes.
void Write(std::FILE* stream, std::string_view text);

// The program's arguments in UTF-8, the program name first (on Windows taken from the
// wide command line, so that any file name survives).
std::vector<std::string> Arguments(int argc, char** argv);

// Sets an environment variable to a UTF-8 value (on Windows, wide).
void SetEnvironment(const char* name, const std::string& value);

}  // namespace cli
