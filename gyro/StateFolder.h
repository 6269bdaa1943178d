// The one folder where Tarvex keeps what it saves of its own accord: the backups taken
// before every Write, and the virtual gyro's settings. Header-only, so the virtual gyro
// shares it without linking the gyro library.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// $XDG_STATE_HOME/tarvex (an absolute XDG_STATE_HOME only; a relative one is invalid and
// ignored), else ~/.local/state/tarvex; on Windows, without XDG_STATE_HOME,
// %LOCALAPPDATA%\tarvex. Empty when there is no such base folder.
inline std::filesystem::path TarvexStateFolder() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_STATE_HOME");
        xdg && *xdg && std::filesystem::path(xdg).is_absolute()) {
        base = xdg;
#ifdef _WIN32
    } else if (const char* local = std::getenv("LOCALAPPDATA"); local && *local) {
        base = local;
#else
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::filesystem::path(home) / ".local" / "state";
#endif
    } else {
        return {};
    }
    return base / "tarvex";
}
