// How CTarvexDlg (dialog/CTarvexDlg.h) reaches a window: the controls addressed by control
// id, the menu commands by command id (both in dialog/ControlIds.h), and the few services a
// window offers (message boxes, file choosers, the dialog thread, the user's recent-file
// list, the string table). The behaviour makes every decision (which message, which
// question, what is stored, what is enabled); a window only draws, carries values in and
// out, and routes each user action to the handler named for it:
//
//   user action                                  handler of CTarvexDlg
//   ------------------------------------------   ----------------------------------------
//   a slider moved by the user (mouse, keys),    OnSliderScroll, once per movement
//     or its handle let go where it was
//   Rudder / Gain list: an item chosen           OnChannelSelected
//   F3C, 3D, Digital (1520), Digital (760),      OnModeChangeClicked, on every click, the
//     Analog clicked                               radio already selected included
//   Normal / Reverse clicked                     OnGyroReverseClicked
//   Upper side / Bottom side clicked             OnMountingClicked
//   Fast / Standard / Slow clicked               OnResponseModeClicked
//   Not using ID clicked                         OnNotUsingIdClicked
//   Enter clicked (it toggles first)             OnEnterClicked
//   Set, Read, Write clicked                     OnSetClicked, OnRead, OnWrite
//   menu commands (ids::Command)                 OnFileInitialize, OnFileOpen,
//                                                  OnFileRestore, OnFileSave, OnFileSaveAs,
//                                                  OnRecentFile(0..3), OnExit, OnRead,
//                                                  OnWrite, OnAbout
//   the File menu about to open                  UpdateRecentMenu
//   Return outside a push button                 OnOK
//   Escape, the close box, Alt+F4                OnCancel; while Closing() a close request
//                                                  is ignored (the running check decides)
//   files dropped on the window (taken as a      OnDropFiles(the local paths, "" for an
//     copy only; CTarvexDlg::DroppedSettingsFile   item that is no local file), once the
//     says whether to accept the drag)             drag has ended
//
// A click means the user's: mouse, keyboard, mnemonic or an assistive tool's action, each
// reaching its handler exactly once; a grayed control or command reaches none. The values
// the program places itself (every Set... call below) never reach a handler: setting a
// slider's position, a list's selection, a radio or the Enter button's state must not be
// reported back as a user action.
//
// Life: the window creates its controls, then CTarvexDlg (whose constructor touches no
// control), then calls OnInitDialog: it fills the lists, places the values and connects;
// when it returns false the dialog has already ended (EndDialog) and is not shown. The
// window destroys CTarvexDlg before its controls.
//
// Texts are UTF-8 everywhere; paths are UTF-8 (the core hands Windows their wide form).
// Every call comes on the dialog thread, except PostToDialogThread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// <windows.h> defines LoadString as LoadStringA/LoadStringW. The member below keeps its
// design name, so this header takes the macro back: a Win32 window includes <windows.h>
// (or anything that brings it) before this header, never after it, and calls the Win32
// function as LoadStringW. (Included after, the window's override would be renamed and
// the compiler would say that it overrides nothing.)
#ifdef LoadString
#undef LoadString
#endif

// The message box's icon, buttons and answer (the platform's MB_ICONSTOP,
// MB_ICONINFORMATION, MB_ICONEXCLAMATION, MB_ICONQUESTION; MB_OK, MB_YESNO; IDOK, IDYES,
// IDNO).
enum class MessageIcon { Stop, Information, Exclamation, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// How the dialog ended (IDOK, IDCANCEL).
enum class DialogResult { Ok, Cancel };

// The title's modified marker: None for a title that names no file; otherwise the window
// shows the platform's marker (Qt: "*" after the file name) only while Modified.
enum class TitleMarker { None, Unmodified, Modified };

// One item of the recent-file list in the File menu.
struct RecentMenuItem {
    std::string text;  // the item's text with its mnemonic ("&1 heli.tcf", '&' doubled)
    std::string path;  // the full path, shown as the item's tool tip or status text
};

class DialogControls {
  public:
    virtual ~DialogControls() = default;

    // ---- Controls, by control id ------------------------------------------------------------

    // The text of an edit box, label box or static text (SetDlgItemText). The status line
    // (ids::Status) also tells assistive tools when its text changes.
    virtual void SetText(int id, const std::string& text) = 0;
    // The text the control shows now (GetDlgItemText).
    virtual std::string GetText(int id) const = 0;
    // A number as the control's decimal text, "-" for negatives (SetDlgItemInt, signed).
    virtual void SetNumber(int id, int value) = 0;
    // The control's text read as a signed decimal number, blanks around it allowed; 0 when
    // the text is not one (GetDlgItemInt, signed).
    virtual int GetNumber(int id) const = 0;

    // Check state of a check box, a radio button or the push-like Enter button
    // (CheckDlgButton / IsDlgButtonChecked).
    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool GetCheck(int id) const = 0;
    // Checks radio checkedId of the group firstId..lastId and clears the others; a
    // checkedId outside the group leaves none checked (CheckRadioButton).
    virtual void SetRadio(int firstId, int lastId, int checkedId) = 0;

    // Enables or grays a control, or a menu command given by its command id (the command's
    // keyboard accelerator then does nothing either) (EnableWindow / EnableMenuItem).
    virtual void SetEnabled(int id, bool enabled) = 0;
    // An edit box that shows its text but takes no typing (EM_SETREADONLY).
    virtual void SetReadOnly(int id, bool readOnly) = 0;

    // A trackbar's range; tick marks every tick above it, the arrow keys move it by 1 and
    // Page Up/Down by tick (TBM_SETRANGE, TBM_SETTICFREQ, TBM_SETLINESIZE, TBM_SETPAGESIZE).
    // The position is kept within the new range without reporting a scroll.
    virtual void SetTrackbarRange(int id, int minimum, int maximum, int tick) = 0;
    // The position; outside the range the thumb stops at the nearer end (TBM_SETPOS).
    virtual void SetTrackbarPos(int id, int position) = 0;
    virtual int GetTrackbarPos(int id) const = 0;

    // A drop-down list's items in this order, unsorted; the selection is cleared
    // (CB_RESETCONTENT, CB_ADDSTRING).
    virtual void SetListItems(int id, const std::vector<std::string>& items) = 0;
    // Selects item index; -1 or an index without an item selects none (CB_SETCURSEL).
    virtual void SetListSelection(int id, int index) = 0;
    // The selected item's index, -1 when none is (CB_GETCURSEL).
    virtual int GetListSelection(int id) const = 0;

    // Gives the keyboard focus to the control; an edit box also selects its whole text
    // (as the dialog framework does for a value it refused).
    virtual void SetFocus(int id) = 0;

    // ---- The window as a whole ---------------------------------------------------------------

    // Shows the wait cursor over the application while on (BeginWaitCursor/EndWaitCursor).
    // Calls come in pairs and do not nest.
    virtual void SetWaitCursor(bool on) = 0;
    // The platform's default beep (MessageBeep(MB_OK)).
    virtual void Beep() = 0;
    // Ends the modal dialog with result: the window closes and its modal loop returns
    // (EndDialog). Called at most once per check the user started; may come before the
    // window was ever shown (the connection failed in OnInitDialog).
    virtual void EndDialog(DialogResult result) = 0;
    // The window's title, with the modified marker as marker says.
    virtual void SetTitle(const std::string& title, TitleMarker marker) = 0;
    // The recent-file items of the File menu, commands ids::FileRecent1 + index, most
    // recent first (at most CTarvexDlg::kRecentFiles). An empty list shows one grayed item
    // "Recent File" (in the window's language), as the framework's MRU placeholder.
    virtual void SetRecentMenu(const std::vector<RecentMenuItem>& items) = 0;
    // The About box, modal.
    virtual void ShowAbout() = 0;

    // ---- Services ------------------------------------------------------------------------------

    // A modal message box captioned "Tarvex" showing text as plain text with icon and
    // buttons; id is the string-table id the text came from (0 for none), for tests and
    // logs. A Yes/No box has Yes as its default button and counts being closed without an
    // answer as No (AfxMessageBox).
    virtual MessageAnswer ShowMessage(int id, const std::string& text, MessageIcon icon,
                                      MessageButtons buttons) = 0;
    // The file choosers: the full path chosen, or nothing when the user cancelled. Both
    // offer the filter "Gyro Files (*.tcf)", start with the name "*.tcf" and append ".tcf"
    // to a name without an extension. Open accepts a name that does not exist (the command
    // then reports that it cannot read it); given a folder, Open starts there and lists the
    // newest files first (the backups), otherwise where the chooser was last. Save As does
    // not ask about overwriting: the command asks itself.
    virtual std::optional<std::string> ChooseOpenFile(const std::string& folder = {}) = 0;
    virtual std::optional<std::string> ChooseSaveAsFile() = 0;
    // Runs call later on the dialog thread, from the window's message loop (PostMessage).
    // May be called from any thread (the stream's timer thread reports its failure so).
    // A call still queued when the window is destroyed is dropped.
    virtual void PostToDialogThread(std::function<void()> call) = 0;
    // The user's recent-file list as stored between runs (Linux: the user's settings file
    // through QSettings; Windows: the user's registry key), most recent first; the
    // behaviour tidies what it reads (empty and repeated entries, more than four).
    virtual std::vector<std::string> LoadRecentFiles() = 0;
    virtual void SaveRecentFiles(const std::vector<std::string>& paths) = 0;
    // The text of a string-table id (101-136, and the framework's ids::FrameworkString) in
    // the window's language; "" for an id without a text. Windows: the resource string
    // table; Linux: resources/strings. The behaviour never links a string table itself.
    virtual std::string LoadString(int id) = 0;
};
