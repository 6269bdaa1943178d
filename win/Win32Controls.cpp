#include "win/Win32Controls.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "win/Accessibility.h"
#include "win/Resource.h"

namespace tarvex_win {

const std::vector<SliderSetup>& InitialSliders() {
    static const std::vector<SliderSetup> sliders = {
        {1019, 0, 20, 5},    {1022, 0, 20, 5},    {1025, 0, 20, 5},       {1028, 0, 20, 5},
        {1031, 0, 20, 5},    {1034, 0, 20, 5},    {1036, -100, 100, 25},  {1038, -100, 100, 25},
        {1040, 30, 110, 10}, {1042, 0, 50, 10},   {1044, 100, 500, 50},   {1046, 0, 250, 20},
        {1048, 0, 100, 10},  {1050, 30, 100, 10}, {1058, 352, 1696, 224}, {1063, 1, 10, 1},
    };
    return sliders;
}

Win32DialogHost::Win32DialogHost(HINSTANCE module, Language language)
    : module_(module), language_(language) {
    icon_ = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(IDI_TARVEX), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                          LR_DEFAULTCOLOR));
    smallIcon_ = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(IDI_TARVEX), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    accelerators_ = LoadAcceleratorsW(module_, MAKEINTRESOURCEW(IDR_ACCELERATORS));
}

Win32DialogHost::~Win32DialogHost() {
    if (window_ != nullptr) DestroyWindow(window_);
    if (icon_ != nullptr) DestroyIcon(icon_);
    if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

HWND Win32DialogHost::Create(bool visible) {
    if (window_ != nullptr) return window_;
    const DLGTEMPLATE* dialog = DialogTemplateIn(module_, language_, IDD_TARVEX_DIALOG);
    if (dialog == nullptr) return nullptr;
    ended_ = false;
    initializing_ = true;
    HWND created = CreateDialogIndirectParamW(
        module_, dialog, nullptr, &Win32DialogHost::DialogProc, reinterpret_cast<LPARAM>(this));
    initializing_ = false;
    if (created == nullptr) {
        window_ = nullptr;
        return nullptr;
    }
    window_ = created;
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        postTarget_ = window_;
    }
    if (ended_) {
        // Ended while it initialised: never shown.
        End(result_);
        return nullptr;
    }
    if (visible) {
        ShowWindow(window_, SW_SHOW);
        UpdateWindow(window_);
    }
    return window_;
}

int Win32DialogHost::RunModal() {
    if (Create(true) == nullptr) return ended_ ? result_ : -1;
    if (!IsWindowVisible(window_)) ShowWindow(window_, SW_SHOW);
    MSG message;
    while (!ended_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // WM_QUIT: pass it on to whatever loop runs around this one.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1) break;
        if (!PreTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return result_;
}

namespace {

// A character typed without Alt into the window or one of its controls that takes no text (a
// slider, radio, check box, button): the dialog manager would take it for a caption's
// underlined letter and click that control, so that a stray 'w' wrote the gyro. Underlined
// letters work with Alt only. Tab, Return, Escape and space keep their dialog meaning.
bool IsLetterForNonTextControl(HWND dialog, const MSG& message) {
    if (message.message != WM_CHAR || message.wParam <= L' ' || message.wParam == 0x7F) {
        return false;
    }
    if (message.hwnd != dialog && !IsChild(dialog, message.hwnd)) return false;
    const LRESULT code = SendMessageW(message.hwnd, WM_GETDLGCODE, message.wParam,
                                      reinterpret_cast<LPARAM>(&message));
    return (code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE)) == 0;
}

}  // namespace

bool Win32DialogHost::PreTranslate(MSG& message) {
    if (window_ == nullptr) return false;
    if (accelerators_ != nullptr && TranslateAcceleratorW(window_, accelerators_, &message)) {
        return true;
    }
    // Left to the control itself (a list's type-to-select, say), never to the dialog manager.
    if (IsLetterForNonTextControl(window_, message)) return false;
    return IsDialogMessageW(window_, &message) != FALSE;
}

void Win32DialogHost::End(int result) {
    result_ = result;
    ended_ = true;
    if (initializing_) return;  // Create destroys it once CreateDialog has returned
    {
        std::lock_guard<std::mutex> lock(postedMutex_);
        postTarget_ = nullptr;
        posted_.clear();
    }
    if (window_ != nullptr) {
        HWND window = window_;
        window_ = nullptr;
        DestroyWindow(window);
    }
}

void Win32DialogHost::Post(std::function<void()> call) {
    std::lock_guard<std::mutex> lock(postedMutex_);
    if (postTarget_ == nullptr) return;
    posted_.push_back(std::move(call));
    if (posted_.size() == 1) PostMessageW(postTarget_, kPostedCallsMessage, 0, 0);
}

void Win32DialogHost::RunPosted() {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> lock(postedMutex_);
            if (posted_.empty()) return;
            call = std::move(posted_.front());
            posted_.pop_front();
        }
        call();
        if (ended_) return;
    }
}

void Win32DialogHost::ShowAbout() {
    const DLGTEMPLATE* about = DialogTemplateIn(module_, Language::English, IDD_ABOUTBOX);
    if (about == nullptr) return;
    DialogBoxIndirectParamW(
        module_, about, window_,
        [](HWND box, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
            if (message == WM_INITDIALOG) return TRUE;
            if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
                EndDialog(box, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        },
        0);
}

INT_PTR CALLBACK Win32DialogHost::DialogProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    Win32DialogHost* host = nullptr;
    if (message == WM_INITDIALOG) {
        host = reinterpret_cast<Win32DialogHost*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        host->window_ = window;
    } else {
        host = reinterpret_cast<Win32DialogHost*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (host == nullptr) return FALSE;
    return host->OnMessage(message, wParam, lParam);
}

INT_PTR Win32DialogHost::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            Route({WindowEvent::Kind::InitDialog, 0, 0, {}});
            // The focus goes to the first control of the tab order.
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (lParam == 0 || id == IDOK || id == IDCANCEL) {
                // A menu item, an accelerator, or the dialog's Return and Escape.
                Route({WindowEvent::Kind::Command, id, lParam == 0 ? code : 0, {}});
                return TRUE;
            }
            // From a control: the user's clicks and list choices only. Texts and states the
            // program places itself (EN_CHANGE and the like) reach no handler.
            if (code == BN_CLICKED || code == CBN_SELCHANGE) {
                Route({WindowEvent::Kind::Command, id, code, {}});
                return TRUE;
            }
            return FALSE;
        }
        case WM_HSCROLL: {
            const HWND slider = reinterpret_cast<HWND>(lParam);
            if (slider == nullptr) return FALSE;
            Route({WindowEvent::Kind::Scroll, GetDlgCtrlID(slider), LOWORD(wParam), {}});
            return TRUE;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                ShowAbout();
                return TRUE;
            }
            return FALSE;
        case WM_DROPFILES: {
            const auto drop = reinterpret_cast<HDROP>(wParam);
            WindowEvent event{WindowEvent::Kind::DropFiles, 0, 0, {}};
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                const UINT length = DragQueryFileW(drop, i, nullptr, 0);
                std::wstring path(length + 1, L'\0');
                DragQueryFileW(drop, i, path.data(), length + 1);
                path.resize(length);
                event.files.push_back(std::move(path));
            }
            DragFinish(drop);
            Route(event);
            return TRUE;
        }
        case WM_INITMENUPOPUP:
            // The menu bar's popups only, not the system menu.
            if (HIWORD(lParam) == 0) {
                Route({WindowEvent::Kind::MenuOpening, LOWORD(lParam), 0, {}});
            }
            return FALSE;
        case kPostedCallsMessage:
            RunPosted();
            return TRUE;
        case WM_NCDESTROY:
            // Destroyed from outside End (its owner went away, say).
            if (window_ != nullptr) {
                {
                    std::lock_guard<std::mutex> lock(postedMutex_);
                    postTarget_ = nullptr;
                    posted_.clear();
                }
                window_ = nullptr;
                ended_ = true;
            }
            return FALSE;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(icon_);
        default:
            return FALSE;
    }
}

void Win32DialogHost::OnInitDialog() {
    // The menu in the window's language: the template's MENU line loads it in the thread's
    // language.
    if (HMENU menu = LoadMenuIn(module_, language_, IDR_MAINMENU)) {
        HMENU old = GetMenu(window_);
        SetMenu(window_, menu);
        if (old != nullptr) DestroyMenu(old);
    }
    if (HMENU system = GetSystemMenu(window_, FALSE)) {
        const std::wstring about = Text(IDS_ABOUTBOX);
        if (!about.empty()) {
            AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    // The channel lists' items "1" to "16", in this order.
    for (int list : {1003, 1004}) {
        for (int i = 1; i <= 16; ++i) {
            SendDlgItemMessageW(window_, list, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(std::to_wstring(i).c_str()));
        }
        SendDlgItemMessageW(window_, list, CB_SETCURSEL, 0, 0);
    }
    for (const SliderSetup& s : InitialSliders()) {
        HWND slider = Item(s.id);
        SendMessageW(slider, TBM_SETRANGEMIN, FALSE, s.minimum);
        SendMessageW(slider, TBM_SETRANGEMAX, FALSE, s.maximum);
        SendMessageW(slider, TBM_SETTICFREQ, s.tick, 0);
        SendMessageW(slider, TBM_SETPOS, TRUE, s.id == 1058 ? 1024 : std::max(0, s.minimum));
    }
    DragAcceptFiles(window_, TRUE);
    NameControls(window_);
}

void Win32DialogHost::Route(const WindowEvent& event) {
    if (dispatch_ && dispatch_(event)) return;
    if (event.kind != WindowEvent::Kind::Command) return;
    switch (event.id) {
        case IDOK:
        case IDCANCEL:
        case ID_APP_EXIT:
            End(event.id == IDCANCEL ? IDCANCEL : IDOK);
            break;
        case ID_APP_ABOUT:
            ShowAbout();
            break;
        default:
            break;
    }
}

}  // namespace tarvex_win
