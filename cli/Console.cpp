#include "cli/Console.h"

#include <cstdlib>

#ifdef _WIN32
// windows.h before shellapi.h, which needs its macros.
// clang-format off
#include <windows.h>
#include <io.h>
#include <shellapi.h>
// clang-format on

#include "link/WidePath.h"
#endif

namespace cli {

void Write(std::FILE* stream, std::string_view text) {
#ifdef _WIN32
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        const std::wstring wide = widepath::Wide(std::string(text));
        DWORD written = 0;
        if (wide.empty() == text.empty() &&
            WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written,
                          nullptr)) {
            return;
        }
    }
    // A file or a pipe: UTF-8 bytes, no "\r" added.
    _setmode(_fileno(stream), 0x8000 /* _O_BINARY */);
#endif
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
#ifdef _WIN32
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) arguments.push_back(widepath::Utf8(wide[i]));
        LocalFree(wide);
        return arguments;
    }
#endif
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    const std::wstring wideName = widepath::Wide(name);
    const std::wstring wideValue = widepath::Wide(value);
    SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str());
    _wputenv_s(wideName.c_str(), wideValue.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

}  // namespace cli
