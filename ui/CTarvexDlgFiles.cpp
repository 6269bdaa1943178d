// Settings files: File > Open, Restore Previous Settings, Save and Save As (and the other
// ways to open a file). A file is the
// working record, 85 bytes.
#include <QFile>
#include <QFileInfo>
#include <filesystem>

#include "gyro/Backups.h"
#include "gyro/SettingsFile.h"
#include "ui/StringTableQt.h"
#include "ui/CTarvexDlg.h"

namespace {

std::string NativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

void CTarvexDlg::OnFileOpen() {
    OpenChosenFile(Files().ChooseOpen(this));
}

void CTarvexDlg::OnFileRestore() {
    const std::string folder = BackupFolder();
    // Created when missing, so the chooser opens there even before the first backup.
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    OpenChosenFile(Files().ChooseOpen(this, QFile::decodeName(folder.c_str())));
}

void CTarvexDlg::OpenChosenFile(const std::optional<QString>& chosen) {
    if (!chosen) return;
    OpenSettingsFile(*chosen);
}

void CTarvexDlg::OpenSettingsFile(const QString& path) {
    if (!SettingsFileExists(NativePath(path))) {
        NoteFileContent(path, false);
        ShowMessage(108, MessageIcon::Stop);
        return;
    }
    ReadSettingsFile(path);
    // Remembered whatever the reader reported, so a later Save goes to the same file.
    filePath = path;
    hasFilePath = true;
    RefreshFromImage();
    PlaceSliders();
    UpdateDirectionLabels();
}

void CTarvexDlg::OnFileSave() {
    if (hasFilePath)
        WriteSettingsFile(filePath);
    else
        OnFileSaveAs();
}

void CTarvexDlg::OnFileSaveAs() {
    const std::optional<QString> chosen = Files().ChooseSaveAs(this);
    if (!chosen) return;
    const QString path = *chosen;
    if (SettingsFileExists(NativePath(path))) {
        const QString question =
            strings::text(109) + QFileInfo(path).fileName() + strings::text(110);
        if (Messages().Show(this, 109, question, MessageIcon::Exclamation, MessageButtons::YesNo) !=
            MessageAnswer::Yes)
            return;
    }
    WriteSettingsFile(path);
    filePath = path;
    hasFilePath = true;
    UpdateTitle();
}

void CTarvexDlg::ReadSettingsFile(const QString& path) {
    // A file shorter than a record is refused and leaves workingRecord as it was.
    const FileResult result = LoadSettingsFile(NativePath(path), gyro.workingRecord);
    NoteFileContent(path, result == FileResult::Ok);
    if (result != FileResult::Ok) ShowMessage(LoadFailureMessage(result), MessageIcon::Stop);
}

void CTarvexDlg::WriteSettingsFile(const QString& path) {
    // The record goes to a temporary file that replaces the old one only when complete, so
    // a failed save leaves an existing file as it was.
    const FileResult result = SaveSettingsFile(NativePath(path), gyro.workingRecord);
    // A failed save leaves the file as it was: what it holds is then still known if it was.
    if (result == FileResult::Ok) NoteFileContent(path, true);
    if (result != FileResult::Ok) ShowMessage(SaveFailureMessage(result), MessageIcon::Stop);
}
