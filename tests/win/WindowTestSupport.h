// Helpers for tests of tarvex.exe's window: the dialog created hidden in the test's own
// process (on Wine's display driver without a display, or any display), every event it
// dispatches recorded, and user actions sent as the controls would send them.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win/Utf8.h"
#include "win/Win32Controls.h"
#include "win/Win32Window.h"
// After the window's headers: the behaviour's test support (the virtual gyro, its frame
// kinds, scratch folders, the recording pause) takes <windows.h>'s LoadString back too.
#include "tests/dialog/DialogTestSupport.h"

namespace tarvex_win_test {

// The dialog of one language, hidden, with a dispatch function that records every event
// and handles all of them (so nothing ends the window behind the test's back).
class HiddenWindow {
  public:
    explicit HiddenWindow(tarvex_win::Language language)
        : host_(GetModuleHandleW(nullptr), language) {
        static const bool registered = [] {
            INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0xFF};
            return InitCommonControlsEx(&controls) != FALSE;
        }();
        (void)registered;
        host_.SetDispatch([this](const tarvex_win::WindowEvent& event) {
            events_.push_back(event);
            return true;
        });
        window_ = host_.Create(false);
    }

    // Null when the dialog could not be created; Reason() says why.
    HWND Window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    tarvex_win::Win32DialogHost& Host() { return host_; }
    std::vector<tarvex_win::WindowEvent>& Events() { return events_; }

    static std::string Reason() {
        return "the window could not be created (error " + std::to_string(GetLastError()) +
               "); a Wine prefix needs a display or the null display driver "
               "(scripts/wine-prefix.sh)";
    }

  private:
    tarvex_win::Win32DialogHost host_;
    HWND window_ = nullptr;
    std::vector<tarvex_win::WindowEvent> events_;
};

inline std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

inline std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

inline std::wstring MenuText(HMENU menu, UINT item, UINT byFlag) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, item, text, 256, byFlag);
    return text;
}

// Runs the messages posted so far (the dialog manager posts some of its commands).
inline void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// A click as the user makes it: only on an enabled control that is not hidden (Wine runs BM_CLICK
// on a disabled button, which no user could click).
inline bool UserClick(HWND control) {
    if (control == nullptr || !IsWindowEnabled(control) ||
        (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) == 0) {
        return false;
    }
    SendMessageW(control, BM_CLICK, 0, 0);
    return true;
}

// ---- The window with its behaviour --------------------------------------------------------

// The message boxes and file choosers answered by the test: answers from the front of a
// queue (an empty one: OK, and No for a Yes/No box); every box shown is kept.
struct TestServices final : tarvex_win::WindowServices {
    struct Shown {
        int id = 0;
        std::wstring text;
        MessageIcon icon = MessageIcon::Stop;
        MessageButtons buttons = MessageButtons::Ok;
    };
    std::vector<Shown> shown;
    std::deque<MessageAnswer> answers;
    std::deque<std::optional<std::wstring>> openChoices, saveChoices;
    std::wstring openFolder;  // where the last Open started

    MessageAnswer ShowMessage(HWND, int id, const std::wstring& text, MessageIcon icon,
                              MessageButtons buttons) override {
        shown.push_back({id, text, icon, buttons});
        if (answers.empty()) {
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
        }
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<std::wstring> ChooseOpenFile(HWND, const std::wstring& folder) override {
        openFolder = folder;
        return Take(openChoices);
    }
    std::optional<std::wstring> ChooseSaveAsFile(HWND) override { return Take(saveChoices); }
    std::vector<int> Ids() const {
        std::vector<int> ids;
        for (const Shown& s : shown) ids.push_back(s.id);
        return ids;
    }

  private:
    static std::optional<std::wstring> Take(std::deque<std::optional<std::wstring>>& queue) {
        if (queue.empty()) return std::nullopt;
        std::optional<std::wstring> choice = queue.front();
        queue.pop_front();
        return choice;
    }
};

// The test process's own registry key for the recent list, emptied before and after (test
// processes run side by side in one prefix).
inline const std::wstring& TestRegistryKey() {
    static const std::wstring key =
        L"Software\\Tarvex window tests\\" + std::to_wstring(GetCurrentProcessId());
    return key;
}

// tarvex.exe's window as the program builds it (Win32Window over the host, CTarvexDlg
// behind it), hidden, connected to a fresh virtual gyro in this process, with the boxes
// answered by TestServices, waits recorded instead of slept, backups in a scratch state
// folder and every handler that runs recorded.
class BehaviourWindow {
  public:
    TestServices services;
    RecordingPause pause;
    TBX3 adapter;
    tarvex_win::Win32DialogHost host;
    std::unique_ptr<tarvex_win::Win32Window> window;
    std::vector<tarvex_win::Handler> handlers;

    // driver: another D2XX library for the adapter than the virtual gyro (a missing one, say).
    explicit BehaviourWindow(tarvex_win::Language language = tarvex_win::Language::English,
                             const char* driver = nullptr)
        : host(GetModuleHandleW(nullptr), language) {
        static const bool registered = [] {
            INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0xFF};
            return InitCommonControlsEx(&controls) != FALSE;
        }();
        (void)registered;
        dialogtest::ScratchStateFolder();
        VirtualGyro::Fresh();
        if (driver != nullptr) ::setenv("TARVEX_D2XX", driver, 1);
        RegDeleteTreeW(HKEY_CURRENT_USER, TestRegistryKey().c_str());
        window =
            std::make_unique<tarvex_win::Win32Window>(host, adapter, services, TestRegistryKey());
        window->SetHandlerObserver([this](tarvex_win::Handler h) { handlers.push_back(h); });
        dialog_ = host.Create(false);
        pause.clear();
    }
    ~BehaviourWindow() {
        window.reset();
        dialogtest::Gyro::setFaults("");
        RegDeleteTreeW(HKEY_CURRENT_USER, TestRegistryKey().c_str());
        // The common parent goes with the last process's key.
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tarvex window tests");
    }
    BehaviourWindow(const BehaviourWindow&) = delete;
    BehaviourWindow& operator=(const BehaviourWindow&) = delete;

    // Null when the window could not be created or ended while it initialised.
    HWND Dialog() const { return dialog_; }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    CTarvexDlg& dlg() { return window->Dialog(); }
    static dialogtest::Gyro gyro() { return {}; }
    std::string Text(int id) const { return window->GetText(id); }
    bool Open() const { return IsWindow(dialog_) != FALSE && !host.Ended(); }

    // ---- The user's hand -------------------------------------------------------------------
    bool Click(int id) { return UserClick(Item(id)); }
    // A list's item chosen: the list selects it and tells its dialog.
    void Choose(int id, int index) {
        SendMessageW(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Item(id)));
    }
    // The thumb dragged to position and let go, as the trackbar reports it: the track, the
    // let-go position and the end of the movement.
    void Drag(int id, int position) {
        HWND slider = Item(id);
        if (!IsWindowEnabled(slider)) return;
        SendMessageW(slider, TBM_SETPOS, TRUE, position);
        SendMessageW(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                     reinterpret_cast<LPARAM>(slider));
        SendMessageW(dialog_, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
                     reinterpret_cast<LPARAM>(slider));
    }
    // The Right arrow pressed and released on the focused trackbar: it moves itself.
    void KeyRight(int id) {
        HWND slider = Item(id);
        SendMessageW(slider, WM_KEYDOWN, VK_RIGHT, 0x00000001);
        SendMessageW(slider, WM_KEYUP, VK_RIGHT, 0xC0000001);
    }
    // A menu command as the menu sends it.
    void Command(int id) { SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // Files dropped on the window (a WM_DROPFILES with the shell's drop block).
    void Drop(const std::vector<std::wstring>& paths) {
        std::wstring list;
        for (const std::wstring& path : paths) list += path + L'\0';
        list += L'\0';
        const SIZE_T bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GHND, bytes);
        auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::copy(list.begin(), list.end(),
                  reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES)));
        GlobalUnlock(memory);
        SendMessageW(dialog_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    }
    // Runs the window's messages (the calls posted to it among them) until cond holds or
    // 5 s passed.
    template <class Cond>
    bool PumpUntil(Cond cond) {
        const DWORD end = GetTickCount() + 5000;
        while (!cond()) {
            if (static_cast<LONG>(GetTickCount() - end) > 0) return false;
            PumpMessages();
            Sleep(1);
        }
        return true;
    }

  private:
    HWND dialog_ = nullptr;
};

// Closes every dialog box (class #32770) this thread shows over a window while it lives, as a user
// would with its default button, and keeps each box's caption.
class CloseBoxes {
  public:
    CloseBoxes() {
        Current() = this;
        hook_ = SetWindowsHookExW(WH_CBT, &CloseBoxes::Hook, nullptr, GetCurrentThreadId());
    }
    ~CloseBoxes() {
        if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
        Current() = nullptr;
    }
    CloseBoxes(const CloseBoxes&) = delete;
    CloseBoxes& operator=(const CloseBoxes&) = delete;
    bool Hooked() const { return hook_ != nullptr; }
    std::vector<std::wstring> captions;

  private:
    static CloseBoxes*& Current() {
        static thread_local CloseBoxes* current = nullptr;
        return current;
    }
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE && Current() != nullptr) {
            HWND box = reinterpret_cast<HWND>(wParam);
            // Boxes have an owner; the window itself, activated again after one, has none.
            if (ClassName(box) == L"#32770" && GetWindow(box, GW_OWNER) != nullptr) {
                Current()->captions.push_back(WindowText(box));
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook_ = nullptr;
};

}  // namespace tarvex_win_test
