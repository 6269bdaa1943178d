// The D2XX driver library, loaded at run time and bound by name into a table of
// function pointers. A machine without the driver still starts the program, which then
// reports the missing driver.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "D2xx.h"

struct D2xxDriver {
    // The 35 entry-point slots, in storage order; null while unbound.
#define TARVEX_D2XX_SLOT(name, params) FT_STATUS(TARVEX_D2XX_API* name) params = nullptr;
    TARVEX_D2XX_ENTRY_POINTS(TARVEX_D2XX_SLOT)
#undef TARVEX_D2XX_SLOT

    // The loaded library (dlopen handle or HMODULE); null while not loaded.
    void* libraryHandle = nullptr;
    // The open device; 0 while none is open.
    FT_HANDLE deviceHandle = nullptr;

    // Loads the first library of LibraryCandidates() that loads at all and binds the 35
    // entry points in bind order. True only when the library loaded and every name was
    // found. On failure nothing is undone: the slots bound before the missing name keep
    // their pointers. The library is never unloaded. Never throws.
    bool Load() noexcept;

#ifdef __EMSCRIPTEN__
    // The browser edition has no library to load: Load binds the 35 entry points of this
    // table instead (the linked-in virtual gyro's or the page's port), which the web glue
    // chooses before the dialog starts. Null: Load fails as without a driver.
    static const D2xxDriver* staticTable;
#endif

    // Calls FT_Close with deviceHandle and clears it, when FT_Close is bound; otherwise
    // does nothing. FT_Close's status is not looked at. Never throws.
    void Close() noexcept;

    // The 35 names in the order Load() resolves them.
    static std::span<const char* const> BindOrder() noexcept;

    // The library files Load() tries, in order: TARVEX_D2XX when set (alone; none when it
    // is a relative path, since the driver is never taken from the working folder), else the
    // vendor's library (on Windows found by the system's search folders, never in the
    // working folder), then on Linux the libftdi1 layer installed beside the program. Paths
    // are UTF-8.
    static std::vector<std::string> LibraryCandidates();

    // Why TARVEX_D2XX names no library to load, for the user: "TARVEX_D2XX must be an
    // absolute path: <value>" when it is relative; empty when it is unset, empty or absolute.
    static std::string ChosenLibraryProblem();

    // The virtual gyro's library, which --simulate looks for beside the program.
#ifdef _WIN32
    static constexpr const char* kVirtualGyroFile = "tarvex-vgyro.dll";
#else
    static constexpr const char* kVirtualGyroFile = "libtarvex-vgyro.so";
#endif

    // Where a library installed with the program lives: the program's own folder (the
    // build tree), else ../<libdir>/tarvex beside it (an installed tree). Empty when
    // neither file exists.
    static std::string FindBesideProgram(const std::string& fileName);
};
