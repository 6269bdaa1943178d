// Shared by the adapter link's tests: a scratch folder, the stand-in library's call log,
// and a view of the driver's entry-point slots.
#pragma once

#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "link/TBX3.h"
#include "tests/support/PosixShim.h"

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
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarvex-link-XXXXXX").string();
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

// Runs program with one argument in a process of its own and waits for it: its exit
// status, or -1 when it did not run or did not end normally.
inline int RunProgram(const std::string& program, const std::string& argument) {
#ifdef _WIN32
    const std::wstring file = posixshim::Wide(program.c_str());
    const std::wstring option = posixshim::Wide(argument.c_str());
    const wchar_t* arguments[] = {file.c_str(), option.c_str(), nullptr};
    return static_cast<int>(_wspawnv(_P_WAIT, file.c_str(), arguments));
#else
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        execl(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
#endif
}

// Runs the rest of the scope in another working folder.
class WorkingFolder {
  public:
    explicit WorkingFolder(const std::filesystem::path& folder)
        : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~WorkingFolder() { std::filesystem::current_path(previous_); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

  private:
    std::filesystem::path previous_;
};

inline std::vector<std::string> ReadLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace linktest
