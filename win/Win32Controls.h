// The Tarvex window over Win32: dialog 101 in the chosen language, its menu, system-menu
// About entry, icon, accelerators and message loop. It has no behaviour of its own: every
// user action on a control, every menu or accelerator command, every slider scroll and every
// dropped file reaches one dispatch function, which the window's behaviour layer points at
// its handlers. The host also reaches the controls for that layer (Item, Window).
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "win/Language.h"

namespace tarvex_win {

// One thing that happened in the window, as the behaviour layer sees it.
struct WindowEvent {
    enum class Kind {
        InitDialog,   // the window and its controls exist and are set up; not shown yet
        Command,      // id: a button (code BN_CLICKED), a channel list (CBN_SELCHANGE),
                      // a menu item (code 0) or an accelerator (code 1); IDOK for Return,
                      // IDCANCEL for Escape, the close box and Alt+F4
        Scroll,       // id: the slider; code: the trackbar's notification (TB_*)
        DropFiles,    // files: the paths dropped on the window
        MenuOpening,  // id: the position of the menu bar's popup about to open (0: File)
    };
    Kind kind = Kind::Command;
    int id = 0;
    int code = 0;
    std::vector<std::wstring> files;
};

// Returns true when it handled the event; false leaves it to the host's own handling
// (Return, Escape and File > Exit end the window, Help > About shows the About box).
using Dispatch = std::function<bool(const WindowEvent&)>;

class Win32DialogHost {
  public:
    // module holds the resources (the program's own module).
    Win32DialogHost(HINSTANCE module, Language language);
    ~Win32DialogHost();
    Win32DialogHost(const Win32DialogHost&) = delete;
    Win32DialogHost& operator=(const Win32DialogHost&) = delete;

    void SetDispatch(Dispatch dispatch) { dispatch_ = std::move(dispatch); }

    // Creates the window from dialog 101 in the host's language; shown when visible is
    // true. Null when the template or a control class is missing, or when the window was
    // ended while it initialised (Ended() then says so). Tests create it hidden and drive it
    // with messages. Set the dispatch function first: it receives InitDialog from here.
    HWND Create(bool visible);
    // Creates the window shown (unless it exists) and runs the message loop, with the
    // accelerators and the dialog's keyboard handling, until End; returns End's result.
    int RunModal();
    // Ends the window with result: destroys it; RunModal returns. During InitDialog the
    // window is destroyed once its creation is complete, before it was ever shown.
    void End(int result);
    bool Ended() const { return ended_; }
    int Result() const { return result_; }

    // Runs call on the window's thread from its message loop; callable from any thread.
    // Calls still queued when the window is destroyed are dropped.
    void Post(std::function<void()> call);

    // Offers one message of the loop to the accelerator table and the dialog's keyboard
    // handling; true when it was used. A caption's underlined letter works with Alt only: a
    // character typed without it is left to the control that has the focus.
    bool PreTranslate(MSG& message);

    HWND Window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    HINSTANCE Module() const { return module_; }
    Language GetLanguage() const { return language_; }
    HICON Icon() const { return icon_; }
    HACCEL Accelerators() const { return accelerators_; }
    // A text of the string table in the window's language; empty for an unknown id.
    std::wstring Text(UINT id) const { return LoadStringIn(module_, language_, id); }

    // The About box (dialog 100), modal on the window.
    void ShowAbout();

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    // Hands the event to the dispatch function, then does the host's own part if it
    // declined.
    void Route(const WindowEvent& event);

    HINSTANCE module_;
    Language language_;
    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HACCEL accelerators_ = nullptr;
    void RunPosted();

    Dispatch dispatch_;
    bool ended_ = false;
    bool initializing_ = false;
    int result_ = 0;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
    HWND postTarget_ = nullptr;  // the window posted calls wake, under postedMutex_
};

// The message that wakes the window for calls given to Post.
constexpr UINT kPostedCallsMessage = WM_APP + 1;

// The sliders' ranges and tick spacing, and the Position slider's resting place, as the
// window starts.
struct SliderSetup {
    int id;
    int minimum;
    int maximum;
    int tick;
};
const std::vector<SliderSetup>& InitialSliders();

}  // namespace tarvex_win
