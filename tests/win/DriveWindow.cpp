// tarvex-drive.exe: drives a tarvex.exe in another process as a user would, for the
// installer's test of the installed program.
//
//   tarvex-drive.exe <tarvex.exe> <the virtual gyro's log>
//   tarvex-drive.exe --read     (a window already shown: Read, its box answered; for
//                                screenshots of the window with values)
//
// Starts "<tarvex.exe> --simulate --language en" (TARVEX_VGYRO_LOG naming the log, which
// the caller also hands the program through the environment), finds its window, and runs a
// session: Read; a change and Write; the limit procedure with Enter, the Position slider
// and Set twice; closing the window with the new limits unwritten, answered Yes. Each box
// is read and answered; each step prints one line: its name, the boxes' texts and the kinds
// of the command frames that reached the gyro meanwhile (R read, P page, L limit mode on,
// X another), and whether the stream moved the servo. The output is compared by the caller.
// Exit status 0 when the session ran to the end and the program ended with 0.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "win/Utf8.h"

namespace {

DWORD g_process = 0;
HANDLE g_processHandle = nullptr;
std::filesystem::path g_log;
std::size_t g_logLines = 0;

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                        nullptr);
    return text;
}

// A visible dialog-class window of the program: with owner true a box over its window,
// else the window itself.
HWND FindDialog(bool owned) {
    struct Search {
        bool owned;
        HWND found;
    } search{owned, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if ((g_process != 0 && process != g_process) || !IsWindowVisible(window) ||
                ClassOf(window) != L"#32770") {
                return TRUE;
            }
            if ((GetWindow(window, GW_OWNER) != nullptr) != s->owned) return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitFor(bool owned, DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    for (;;) {
        if (HWND found = FindDialog(owned)) return found;
        if (static_cast<LONG>(GetTickCount() - end) > 0) return nullptr;
        if (WaitForSingleObject(g_processHandle, 0) == WAIT_OBJECT_0) return nullptr;
        Sleep(20);
    }
}

// The frames and servo moves logged since the last call.
std::string NewFrames(bool* servoMoved) {
    std::ifstream in(g_log);
    std::string line, kinds;
    std::size_t index = 0;
    while (std::getline(in, line)) {
        if (index++ < g_logLines) continue;
        if (line.rfind("servo", 0) == 0) {
            if (servoMoved != nullptr) *servoMoved = true;
            continue;
        }
        if (line.rfind("command", 0) != 0) continue;
        std::istringstream bytes(line.substr(7));
        std::vector<unsigned> frame;
        unsigned byte = 0;
        while (bytes >> std::hex >> byte) frame.push_back(byte);
        const unsigned flags = frame.size() > 15 ? frame[15] : 0;
        kinds += (flags & 0x04) ? 'R' : (flags & 0x10) ? 'L' : (flags & 0x08) ? 'P' : 'X';
    }
    g_logLines = index;
    return kinds;
}

// The boxes shown until the window is quiet again, each answered: Yes for a question,
// OK otherwise. Their texts, joined by " | ".
std::string AnswerBoxes(DWORD firstWait, DWORD followingWait = 500) {
    std::string texts;
    DWORD wait = firstWait;
    while (HWND box = WaitFor(true, wait)) {
        const std::wstring text = TextOf(GetDlgItem(box, 0xFFFF));
        if (!texts.empty()) texts += " | ";
        texts += tarvex_win::Narrow(text);
        const bool question = GetDlgItem(box, IDYES) != nullptr;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(question ? IDYES : IDOK, BN_CLICKED), 0);
        // Gone before the next one is looked for.
        const DWORD end = GetTickCount() + 5000;
        while (IsWindow(box) && IsWindowVisible(box) &&
               static_cast<LONG>(GetTickCount() - end) < 0) {
            Sleep(10);
        }
        wait = followingWait;  // a further box that follows (the exit check's Write)
    }
    return texts;
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_BLOCK, 10000, nullptr) != 0;
}

// The thumb dragged to position and let go.
bool Drag(HWND dialog, int id, int position) {
    HWND slider = GetDlgItem(dialog, id);
    return IsWindowEnabled(slider) && Send(slider, TBM_SETPOS, TRUE, position) &&
           Send(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                reinterpret_cast<LPARAM>(slider)) &&
           Send(dialog, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
}

// Until the log holds a servo move after the lines already read, at most 5 s.
bool WaitForServoMove() {
    const DWORD end = GetTickCount() + 5000;
    while (static_cast<LONG>(GetTickCount() - end) < 0) {
        std::ifstream in(g_log);
        std::string line;
        for (std::size_t index = 0; std::getline(in, line); ++index) {
            if (index >= g_logLines && line.rfind("servo", 0) == 0) return true;
        }
        Sleep(20);
    }
    return false;
}

void Report(const char* step, const std::string& boxes, bool watchServo = false) {
    bool servo = false;
    const std::string frames = NewFrames(watchServo ? &servo : nullptr);
    std::printf("%s: boxes [%s] frames [%s]%s\n", step, boxes.c_str(), frames.c_str(),
                servo ? " servo moved" : "");
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"--read") {
        // Any process's window: the one the caller started.
        HWND dialog = WaitFor(false, 30000);
        if (dialog == nullptr) return 1;
        PostMessageW(GetDlgItem(dialog, 1059), BM_CLICK, 0, 0);
        const std::string boxes = AnswerBoxes(10000);
        std::printf("Read: boxes [%s]\n", boxes.c_str());
        return boxes.empty() ? 1 : 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarvex-drive.exe <tarvex.exe> <virtual gyro log>\n");
        return 2;
    }
    g_log = argv[2];
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\" --simulate --language en";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "tarvex-drive: cannot start the program (error %lu)\n",
                     GetLastError());
        return 1;
    }
    g_process = process.dwProcessId;
    g_processHandle = process.hProcess;
    auto fail = [&](const char* why) {
        std::printf("FAILED: %s\n", why);
        TerminateProcess(process.hProcess, 99);
        return 1;
    };

    HWND dialog = WaitFor(false, 60000);
    if (dialog == nullptr) return fail("no window");
    std::printf("window: %s\n", tarvex_win::Narrow(TextOf(dialog)).c_str());
    NewFrames(nullptr);

    // Read.
    PostMessageW(GetDlgItem(dialog, 1059), BM_CLICK, 0, 0);
    Report("Read", AnswerBoxes(10000));

    // A change (D damp.), then Write.
    const int damping = static_cast<int>(SendMessageW(GetDlgItem(dialog, 1048), TBM_GETPOS, 0, 0));
    if (!Drag(dialog, 1048, damping == 60 ? 70 : 60)) return fail("D damp. did not move");
    PostMessageW(GetDlgItem(dialog, 1060), BM_CLICK, 0, 0);
    Report("Write", AnswerBoxes(10000));

    // The limit procedure: Enter, a point on each side, Set after each.
    if (!Send(GetDlgItem(dialog, 1051), BM_CLICK, 0, 0)) return fail("Enter did not answer");
    const std::string first = tarvex_win::Narrow(TextOf(GetDlgItem(dialog, 1061)));
    if (!Drag(dialog, 1058, 1600)) return fail("Position is grayed after Enter");
    // The stream carries the position to the servo while the user holds it there.
    if (!WaitForServoMove()) return fail("the servo did not move");
    if (!Send(GetDlgItem(dialog, 1052), BM_CLICK, 0, 0)) return fail("Set did not answer");
    const std::string second = tarvex_win::Narrow(TextOf(GetDlgItem(dialog, 1061)));
    if (!Drag(dialog, 1058, 500)) return fail("Position is grayed after the first point");
    if (!Send(GetDlgItem(dialog, 1052), BM_CLICK, 0, 0)) return fail("Set did not answer");
    const std::string done = tarvex_win::Narrow(TextOf(GetDlgItem(dialog, 1061)));
    std::printf("limits: status [%s] [%s] [%s] high %s low %s\n", first.c_str(), second.c_str(),
                done.c_str(), tarvex_win::Narrow(TextOf(GetDlgItem(dialog, 1054))).c_str(),
                tarvex_win::Narrow(TextOf(GetDlgItem(dialog, 1056))).c_str());
    Report("Limits", AnswerBoxes(500), true);

    // Closing with the limits unwritten: the check asks, Yes writes.
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    Report("Close", AnswerBoxes(10000, 10000));

    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
        return fail("the program did not end");
    }
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    std::printf("exit: %lu\n", status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status == 0 ? 0 : 1;
}
