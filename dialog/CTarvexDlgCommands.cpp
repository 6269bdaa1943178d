// The Read and Write commands, the backup before every Write, the unwritten-data check and
// the ways the window closes.
#include <ctime>
#include <exception>

#include "dialog/CTarvexDlg.h"
#include "gyro/Backups.h"
#include "gyro/Commands.h"

namespace {

// The message for a failed command. An error outside the adapter's and the gyro's types
// should not occur; it is still reported instead of leaving the window's message loop.
int FailureMessage(CommandKind kind, const std::exception& error) {
    const int id = CommandFailureMessage(kind, error);
    return id != 0 ? id : 114;  // "Unknown error"
}

// The wait cursor for the life of the object, or until Reset.
class WaitCursor {
  public:
    explicit WaitCursor(DialogControls& window) : window_(&window) { window.SetWaitCursor(true); }
    ~WaitCursor() { Reset(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void Reset() {
        if (window_ != nullptr) window_->SetWaitCursor(false);
        window_ = nullptr;
    }

  private:
    DialogControls* window_;
};

}  // namespace

void CTarvexDlg::OnRead() {
    ReadGyro();
}

void CTarvexDlg::OnWrite() {
    WriteGyro();
}

void CTarvexDlg::ReadGyro() {
    WaitCursor wait(window_);
    // A running limit setting ends silently before the adapter is used; a failed
    // limit-mode-off frame is reported by the stop itself and the Read goes on.
    if (enterPressed != 0) StopLimitSetting();
    try {
        RunReadCommand(gyro);
    } catch (const std::exception& error) {
        wait.Reset();
        ShowMessage(FailureMessage(CommandKind::Read, error), MessageIcon::Stop);
        return;
    }
    gyroHeld_ = gyro.deviceRecord;
    gyroContentsUnknown_ = false;
    statusText.clear();
    readFromGyro = true;
    EnableGyroCommands(true);
    RefreshFromImage();
    PlaceSliders();
    UpdateDirectionLabels();
    wait.Reset();
    ShowMessage(117, MessageIcon::Information);
}

bool CTarvexDlg::WriteGyro() {
    StoreToImage();
    if (!BackUpBeforeWrite()) return false;
    WaitCursor wait(window_);
    if (enterPressed != 0) StopLimitSetting();
    try {
        RunWriteCommand(gyro, notUsingId != 0);
    } catch (const std::exception& error) {
        gyroContentsUnknown_ = true;
        wait.Reset();
        ShowMessage(FailureMessage(CommandKind::Write, error), MessageIcon::Stop);
        return false;
    }
    // The verification read found the working record in the gyro.
    gyroHeld_ = gyro.deviceRecord;
    gyroContentsUnknown_ = false;
    statusText.clear();
    RefreshFromImage();
    PlaceSliders();
    UpdateDirectionLabels();
    wait.Reset();
    ShowMessage(105, MessageIcon::Information);
    return true;
}

bool CTarvexDlg::BackUpBeforeWrite() {
    // Before the first Read nothing is known of the gyro's settings, so there is nothing to
    // keep (the window offers Write only after a Read).
    if (!gyroHeld_) return true;
    const std::string folder = BackupFolder();
    const BackupResult backup = SaveBackup(folder, *gyroHeld_, std::time(nullptr));
    if (backup.outcome != BackupOutcome::Failed) return true;
    const std::string reason =
        backup.error ? backup.error.message() : Text(SaveFailureMessage(backup.file));
    const std::string question = Text(135, {folder, reason});
    return window_.ShowMessage(135, question, MessageIcon::Question, MessageButtons::YesNo) ==
           MessageAnswer::Yes;
}

bool CTarvexDlg::ConfirmUnwrittenData() {
    if (enterPressed != 0) StopLimitSetting();
    if (!gyroContentsUnknown_ && recordsEqual(gyro.workingRecord, gyro.deviceRecord)) return true;
    if (!readFromGyro) {
        ShowMessage(134, MessageIcon::Exclamation);
        return true;
    }
    if (ShowMessage(133, MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return true;
    // The user wants the edits on the gyro: when that write fails the window stays open,
    // so they are not lost.
    return WriteGyro();
}

bool CTarvexDlg::HasUnwrittenData() const {
    return !recordsEqual(gyro.workingRecord, gyro.deviceRecord);
}

void CTarvexDlg::OnOK() {
    if (closing_) return;  // a close is already being decided
    closing_ = true;
    const bool close = ConfirmUnwrittenData() && ControlsToValues();
    if (close) window_.EndDialog(DialogResult::Ok);
    closing_ = false;
}

void CTarvexDlg::OnCancel() {
    if (closing_) return;
    closing_ = true;
    if (ConfirmUnwrittenData()) window_.EndDialog(DialogResult::Cancel);
    closing_ = false;
}

void CTarvexDlg::OnExit() {
    OnOK();
}
