#include "ui/Services.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QTreeView>

namespace {

class MessageBoxService final : public MessageService {
  public:
    MessageAnswer Show(QWidget* parent, int, const QString& text, MessageIcon icon,
                       MessageButtons buttons) override {
        QMessageBox box(parent);
        box.setWindowTitle(QStringLiteral("Tarvex"));
        box.setText(text);
        // The texts are plain; a stray '<' in a file name must not turn into markup.
        box.setTextFormat(Qt::PlainText);
        switch (icon) {
            case MessageIcon::Stop:
                box.setIcon(QMessageBox::Critical);
                break;
            case MessageIcon::Information:
                box.setIcon(QMessageBox::Information);
                break;
            case MessageIcon::Exclamation:
                box.setIcon(QMessageBox::Warning);
                break;
            case MessageIcon::Question:
                box.setIcon(QMessageBox::Question);
                break;
        }
        if (buttons == MessageButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            // Closing the box without an answer counts as No.
            box.setEscapeButton(QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return MessageAnswer::Ok;
    }

    void Beep() override { QApplication::beep(); }
};

class FileDialogChooser final : public FileChooser {
    static constexpr int kDateModifiedColumn = 3;  // of the chooser's detail view

  public:
    std::optional<QString> ChooseOpen(QWidget* parent, const QString& folder) override {
        QFileDialog dialog(parent);
        if (!folder.isEmpty()) {
            // Qt's own chooser, so the list can be put in order: the newest file first.
            dialog.setOption(QFileDialog::DontUseNativeDialog, true);
            dialog.setDirectory(folder);
            dialog.setViewMode(QFileDialog::Detail);
        }
        Prepare(dialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // Like the platform's Open chooser without options: a name that does not exist is
        // accepted, and the command then reports that it cannot read it.
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!folder.isEmpty()) {
            if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
                view->sortByColumn(kDateModifiedColumn, Qt::DescendingOrder);
        }
        return Run(dialog);
    }

    std::optional<QString> ChooseSaveAs(QWidget* parent) override {
        QFileDialog dialog(parent);
        Prepare(dialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The Save As command asks about overwriting itself.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        return Run(dialog);
    }

  private:
    static void Prepare(QFileDialog& dialog) {
        dialog.setNameFilter(QStringLiteral("Gyro Files (*.tcf)"));
        dialog.setDefaultSuffix(QStringLiteral("tcf"));
        dialog.selectFile(QStringLiteral("*.tcf"));
    }

    static std::optional<QString> Run(QFileDialog& dialog) {
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty() || files.front().isEmpty()) return std::nullopt;
        return files.front();
    }
};

}  // namespace

MessageService& QtMessageService() {
    static MessageBoxService service;
    return service;
}

FileChooser& QtFileChooser() {
    static FileDialogChooser chooser;
    return chooser;
}
