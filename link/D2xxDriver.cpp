#include "link/D2xxDriver.h"

#include <array>
#include <cstddef>
#include <cstdlib>
#include <string_view>
#include <utility>

#ifdef _WIN32
#include <windows.h>

#include "link/WidePath.h"
#else
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef TARVEX_LIBDIR_FROM_BINDIR
#define TARVEX_LIBDIR_FROM_BINDIR "../lib/tarvex"
#endif

namespace {

#ifdef _WIN32
using Symbol = FARPROC;
#else
using Symbol = void*;
#endif

constexpr std::size_t kEntryPointCount = 35;

// One entry point: its exported name and how a looked-up address is stored in its slot.
struct EntryPoint {
    const char* name;
    void (*store)(D2xxDriver& driver, Symbol address) noexcept;
};

// Any function pointer converts to and from this one without a warning: the looked-up
// address (FARPROC, itself a typed function pointer, or dlsym's void*) goes through it
// once, here, into the typed slot.
using AnyFunction = void (*)();

// The entry points in storage order, as the X-macro lists them.
#define TARVEX_D2XX_ENTRY(name, params)                                   \
    EntryPoint{#name, [](D2xxDriver& driver, Symbol address) noexcept {   \
                   driver.name = reinterpret_cast<decltype(driver.name)>( \
                       reinterpret_cast<AnyFunction>(address));           \
               }},
constexpr std::array<EntryPoint, kEntryPointCount> kStorageOrder{
    TARVEX_D2XX_ENTRY_POINTS(TARVEX_D2XX_ENTRY)};
#undef TARVEX_D2XX_ENTRY

// Storage positions (0-based) in the order the names are looked up: FT_Write, FT_Read,
// FT_Open, FT_OpenEx, FT_ListDevices, FT_Close, then the rest as stored.
constexpr std::array<std::size_t, kEntryPointCount> kBindPositions = [] {
    std::array<std::size_t, kEntryPointCount> positions{5, 4, 0, 1, 2, 3};
    for (std::size_t i = 6; i < kEntryPointCount; ++i) positions[i] = i;
    return positions;
}();

constexpr std::array<EntryPoint, kEntryPointCount> kBindOrder = [] {
    std::array<EntryPoint, kEntryPointCount> order{};
    for (std::size_t i = 0; i < kEntryPointCount; ++i) order[i] = kStorageOrder[kBindPositions[i]];
    return order;
}();

constexpr std::array<const char*, kEntryPointCount> kBindNames = [] {
    std::array<const char*, kEntryPointCount> names{};
    for (std::size_t i = 0; i < kEntryPointCount; ++i) names[i] = kBindOrder[i].name;
    return names;
}();

static_assert(std::string_view(kBindNames[0]) == "FT_Write");
static_assert(std::string_view(kBindNames[5]) == "FT_Close");
static_assert(std::string_view(kBindNames[7]) == "FT_Purge");
static_assert(std::string_view(kBindNames[34]) == "FT_GetLibraryVersion");

#ifndef __EMSCRIPTEN__
void* OpenLibrary(const std::string& file) noexcept {
#ifdef _WIN32
    std::wstring wide;
    try {
        wide = widepath::Wide(file);
    } catch (...) {
        return nullptr;
    }
    if (wide.empty()) return nullptr;
    // Only the system's search folders (the program's own, System32, those the program
    // added): a DLL planted in the working folder is never loaded. A full path loads that
    // file, and its own dependencies are looked for beside it as well.
    DWORD flags = LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
    if (widepath::IsFull(wide)) flags |= LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR;
    // A library that fails to load says so by the null handle, never by a dialog.
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    HMODULE module = LoadLibraryExW(wide.c_str(), nullptr, flags);
    SetThreadErrorMode(previousMode, nullptr);
    return module;
#else
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

Symbol LookUp(void* library, const char* name) noexcept {
#ifdef _WIN32
    return GetProcAddress(static_cast<HMODULE>(library), name);
#else
    return dlsym(library, name);
#endif
}
#endif

#ifdef _WIN32
bool IsRegularFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(widepath::Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// TARVEX_D2XX in UTF-8, read wide: the ANSI copy of the environment would lose every
// character outside the ANSI code page.
std::string ChosenLibrary() {
    const wchar_t* value = _wgetenv(L"TARVEX_D2XX");
    return value == nullptr ? std::string() : widepath::Utf8(value);
}

// A drive's root, a UNC path, or a path from the current drive's root ("\\dir", "/dir", as
// Wine's programs are given Unix paths): none of them depends on the working folder.
bool IsAbsolute(const std::string& path) {
    return path.front() == '/' || path.front() == '\\' || widepath::IsFull(widepath::Wide(path));
}
#else
bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ChosenLibrary() {
    const char* value = std::getenv("TARVEX_D2XX");
    return value == nullptr ? std::string() : std::string(value);
}

bool IsAbsolute(const std::string& path) {
    return path.front() == '/';
}
#endif

}  // namespace

#ifdef __EMSCRIPTEN__
const D2xxDriver* D2xxDriver::staticTable = nullptr;

bool D2xxDriver::Load() noexcept {
    if (staticTable == nullptr) return false;
    libraryHandle = const_cast<D2xxDriver*>(staticTable);
#define TARVEX_D2XX_COPY(name, params) name = staticTable->name;
    TARVEX_D2XX_ENTRY_POINTS(TARVEX_D2XX_COPY)
#undef TARVEX_D2XX_COPY
#define TARVEX_D2XX_BOUND(name, params) &&name != nullptr
    return true TARVEX_D2XX_ENTRY_POINTS(TARVEX_D2XX_BOUND);
#undef TARVEX_D2XX_BOUND
}
#else
bool D2xxDriver::Load() noexcept {
    try {
        for (const std::string& candidate : LibraryCandidates()) {
            libraryHandle = OpenLibrary(candidate);
            if (libraryHandle != nullptr) break;
        }
    } catch (...) {
        // Only running out of memory while listing the candidates gets here.
        return false;
    }
    if (libraryHandle == nullptr) return false;

    for (const EntryPoint& entry : kBindOrder) {
        const Symbol address = LookUp(libraryHandle, entry.name);
        entry.store(*this, address);
        if (address == nullptr) return false;
    }
    return true;
}
#endif

void D2xxDriver::Close() noexcept {
    if (FT_Close == nullptr) return;
    FT_Close(deviceHandle);
    deviceHandle = nullptr;
}

std::span<const char* const> D2xxDriver::BindOrder() noexcept {
    return kBindNames;
}

std::string D2xxDriver::ChosenLibraryProblem() {
    const std::string chosen = ChosenLibrary();
    if (chosen.empty() || IsAbsolute(chosen)) return {};
    return "TARVEX_D2XX must be an absolute path: " + chosen;
}

std::vector<std::string> D2xxDriver::LibraryCandidates() {
    // TARVEX_D2XX names the one library to use (an empty value counts as unset). A relative
    // path would be taken from the working folder (or, without a slash, from the system's
    // library search): it names nothing to load.
    if (const std::string chosen = ChosenLibrary(); !chosen.empty()) {
        if (!IsAbsolute(chosen)) return {};
        return {chosen};
    }
#ifdef _WIN32
    return {"Ftd2xx.dll"};
#else
    std::vector<std::string> candidates{"libftd2xx.so"};
    if (std::string layer = FindBesideProgram("libtarvex-ftdi.so"); !layer.empty())
        candidates.push_back(std::move(layer));
    return candidates;
#endif
}

std::string D2xxDriver::FindBesideProgram(const std::string& fileName) {
#ifdef _WIN32
    const std::string program = widepath::Utf8(widepath::ProgramFile());
    const std::size_t slash = program.find_last_of("\\/");
#else
    std::string program(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", program.data(), program.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= program.size()) return {};
    program.resize(static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
#endif
    if (slash == std::string::npos) return {};
    const std::string folder = program.substr(0, slash + 1);

    for (const std::string& path :
         {folder + fileName, folder + TARVEX_LIBDIR_FROM_BINDIR + "/" + fileName}) {
        if (IsRegularFile(path)) return path;
    }
    return {};
}
