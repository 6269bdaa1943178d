// Paths as the window shows them, from the UTF-8 path text the layer keeps.
#pragma once

#include <string>

namespace pathtext {

// The last component of path: what follows the last separator ('/', and '\\' on Windows).
inline std::string FileName(const std::string& path) {
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\");
#else
    const std::size_t slash = path.find_last_of('/');
#endif
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path with the platform's separators, for display.
inline std::string NativeSeparators(std::string path) {
#ifdef _WIN32
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return path;
}

}  // namespace pathtext
