// What tarvex.exe says before its window exists reaches the user however it was started: on
// the console or pipe that started it, or, started from Explorer or the Start menu with no
// console at all, in a box captioned "Tarvex". The real program runs in another process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/Process.h"
#include "win/Utf8.h"

namespace {

std::wstring Folder(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L"\\/"));
}

// tarvex.exe beside this test program, as the build places them.
std::wstring Program() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return Folder(self) + L"\\tarvex.exe";
}

std::wstring Text(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

struct Box {
    bool shown = false;
    std::wstring caption;
    std::wstring text;
};

struct Outcome {
    int status = -1;  // -1: it did not start or did not end
    Box box;
};

// The top-level dialog box of process, if it shows one.
HWND BoxOf(DWORD process) {
    struct Search {
        DWORD process;
        HWND found;
    } search{process, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t kind[16] = {};
            GetClassNameW(window, kind, 16);
            if (owner != s->process || std::wstring(kind) != L"#32770") return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// tarvex.exe started as Explorer starts it: no console to attach to and no standard handles.
// A box it shows is read and answered with OK.
Outcome StartWithoutConsole(const std::wstring& program, const std::wstring& arguments) {
    Outcome outcome;
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                        nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << "tarvex.exe did not start (error " << GetLastError() << ")";
        return outcome;
    }
    const DWORD end = GetTickCount() + 15000;
    while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
        if (static_cast<LONG>(GetTickCount() - end) > 0) {
            ADD_FAILURE() << "tarvex.exe did not end";
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, INFINITE);
            break;
        }
        // Read once shown: its texts are in place by then.
        HWND box = BoxOf(process.dwProcessId);
        if (box == nullptr || !IsWindowVisible(box) || outcome.box.shown) continue;
        outcome.box.shown = true;
        outcome.box.caption = Text(box);
        outcome.box.text = Text(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code) && code != 99) {
        outcome.status = static_cast<int>(code);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return outcome;
}

struct Case {
    const char* name;
    const wchar_t* arguments;
    bool alone;  // tarvex.exe copied to a folder of its own, without the virtual gyro
    int status;
    const char* text;  // on the console's standard error, or standard output for status 0
    bool error;
};

const Case kCases[] = {
    {"unknown option", L"--bogus", false, 2,
     "tarvex: unknown option '--bogus'\nUsage: tarvex [options] [file]\nTry 'tarvex --help'.\n",
     true},
    {"no virtual gyro beside the program", L"--simulate", true, 2,
     "tarvex: the virtual gyro (tarvex-vgyro.dll) is not installed beside the program\n", true},
    {"version", L"--version", false, 0, "Tarvex ", false},
};

// The program to run for a case: the built one, or a copy alone in a scratch folder.
std::wstring ProgramFor(const Case& c) {
    if (!c.alone) return Program();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder =
        std::wstring(temp) + L"tarvex-alone-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\tarvex.exe";
    EXPECT_TRUE(CopyFileW(Program().c_str(), copy.c_str(), FALSE)) << GetLastError();
    return copy;
}

void RemoveCopy(const Case& c, const std::wstring& program) {
    if (!c.alone) return;
    DeleteFileW(program.c_str());
    RemoveDirectoryW(Folder(program).c_str());
}

}  // namespace

// Started from a console or with its output redirected: the text goes there and no box
// waits for an answer.
TEST(WindowStartup, TextOnTheConsoleWhenThereIsOne) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::wstring program = ProgramFor(c);
        const testprocess::Result result =
            testprocess::Run(tarvex_win::Narrow(program), {tarvex_win::Narrow(c.arguments)}, {});
        EXPECT_EQ(result.status, c.status);
        const std::string& shown = c.error ? result.err : result.out;
        if (c.status == 0) {
            EXPECT_EQ(shown.rfind(c.text, 0), 0u) << shown;
        } else {
            EXPECT_EQ(shown, c.text);
        }
        EXPECT_EQ(c.error ? result.out : result.err, "");
        RemoveCopy(c, program);
    }
}

// Started with no console: the same text in a box captioned "Tarvex"; the exit status as
// from a console.
TEST(WindowStartup, TextInABoxWithoutAConsole) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::wstring program = ProgramFor(c);
        const Outcome outcome = StartWithoutConsole(program, c.arguments);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_TRUE(outcome.box.shown);
        EXPECT_EQ(outcome.box.caption, L"Tarvex");
        std::wstring expected = tarvex_win::Widen(c.text);
        expected.pop_back();  // the console's line end
        if (c.status == 0) {
            EXPECT_EQ(outcome.box.text.rfind(tarvex_win::Widen(c.text), 0), 0u);
        } else {
            EXPECT_EQ(outcome.box.text, expected);
        }
        RemoveCopy(c, program);
    }
}
