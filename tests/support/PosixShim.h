// The few POSIX calls the tests use to set the environment, load a library and make a
// scratch folder, spelled the POSIX way on both platforms: on Windows they are built here
// over the wide Windows calls, with every string taken as UTF-8, so that a test can use a
// path outside the ANSI code page.
#pragma once

#include <filesystem>
#include <string>

// The core takes paths as UTF-8 text on both platforms; a test converts at its side.
inline std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
inline std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

#ifndef _WIN32
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>
#else
#include <direct.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace posixshim {

inline std::wstring Wide(const char* utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), length);
    wide.pop_back();  // the terminating null
    return wide;
}

inline std::string& LastError() {
    static std::string text;
    return text;
}

}  // namespace posixshim

// The C run-time's copy and the process's own both change, and wide: _wgetenv and
// GetEnvironmentVariableW then read back the characters as given.
inline int setenv(const char* name, const char* value, int overwrite) {
    const std::wstring wideName = posixshim::Wide(name);
    if (overwrite == 0 && _wgetenv(wideName.c_str()) != nullptr) return 0;
    const std::wstring wideValue = posixshim::Wide(value);
    SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str());
    return _wputenv_s(wideName.c_str(), wideValue.c_str()) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
    const std::wstring wideName = posixshim::Wide(name);
    SetEnvironmentVariableW(wideName.c_str(), nullptr);
    return _wputenv_s(wideName.c_str(), L"") == 0 ? 0 : -1;
}

// Replaces the trailing XXXXXX with random letters and creates that folder.
inline char* mkdtemp(char* pattern) {
    const std::size_t length = std::strlen(pattern);
    if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return nullptr;
    }
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = length - 6; i < length; ++i)
            pattern[i] = kLetters[random() % (sizeof kLetters - 1)];
        if (_wmkdir(posixshim::Wide(pattern).c_str()) == 0) return pattern;
        if (errno != EEXIST) return nullptr;
    }
    return nullptr;
}

#define RTLD_NOW 2
#define RTLD_LOCAL 0
#define RTLD_NOLOAD 4

// RTLD_NOLOAD: only a library already loaded, as GetModuleHandleW finds it.
inline void* dlopen(const char* file, int flags) {
    const std::wstring wide = posixshim::Wide(file);
    HMODULE module =
        (flags & RTLD_NOLOAD) != 0 ? GetModuleHandleW(wide.c_str()) : LoadLibraryW(wide.c_str());
    if (module == nullptr)
        posixshim::LastError() =
            std::string("cannot load ") + file + ", error " + std::to_string(GetLastError());
    return module;
}

inline void* dlsym(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

inline const char* dlerror() {
    return posixshim::LastError().c_str();
}
#endif

// A new empty folder under the system's temporary folder, named prefix-XXXXXX; empty when
// none can be made.
inline std::filesystem::path MakeScratchFolder(const char* prefix) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
}
