// The program's one window in Qt: the widgets of CTarvexDlg's controls, mapped to their ids,
// with the user's actions routed to the behaviour's handlers (dialog/CTarvexDlg.h). What is
// Qt's own stays here: the layout and captions, the accessibility factory, keys and
// mnemonics, drag and drop events, the recent-files menu's widgets and QSettings.
#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <QIcon>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "dialog/CTarvexDlg.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogControls.h"
#include "link/TBX3.h"
#include "ui/Services.h"

class QAction;
class QButtonGroup;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLineEdit;
class QMenu;
class QMenuBar;
class QSlider;

class QtTarvexWindow : public QDialog, public DialogControls {
    // The captions keep the translation context of the design's dialog class.
    Q_DECLARE_TR_FUNCTIONS(CTarvexDlg)

  public:
    struct Services {
        MessageService* messages = nullptr;  // null: Qt's message boxes
        FileChooser* files = nullptr;        // null: Qt's file dialogs
    };

    // Two constructors instead of a default argument "Services services = {}": a nested
    // struct with member initialisers cannot be a default argument inside its own class.
    explicit QtTarvexWindow(TBX3& adapter = g_adapter);
    QtTarvexWindow(TBX3& adapter, Services services, QWidget* parent = nullptr);
    ~QtTarvexWindow() override;

    // The behaviour's OnInitDialog, then the icon and the designed size. False when the
    // connection failed and the dialog has already ended.
    bool OnInitDialog();

    // The behaviour behind the window.
    CTarvexDlg& Dialog() noexcept { return *dlg_; }
    const CTarvexDlg& Dialog() const noexcept { return *dlg_; }
    CTarvexDlg* operator->() noexcept { return dlg_.get(); }

    QWidget* Control(int id) const;        // by control id
    QAction* Action(int commandId) const;  // menu commands by command id
    MessageService& Messages() const noexcept { return *messages_; }
    FileChooser& Files() const noexcept { return *files_; }
    QIcon icon;  // icon 200

    // ---- DialogControls -------------------------------------------------------------------
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

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    // A settings file (one local *.tcf) dropped anywhere on the window opens as File > Open
    // opens it; anything else is refused.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildWindow();
    void BuildMenu();
    void BuildRecentMenu(QMenu* file);  // the recent list's items, commands 57616-57619
    void AcceptSettingsFileDrops();
    // The captions, menu texts and accessible names in the installed language; run when the
    // window is built and on every language change.
    void RetranslateUi();
    QSlider* Slider(int id) const;
    QLineEdit* Edit(int id) const;

    MessageService* messages_;
    FileChooser* files_;
    std::map<int, QWidget*> controls_;
    std::map<int, QAction*> actions_;
    std::map<int, QButtonGroup*> radioGroups_;  // by the id of the group's first radio
    QMenuBar* menuBar_ = nullptr;
    // Each sets one caption, menu text or accessible name from tr(); RetranslateUi runs them.
    std::vector<std::function<void()>> retranslators_;
    std::vector<RecentMenuItem> recentItems_;  // what the recent list shows
    bool waitCursor_ = false;
    // Built last, destroyed first: its stream timer is joined while the window still lives.
    std::unique_ptr<CTarvexDlg> dlg_;
};
