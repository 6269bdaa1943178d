// The Qt window's ways of asking the user: message boxes, file choosers and the beep.
// Production uses Qt's; tests install their own to answer and to see what was asked.
#pragma once

#include <QString>
#include <optional>

#include "dialog/DialogControls.h"

class QWidget;

class MessageService {
  public:
    virtual ~MessageService() = default;
    // A modal box captioned "Tarvex". id is the string-table id of the text (0 for texts
    // that are not in the table, such as the ID box's validation messages).
    virtual MessageAnswer Show(QWidget* parent, int id, const QString& text, MessageIcon icon,
                               MessageButtons buttons) = 0;
    virtual void Beep() = 0;
};

class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // The full path chosen, or nothing when the user cancelled. Both offer "Gyro Files
    // (*.tcf)", start with "*.tcf" and append "tcf" to a name without extension; Save As
    // does not ask about overwriting. Given a folder, Open starts there and lists its
    // newest files first (the backups); otherwise where the chooser was last.
    virtual std::optional<QString> ChooseOpen(QWidget* parent, const QString& folder = {}) = 0;
    virtual std::optional<QString> ChooseSaveAs(QWidget* parent) = 0;
};

// The production services.
MessageService& QtMessageService();
FileChooser& QtFileChooser();
