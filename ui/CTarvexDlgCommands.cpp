// The Read and Write commands, the backup before every Write, the unwritten-data check and
// the ways the window closes.
#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPushButton>
#include <ctime>
#include <exception>
#include <optional>

#include "gyro/Backups.h"
#include "gyro/Commands.h"
#include "ui/StringTableQt.h"
#include "ui/CTarvexDlg.h"

namespace {

// The message for a failed command. An error outside the adapter's and the gyro's types
// should not occur; it is still reported instead of leaving the window's event loop.
int FailureMessage(CommandKind kind, const std::exception& error) {
    const int id = CommandFailureMessage(kind, error);
    return id != 0 ? id : 114;  // "Unknown error"
}

}  // namespace

void CTarvexDlg::OnRead() {
    ReadGyro();
}

void CTarvexDlg::OnWrite() {
    WriteGyro();
}

void CTarvexDlg::ReadGyro() {
    std::optional<WaitCursor> wait(std::in_place);
    // A running limit setting ends silently before the adapter is used; a failed
    // limit-mode-off frame is reported by the stop itself and the Read goes on.
    if (enterPressed != 0) StopLimitSetting();
    try {
        RunReadCommand(gyro);
    } catch (const std::exception& error) {
        wait.reset();
        ShowMessage(FailureMessage(CommandKind::Read, error), MessageIcon::Stop);
        return;
    }
    gyroHeld_ = gyro.deviceRecord;
    statusText.clear();
    readFromGyro = true;
    EnableGyroCommands(true);
    RefreshFromImage();
    PlaceSliders();
    UpdateDirectionLabels();
    wait.reset();
    ShowMessage(117, MessageIcon::Information);
}

bool CTarvexDlg::WriteGyro() {
    StoreToImage();
    if (!BackUpBeforeWrite()) return false;
    std::optional<WaitCursor> wait(std::in_place);
    if (enterPressed != 0) StopLimitSetting();
    try {
        RunWriteCommand(gyro, notUsingId != 0);
    } catch (const std::exception& error) {
        wait.reset();
        ShowMessage(FailureMessage(CommandKind::Write, error), MessageIcon::Stop);
        return false;
    }
    // The verification read found the working record in the gyro.
    gyroHeld_ = gyro.deviceRecord;
    statusText.clear();
    RefreshFromImage();
    PlaceSliders();
    UpdateDirectionLabels();
    wait.reset();
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
    const QString reason = backup.error ? QString::fromLocal8Bit(backup.error.message())
                                        : strings::text(SaveFailureMessage(backup.file));
    const QString question = strings::text(135).arg(QFile::decodeName(folder.c_str()), reason);
    return Messages().Show(this, 135, question, MessageIcon::Question, MessageButtons::YesNo) ==
           MessageAnswer::Yes;
}

bool CTarvexDlg::ConfirmUnwrittenData() {
    if (enterPressed != 0) StopLimitSetting();
    if (recordsEqual(gyro.workingRecord, gyro.deviceRecord)) return true;
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

void CTarvexDlg::OnOK() {
    if (closing_) return;  // a close is already being decided
    closing_ = true;
    const bool close = ConfirmUnwrittenData() && ControlsToValues();
    if (close) QDialog::accept();
    closing_ = false;
}

void CTarvexDlg::OnCancel() {
    if (closing_) return;
    closing_ = true;
    if (ConfirmUnwrittenData()) QDialog::reject();
    closing_ = false;
}

void CTarvexDlg::OnExit() {
    OnOK();
}

void CTarvexDlg::closeEvent(QCloseEvent* event) {
    // The close box, Alt+F4 and the window manager's close request. A close that
    // accept()/reject() themselves carry out never arrives here.
    if (closing_ || !isVisible()) {
        // Either a check is already running (its own answer decides), or there is
        // nothing left to close.
        if (closing_)
            event->ignore();
        else
            event->accept();
        return;
    }
    OnCancel();
    if (isVisible())
        event->ignore();
    else
        event->accept();
}

void CTarvexDlg::keyPressEvent(QKeyEvent* event) {
    const auto modifiers = event->modifiers();
    const int key = event->key();
    if (event->matches(QKeySequence::Cancel)) {
        OnCancel();
        return;
    }
    const bool isReturn =
        (key == Qt::Key_Return && modifiers == Qt::NoModifier) ||
        (key == Qt::Key_Enter && (modifiers == Qt::NoModifier || modifiers == Qt::KeypadModifier));
    if (isReturn) {
        // Return presses the push button that has the focus (none is a default button);
        // anywhere else it is the OK command.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            if (button->isEnabled()) button->click();
        } else {
            OnOK();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}
