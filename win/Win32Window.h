// The Tarvex window on Windows: DialogControls over the dialog items of Win32DialogHost,
// and the dispatch that hands each of the host's events to the handler of CTarvexDlg named
// for it. The message boxes and file choosers go through WindowServices, so that tests can
// answer them; the program uses SystemServices (MessageBoxW and the common Open and Save
// dialogs).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win/Win32Controls.h"
// clang-format off
#include "dialog/CTarvexDlg.h"
// clang-format on

namespace tarvex_win {

class WindowServices {
  public:
    virtual ~WindowServices() = default;
    // A modal box captioned "Tarvex" over owner; id is the string-table id of text.
    virtual MessageAnswer ShowMessage(HWND owner, int id, const std::wstring& text,
                                      MessageIcon icon, MessageButtons buttons) = 0;
    // The full path chosen, or nothing when the user cancelled. folder: where Open starts
    // (empty: where the chooser was last).
    virtual std::optional<std::wstring> ChooseOpenFile(HWND owner, const std::wstring& folder) = 0;
    virtual std::optional<std::wstring> ChooseSaveAsFile(HWND owner) = 0;
};

// MessageBoxW and GetOpenFileNameW / GetSaveFileNameW.
class SystemServices final : public WindowServices {
  public:
    MessageAnswer ShowMessage(HWND owner, int id, const std::wstring& text, MessageIcon icon,
                              MessageButtons buttons) override;
    std::optional<std::wstring> ChooseOpenFile(HWND owner, const std::wstring& folder) override;
    std::optional<std::wstring> ChooseSaveAsFile(HWND owner) override;
};

// The MessageBoxW style of a box: its icon and buttons, Yes the default of a Yes/No box.
UINT MessageBoxStyle(MessageIcon icon, MessageButtons buttons);
// A box's MessageBoxW result as the behaviour's answer; a Yes/No box closed without an
// answer counts as No.
MessageAnswer AnswerOf(int result, MessageButtons buttons);

// The handlers of CTarvexDlg a window event can reach.
enum class Handler {
    None,
    InitDialog,
    SliderScroll,
    ChannelSelected,
    ModeChange,
    GyroReverse,
    Mounting,
    ResponseMode,
    NotUsingId,
    Enter,
    Set,
    Read,
    Write,
    FileInitialize,
    FileOpen,
    FileRestore,
    FileSave,
    FileSaveAs,
    RecentFile,
    Exit,
    About,
    OK,
    Cancel,
    DropFiles,
    UpdateRecentMenu,
};
// The handler an event is for: the table of DialogControls.h over the host's events.
// Accelerators come as their menu commands; a slider's TB_ENDTRACK ends a movement that
// was already reported and reaches none.
Handler HandlerFor(const WindowEvent& event);

// The user's registry key of the program, under HKEY_CURRENT_USER.
inline constexpr const wchar_t* kRegistryKey = L"Software\\Tarvex";

class Win32Window final : public DialogControls {
  public:
    // host: the dialog, not yet created; services: the boxes and choosers; registryKey:
    // where the recent list is kept (under HKEY_CURRENT_USER, subkey "Recent File List").
    Win32Window(Win32DialogHost& host, TBX3& adapter, WindowServices& services,
                std::wstring registryKey = kRegistryKey);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    CTarvexDlg& Dialog() { return *dlg_; }
    // Routes one of the host's events to its handler; true when one took it.
    bool Dispatch(const WindowEvent& event);
    // Called with each handler just before it runs (for tests and traces).
    void SetHandlerObserver(std::function<void(Handler)> observer) {
        observer_ = std::move(observer);
    }
    // Opens a settings file named outside the window (the command line) as File > Open
    // does, once the window's messages run.
    void OpenLater(const std::wstring& path);

    // ---- DialogControls ------------------------------------------------------------------
    void SetText(int id, const std::string& text) override;
    std::string GetText(int id) const override;
    void SetNumber(int id, int value) override;
    int GetNumber(int id) const override;
    void SetCheck(int id, bool checked) override;
    bool GetCheck(int id) const override;
    void SetRadio(int firstId, int lastId, int checkedId) override;
    void SetEnabled(int id, bool enabled) override;
    void SetReadOnly(int id, bool readOnly) override;
    void SetTrackbarRange(int id, int minimum, int maximum, int tick) override;
    void SetTrackbarPos(int id, int position) override;
    int GetTrackbarPos(int id) const override;
    void SetListItems(int id, const std::vector<std::string>& items) override;
    void SetListSelection(int id, int index) override;
    int GetListSelection(int id) const override;
    void SetFocus(int id) override;
    void SetWaitCursor(bool on) override;
    void Beep() override;
    void EndDialog(DialogResult result) override;
    void SetTitle(const std::string& title, TitleMarker marker) override;
    void SetRecentMenu(const std::vector<RecentMenuItem>& items) override;
    void ShowAbout() override;
    MessageAnswer ShowMessage(int id, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override;
    std::optional<std::string> ChooseOpenFile(const std::string& folder) override;
    std::optional<std::string> ChooseSaveAsFile() override;
    void PostToDialogThread(std::function<void()> call) override;
    std::vector<std::string> LoadRecentFiles() override;
    void SaveRecentFiles(const std::vector<std::string>& paths) override;
    std::string LoadString(int id) override;

  private:
    HMENU FileMenu() const;

    Win32DialogHost& host_;
    WindowServices& services_;
    std::wstring registryKey_;
    std::wstring recentPlaceholder_;  // the File menu's grayed "Recent File", as loaded
    HCURSOR cursorBeforeWait_ = nullptr;
    std::function<void(Handler)> observer_;
    std::unique_ptr<CTarvexDlg> dlg_;
};

}  // namespace tarvex_win
