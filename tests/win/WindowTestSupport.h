// Helpers for tests of tarvex.exe's window: the dialog created hidden in the test's own
// process (on Wine's display driver without a display, or any display), every event it
// dispatches recorded, and user actions sent as the controls would send them.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "win/Win32Controls.h"

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

}  // namespace tarvex_win_test
