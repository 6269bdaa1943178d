// Settings files: File > Open, Restore Previous Settings, Save and Save As (and the other
// ways to open a file). A file is the working record, 85 bytes.
#include <filesystem>
#include <system_error>

#include "dialog/CTarvexDlg.h"
#include "dialog/PathText.h"
#include "gyro/Backups.h"
#include "gyro/SettingsFile.h"

namespace {

// Only the backup before a Write goes into the backups folder: true, with the reason shown,
// when path lies there.
bool RefusedAsBackup(CTarvexDlg& dlg, const std::string& path) {
    if (!InBackupFolder(path)) return false;
    const std::string text = dlg.Text(
        137, {pathtext::NativeSeparators(path), pathtext::NativeSeparators(BackupFolder())});
    dlg.Window().ShowMessage(137, text, MessageIcon::Stop, MessageButtons::Ok);
    return true;
}

}  // namespace

void CTarvexDlg::OnFileOpen() {
    OpenChosenFile(window_.ChooseOpenFile());
}

void CTarvexDlg::OnFileRestore() {
    const std::string folder = BackupFolder();
    // Created when missing, so the chooser opens there even before the first backup.
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
    OpenChosenFile(window_.ChooseOpenFile(folder));
}

void CTarvexDlg::OpenChosenFile(const std::optional<std::string>& chosen) {
    if (!chosen) return;
    OpenSettingsFile(*chosen);
}

void CTarvexDlg::OpenSettingsFile(const std::string& path) {
    if (!SettingsFileExists(path)) {
        NoteFileContent(path, false);
        ShowMessage(108, MessageIcon::Stop);
        return;
    }
    ReadSettingsFile(path);
    if (InBackupFolder(path)) {
        // A backup is what the gyro held before a Write and stays so: it opens like a new
        // file, and Save asks where to put the values.
        filePath.clear();
        hasFilePath = false;
    } else {
        // Remembered whatever the reader reported, so a later Save goes to the same file.
        filePath = path;
        hasFilePath = true;
    }
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
    const std::optional<std::string> chosen = window_.ChooseSaveAsFile();
    if (!chosen) return;
    const std::string path = *chosen;
    if (RefusedAsBackup(*this, path)) return;  // nothing written, nothing remembered
    if (SettingsFileExists(path)) {
        const std::string question = Text(109) + pathtext::FileName(path) + Text(110);
        if (window_.ShowMessage(109, question, MessageIcon::Exclamation, MessageButtons::YesNo) !=
            MessageAnswer::Yes)
            return;
    }
    WriteSettingsFile(path);
    filePath = path;
    hasFilePath = true;
    UpdateTitle();
}

void CTarvexDlg::ReadSettingsFile(const std::string& path) {
    // A file shorter than a record is refused and leaves workingRecord as it was.
    const FileResult result = LoadSettingsFile(path, gyro.workingRecord);
    NoteFileContent(path, result == FileResult::Ok);
    if (result != FileResult::Ok) ShowMessage(LoadFailureMessage(result), MessageIcon::Stop);
}

void CTarvexDlg::WriteSettingsFile(const std::string& path) {
    // The record goes to a temporary file that replaces the old one only when complete, so
    // a failed save leaves an existing file as it was: what it holds is then still known
    // if it was.
    if (RefusedAsBackup(*this, path)) return;
    const FileResult result = SaveSettingsFile(path, gyro.workingRecord);
    if (result == FileResult::Ok) NoteFileContent(path, true);
    if (result != FileResult::Ok) ShowMessage(SaveFailureMessage(result), MessageIcon::Stop);
}
