// Shared by the adapter link's tests: a scratch folder, the stand-in library's call log,
// and a view of the driver's entry-point slots.
#pragma once

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "link/TBX3.h"

namespace linktest {

// The slots of a driver in storage order, each with its name and the address it holds.
inline std::vector<std::pair<std::string, void*>> Slots(const D2xxDriver& driver) {
    std::vector<std::pair<std::string, void*>> slots;
#define LINKTEST_SLOT(name, params) slots.emplace_back(#name, reinterpret_cast<void*>(driver.name));
    TARVEX_D2XX_ENTRY_POINTS(LINKTEST_SLOT)
#undef LINKTEST_SLOT
    return slots;
}

// A fresh folder per test, removed afterwards; the stand-in library logs into it.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarvex-link-XXXXXX");
        path_ = mkdtemp(pattern.data());
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline std::vector<std::string> ReadLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace linktest
