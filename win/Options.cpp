#include "win/Options.h"

#include <windows.h>

#include "win/Utf8.h"

#ifndef TARVEX_VERSION
#define TARVEX_VERSION "0.0.0"
#endif

namespace tarvex_win {

namespace {

ParseResult Fail(const std::wstring& message) {
    ParseResult result;
    result.exitCode = 2;
    result.error =
        L"tarvex: " + message + L"\nUsage: tarvex [options] [file]\nTry 'tarvex --help'.\n";
    return result;
}

}  // namespace

std::wstring HelpText() {
    return L"Usage: tarvex [options] [file]\n"
           L"Configuration tool for the KR640 tail-rotor gyro and the TBX-3 adapter.\n"
           L"\n"
           L"Options:\n"
           L"  -h, --help             Displays help on commandline options.\n"
           L"  -v, --version          Displays version information.\n"
           L"  --simulate             Work with the virtual gyro installed with the program\n"
           L"                         instead of a TBX-3 adapter.\n"
           L"  --driver <path>        Load the D2XX driver library from <path> (a relative\n"
           L"                         path is taken from the working folder).\n"
           L"  --language <language>  Show the window and the messages in <language>: en, de\n"
           L"                         or ja. Default: the user's interface language.\n"
           L"  --adapter <serial>     Open the TBX-3 adapter with serial number <serial>\n"
           L"                         instead of the first one (tarvex-cli list shows them).\n"
           L"\n"
           L"Arguments:\n"
           L"  [file]                 A settings file (.tcf) to open at start, as File > Open\n"
           L"                         does.\n";
}

ParseResult ParseOptions(const std::vector<std::wstring>& arguments, Options& options) {
    std::vector<std::wstring> files;
    bool afterOptions = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::wstring argument = arguments[i];
        if (afterOptions || argument.empty() || argument[0] != L'-' || argument == L"-") {
            // Options come before the file; anything after it counts as a second file.
            files.push_back(argument);
            afterOptions = true;
            continue;
        }
        if (argument == L"--") {
            afterOptions = true;
            continue;
        }
        std::wstring value;
        bool hasValue = false;
        if (const size_t equals = argument.find(L'='); equals != std::wstring::npos) {
            value = argument.substr(equals + 1);
            argument.resize(equals);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= arguments.size()) return false;
            value = arguments[++i];
            return true;
        };
        if (argument == L"-h" || argument == L"--help" || argument == L"/?") {
            ParseResult result;
            result.output = HelpText();
            return result;
        }
        if (argument == L"-v" || argument == L"--version") {
            ParseResult result;
            result.output = L"Tarvex " + Widen(TARVEX_VERSION) + L"\n";
            return result;
        }
        if (argument == L"--simulate" && !hasValue) {
            options.simulate = true;
        } else if (argument == L"--driver") {
            if (!takeValue() || value.empty()) return Fail(L"--driver needs the path of a library");
            options.driver = value;
        } else if (argument == L"--adapter") {
            if (!takeValue()) return Fail(L"missing value after '--adapter'");
            options.adapter = Narrow(value);
            if (options.adapter.empty() || options.adapter.size() > 63) {
                return Fail(L"--adapter needs a serial number of 1 to 63 bytes");
            }
        } else if (argument == L"--language") {
            if (!takeValue()) return Fail(L"missing value after '--language'");
            options.language = ParseLanguage(value);
            if (!options.language) return Fail(L"unknown language '" + value + L"' (en, de or ja)");
        } else {
            return Fail(L"unknown option '" + arguments[i] + L"'");
        }
    }
    if (files.size() > 1) return Fail(L"unexpected argument '" + files[1] + L"'");
    if (options.simulate && !options.driver.empty()) {
        return Fail(L"--simulate and --driver cannot be used together");
    }
    if (!files.empty()) {
        const DWORD size = GetFullPathNameW(files[0].c_str(), 0, nullptr, nullptr);
        std::wstring full(size, L'\0');
        const DWORD length = GetFullPathNameW(files[0].c_str(), size, full.data(), nullptr);
        full.resize(length);
        options.file = length != 0 ? full : files[0];
    }
    ParseResult result;
    result.run = true;
    return result;
}

bool WriteToParentConsole(const std::wstring& text, bool error) {
    if (text.empty()) return true;
    HANDLE handle = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    bool ownHandle = false;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        // A GUI program has no standard handles of its own when started from a console.
        // Attached once, the console stays for the rest of the process.
        if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED) {
            return false;
        }
        handle =
            CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        ownHandle = true;
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        const std::string bytes = Narrow(text);
        WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    if (ownHandle) CloseHandle(handle);
    return true;
}

void TellAtStart(const std::wstring& text, bool error) {
    if (text.empty() || WriteToParentConsole(text, error)) return;
    // Nobody reads a console: the same text in a box, without the line end a console needs.
    std::wstring shown = text;
    while (!shown.empty() && shown.back() == L'\n') shown.pop_back();
    MessageBoxW(nullptr, shown.c_str(), L"Tarvex",
                MB_OK | MB_SETFOREGROUND | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}

}  // namespace tarvex_win
