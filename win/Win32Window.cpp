#include "win/Win32Window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "win/Resource.h"
#include "win/Utf8.h"

namespace tarvex_win {

// ---- Services -------------------------------------------------------------------------------

UINT MessageBoxStyle(MessageIcon icon, MessageButtons buttons) {
    UINT style = buttons == MessageButtons::YesNo ? MB_YESNO | MB_DEFBUTTON1 : MB_OK;
    switch (icon) {
        case MessageIcon::Stop:
            style |= MB_ICONSTOP;
            break;
        case MessageIcon::Information:
            style |= MB_ICONINFORMATION;
            break;
        case MessageIcon::Exclamation:
            style |= MB_ICONEXCLAMATION;
            break;
        case MessageIcon::Question:
            style |= MB_ICONQUESTION;
            break;
    }
    return style;
}

MessageAnswer AnswerOf(int result, MessageButtons buttons) {
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return result == IDYES ? MessageAnswer::Yes : MessageAnswer::No;
}

MessageAnswer SystemServices::ShowMessage(HWND owner, int, const std::wstring& text,
                                          MessageIcon icon, MessageButtons buttons) {
    const int result =
        MessageBoxW(owner, text.c_str(), L"Tarvex", MessageBoxStyle(icon, buttons) | MB_TASKMODAL);
    return AnswerOf(result, buttons);
}

namespace {

// The chooser's common part: "Gyro Files (*.tcf)", the name "*.tcf" to start with, ".tcf"
// appended to a name without an extension, room for long paths.
struct Chooser {
    std::wstring file = std::wstring(L"*.tcf") + std::wstring(32768 - 5, L'\0');
    OPENFILENAMEW ofn{};
    Chooser(HWND owner, const std::wstring& folder) {
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = L"Gyro Files (*.tcf)\0*.tcf\0\0";
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = static_cast<DWORD>(file.size());
        ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
        ofn.lpstrDefExt = L"tcf";
        ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    }
    std::optional<std::wstring> Chosen(BOOL ok) const {
        if (!ok) return std::nullopt;
        return std::wstring(file.c_str());
    }
};

}  // namespace

std::optional<std::wstring> SystemServices::ChooseOpenFile(HWND owner, const std::wstring& folder) {
    Chooser chooser(owner, folder);
    // A name that does not exist is taken: the command then says that it cannot read it.
    return chooser.Chosen(GetOpenFileNameW(&chooser.ofn));
}

std::optional<std::wstring> SystemServices::ChooseSaveAsFile(HWND owner) {
    // No overwrite prompt: the command asks itself.
    Chooser chooser(owner, {});
    return chooser.Chosen(GetSaveFileNameW(&chooser.ofn));
}

// ---- The window -----------------------------------------------------------------------------

Win32Window::Win32Window(Win32DialogHost& host, TBX3& adapter, WindowServices& services,
                         std::wstring registryKey)
    : host_(host), services_(services), registryKey_(std::move(registryKey)) {
    dlg_ = std::make_unique<CTarvexDlg>(adapter, *this);
    host_.SetDispatch([this](const WindowEvent& event) { return Dispatch(event); });
}

Win32Window::~Win32Window() {
    host_.SetDispatch({});
    dlg_.reset();
}

void Win32Window::OpenLater(const std::wstring& path) {
    PostToDialogThread([this, file = Narrow(path)] { dlg_->OpenSettingsFile(file); });
}

Handler HandlerFor(const WindowEvent& event) {
    switch (event.kind) {
        case WindowEvent::Kind::InitDialog:
            return Handler::InitDialog;
        case WindowEvent::Kind::Scroll:
            // One call per movement: the closing TB_ENDTRACK of a movement is not another.
            return event.code == TB_ENDTRACK ? Handler::None : Handler::SliderScroll;
        case WindowEvent::Kind::DropFiles:
            return Handler::DropFiles;
        case WindowEvent::Kind::MenuOpening:
            return event.id == 0 ? Handler::UpdateRecentMenu : Handler::None;
        case WindowEvent::Kind::Command:
            break;
    }
    const int id = event.id;
    if (id >= ids::F3C && id <= ids::Analog) return Handler::ModeChange;
    if (id == ids::GyroNormal || id == ids::GyroReverse) return Handler::GyroReverse;
    if (id == ids::UpperSide || id == ids::BottomSide) return Handler::Mounting;
    if (id >= ids::Fast && id <= ids::Slow) return Handler::ResponseMode;
    if (id >= ids::FileRecent1 && id < ids::FileRecent1 + CTarvexDlg::kRecentFiles) {
        return Handler::RecentFile;
    }
    switch (id) {
        case ids::ReadButton:
        case ids::ConnectRead:
            return Handler::Read;
        case ids::WriteButton:
        case ids::ConnectWrite:
            return Handler::Write;
        case ids::Enter:
            return Handler::Enter;
        case ids::Set:
            return Handler::Set;
        case ids::NotUsingId:
            return Handler::NotUsingId;
        case ids::RudderChannel:
        case ids::GainChannel:
            return event.code == CBN_SELCHANGE ? Handler::ChannelSelected : Handler::None;
        case ids::FileInitialize:
            return Handler::FileInitialize;
        case ids::FileOpen:
            return Handler::FileOpen;
        case ids::FileRestore:
            return Handler::FileRestore;
        case ids::FileSave:
            return Handler::FileSave;
        case ids::FileSaveAs:
            return Handler::FileSaveAs;
        case ids::AppExit:
            return Handler::Exit;
        case ids::AppAbout:
            return Handler::About;
        case IDOK:
            return Handler::OK;
        case IDCANCEL:
            return Handler::Cancel;
        default:
            return Handler::None;
    }
}

bool Win32Window::Dispatch(const WindowEvent& event) {
    const Handler handler = HandlerFor(event);
    if (handler == Handler::None) {
        // Taken without a handler: a movement's end, another popup, a list's other
        // notification. Commands nobody handles are left to the host.
        return event.kind != WindowEvent::Kind::Command;
    }
    CTarvexDlg& dlg = *dlg_;
    // A close request while the running check decides is that check's to answer.
    if ((handler == Handler::OK || handler == Handler::Cancel) && dlg.Closing()) return true;
    if (observer_) observer_(handler);
    switch (handler) {
        case Handler::None:
            break;
        case Handler::InitDialog:
            recentPlaceholder_.clear();
            if (HMENU file = FileMenu()) {
                wchar_t text[256] = {};
                if (GetMenuStringW(file, ID_FILE_MRU_FILE1, text, 256, MF_BYCOMMAND) > 0) {
                    recentPlaceholder_ = text;
                }
            }
            dlg.OnInitDialog();
            break;
        case Handler::SliderScroll:
            dlg.OnSliderScroll();
            break;
        case Handler::ChannelSelected:
            dlg.OnChannelSelected();
            break;
        case Handler::ModeChange:
            dlg.OnModeChangeClicked();
            break;
        case Handler::GyroReverse:
            dlg.OnGyroReverseClicked();
            break;
        case Handler::Mounting:
            dlg.OnMountingClicked();
            break;
        case Handler::ResponseMode:
            dlg.OnResponseModeClicked();
            break;
        case Handler::NotUsingId:
            dlg.OnNotUsingIdClicked();
            break;
        case Handler::Enter:
            dlg.OnEnterClicked();
            break;
        case Handler::Set:
            dlg.OnSetClicked();
            break;
        case Handler::Read:
            dlg.OnRead();
            break;
        case Handler::Write:
            dlg.OnWrite();
            break;
        case Handler::FileInitialize:
            dlg.OnFileInitialize();
            break;
        case Handler::FileOpen:
            dlg.OnFileOpen();
            break;
        case Handler::FileRestore:
            dlg.OnFileRestore();
            break;
        case Handler::FileSave:
            dlg.OnFileSave();
            break;
        case Handler::FileSaveAs:
            dlg.OnFileSaveAs();
            break;
        case Handler::RecentFile:
            dlg.OnRecentFile(event.id - ids::FileRecent1);
            break;
        case Handler::Exit:
            dlg.OnExit();
            break;
        case Handler::About:
            dlg.OnAbout();
            break;
        case Handler::OK:
            dlg.OnOK();
            break;
        case Handler::Cancel:
            dlg.OnCancel();
            break;
        case Handler::DropFiles: {
            std::vector<std::string> paths;
            for (const std::wstring& file : event.files) paths.push_back(Narrow(file));
            dlg.OnDropFiles(paths);
            break;
        }
        case Handler::UpdateRecentMenu:
            dlg.UpdateRecentMenu();
            break;
    }
    return true;
}

HMENU Win32Window::FileMenu() const {
    HMENU bar = GetMenu(host_.Window());
    return bar != nullptr ? GetSubMenu(bar, 0) : nullptr;
}

void Win32Window::SetText(int id, const std::string& text) {
    SetDlgItemTextW(host_.Window(), id, Widen(text).c_str());
    if (id == ids::Status) {
        // Assistive tools hear of the status line's new text.
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, host_.Item(id), OBJID_CLIENT, CHILDID_SELF);
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, host_.Item(id), OBJID_CLIENT, CHILDID_SELF);
    }
}

std::string Win32Window::GetText(int id) const {
    HWND item = host_.Item(id);
    if (item == nullptr) return {};
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

void Win32Window::SetNumber(int id, int value) {
    SetDlgItemInt(host_.Window(), id, static_cast<UINT>(value), TRUE);
}

int Win32Window::GetNumber(int id) const {
    // A signed decimal number with blanks around it; anything else (or out of range) is 0.
    const std::string text = GetText(id);
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    if (*begin == '\0') return 0;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || value < INT_MIN || value > INT_MAX) return 0;
    while (*end == ' ' || *end == '\t') ++end;
    return *end == '\0' ? static_cast<int>(value) : 0;
}

void Win32Window::SetCheck(int id, bool checked) {
    CheckDlgButton(host_.Window(), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Win32Window::GetCheck(int id) const {
    return IsDlgButtonChecked(host_.Window(), id) == BST_CHECKED;
}

void Win32Window::SetRadio(int firstId, int lastId, int checkedId) {
    // CheckRadioButton, spelled out: a checkedId outside the group leaves none checked.
    for (int id = firstId; id <= lastId; ++id) SetCheck(id, id == checkedId);
}

void Win32Window::SetEnabled(int id, bool enabled) {
    if (HWND item = host_.Item(id)) {
        EnableWindow(item, enabled ? TRUE : FALSE);
        return;
    }
    // A menu command: grayed, its accelerator does nothing either (TranslateAccelerator
    // skips a grayed item's command).
    if (HMENU bar = GetMenu(host_.Window())) {
        EnableMenuItem(bar, static_cast<UINT>(id),
                       MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
}

void Win32Window::SetReadOnly(int id, bool readOnly) {
    SendDlgItemMessageW(host_.Window(), id, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void Win32Window::SetTrackbarRange(int id, int minimum, int maximum, int tick) {
    HWND slider = host_.Item(id);
    if (slider == nullptr) return;
    const LRESULT before = SendMessageW(slider, TBM_GETPOS, 0, 0);
    SendMessageW(slider, TBM_SETRANGEMIN, FALSE, minimum);
    SendMessageW(slider, TBM_SETRANGEMAX, FALSE, maximum);
    SendMessageW(slider, TBM_SETTICFREQ, static_cast<WPARAM>(tick), 0);
    SendMessageW(slider, TBM_SETLINESIZE, 0, 1);
    SendMessageW(slider, TBM_SETPAGESIZE, 0, tick);
    // Kept within the new range, reported to no one.
    SendMessageW(slider, TBM_SETPOS, TRUE, std::clamp<LRESULT>(before, minimum, maximum));
}

void Win32Window::SetTrackbarPos(int id, int position) {
    SendDlgItemMessageW(host_.Window(), id, TBM_SETPOS, TRUE, position);
}

int Win32Window::GetTrackbarPos(int id) const {
    return static_cast<int>(SendDlgItemMessageW(host_.Window(), id, TBM_GETPOS, 0, 0));
}

void Win32Window::SetListItems(int id, const std::vector<std::string>& items) {
    HWND list = host_.Item(id);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items) {
        const std::wstring text = Widen(item);
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void Win32Window::SetListSelection(int id, int index) {
    SendDlgItemMessageW(host_.Window(), id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32Window::GetListSelection(int id) const {
    const LRESULT index = SendDlgItemMessageW(host_.Window(), id, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void Win32Window::SetFocus(int id) {
    HWND item = host_.Item(id);
    if (item == nullptr) return;
    // As the dialog manager moves the focus, so the default button follows.
    SendMessageW(host_.Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
    ::SetFocus(item);
    if (SendMessageW(item, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
        SendMessageW(item, EM_SETSEL, 0, -1);
    }
}

void Win32Window::SetWaitCursor(bool on) {
    if (on) {
        cursorBeforeWait_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    } else {
        SetCursor(cursorBeforeWait_ != nullptr ? cursorBeforeWait_
                                               : LoadCursorW(nullptr, IDC_ARROW));
        cursorBeforeWait_ = nullptr;
    }
}

void Win32Window::Beep() {
    MessageBeep(MB_OK);
}

void Win32Window::EndDialog(DialogResult result) {
    host_.End(result == DialogResult::Ok ? IDOK : IDCANCEL);
}

void Win32Window::SetTitle(const std::string& title, TitleMarker marker) {
    std::wstring text = Widen(title);
    if (marker == TitleMarker::Modified) text += L'*';
    SetWindowTextW(host_.Window(), text.c_str());
}

void Win32Window::SetRecentMenu(const std::vector<RecentMenuItem>& items) {
    HMENU file = FileMenu();
    if (file == nullptr) return;
    // Where the recent items stand: at the first of them (the placeholder at start).
    int position = -1;
    for (int i = 0, count = GetMenuItemCount(file); i < count; ++i) {
        const UINT id = GetMenuItemID(file, i);
        if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + CTarvexDlg::kRecentFiles) {
            position = i;
            break;
        }
    }
    if (position < 0) return;
    for (int i = 0; i < CTarvexDlg::kRecentFiles; ++i) {
        DeleteMenu(file, static_cast<UINT>(ID_FILE_MRU_FILE1 + i), MF_BYCOMMAND);
    }
    if (items.empty()) {
        InsertMenuW(file, static_cast<UINT>(position), MF_BYPOSITION | MF_STRING | MF_GRAYED,
                    ID_FILE_MRU_FILE1, recentPlaceholder_.c_str());
        return;
    }
    const std::size_t count = std::min<std::size_t>(items.size(), CTarvexDlg::kRecentFiles);
    for (std::size_t i = 0; i < count; ++i) {
        const std::wstring text = Widen(items[i].text);
        InsertMenuW(file, static_cast<UINT>(position + static_cast<int>(i)),
                    MF_BYPOSITION | MF_STRING, ID_FILE_MRU_FILE1 + i, text.c_str());
    }
}

void Win32Window::ShowAbout() {
    host_.ShowAbout();
}

MessageAnswer Win32Window::ShowMessage(int id, const std::string& text, MessageIcon icon,
                                       MessageButtons buttons) {
    return services_.ShowMessage(host_.Window(), id, Widen(text), icon, buttons);
}

std::optional<std::string> Win32Window::ChooseOpenFile(const std::string& folder) {
    const std::optional<std::wstring> chosen =
        services_.ChooseOpenFile(host_.Window(), Widen(folder));
    if (!chosen) return std::nullopt;
    return Narrow(*chosen);
}

std::optional<std::string> Win32Window::ChooseSaveAsFile() {
    const std::optional<std::wstring> chosen = services_.ChooseSaveAsFile(host_.Window());
    if (!chosen) return std::nullopt;
    return Narrow(*chosen);
}

void Win32Window::PostToDialogThread(std::function<void()> call) {
    host_.Post(std::move(call));
}

namespace {

constexpr const wchar_t* kRecentSubkey = L"\\Recent File List";

std::wstring RecentValueName(std::size_t index) {
    return L"File" + std::to_wstring(index + 1);
}

}  // namespace

std::vector<std::string> Win32Window::LoadRecentFiles() {
    std::vector<std::string> paths;
    HKEY key = nullptr;
    const std::wstring name = registryKey_ + kRecentSubkey;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return paths;
    }
    for (std::size_t i = 0; i < CTarvexDlg::kRecentFiles; ++i) {
        std::wstring value(32768, L'\0');
        DWORD type = 0;
        DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key, RecentValueName(i).c_str(), nullptr, &type,
                             reinterpret_cast<BYTE*>(value.data()), &bytes) != ERROR_SUCCESS ||
            type != REG_SZ) {
            continue;
        }
        value.resize(bytes / sizeof(wchar_t));
        paths.push_back(Narrow(value.c_str()));
    }
    RegCloseKey(key);
    return paths;
}

void Win32Window::SaveRecentFiles(const std::vector<std::string>& paths) {
    HKEY key = nullptr;
    const std::wstring name = registryKey_ + kRecentSubkey;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (std::size_t i = 0; i < CTarvexDlg::kRecentFiles; ++i) {
        const std::wstring valueName = RecentValueName(i);
        if (i >= paths.size()) {
            RegDeleteValueW(key, valueName.c_str());
            continue;
        }
        const std::wstring value = Widen(paths[i]);
        RegSetValueExW(key, valueName.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
}

std::string Win32Window::LoadString(int id) {
    if (id <= 0 || id > 0xFFFF) return {};
    return Narrow(host_.Text(static_cast<UINT>(id)));
}

}  // namespace tarvex_win
