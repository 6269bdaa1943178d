// The window as a desktop program: the open file's name in the title, the recent list in the
// File menu, and settings files dropped onto the window.
#include <algorithm>
#include <cctype>

#include "dialog/CTarvexDlg.h"
#include "dialog/PathText.h"
#include "gyro/Backups.h"
#include "gyro/SettingsFile.h"

// ---- Title ------------------------------------------------------------------------------------

void CTarvexDlg::UpdateTitle() {
    if (!hasFilePath) {
        window_.SetTitle("Tarvex", TitleMarker::None);
        return;
    }
    const bool modified = !fileContent_ || fileContent_->path != filePath ||
                          fileContent_->record != gyro.workingRecord;
    window_.SetTitle("Tarvex - " + pathtext::FileName(filePath),
                     modified ? TitleMarker::Modified : TitleMarker::Unmodified);
}

void CTarvexDlg::NoteFileContent(const std::string& path, bool known) {
    std::vector<std::string> files = RecentFiles();
    files.erase(std::remove(files.begin(), files.end(), path), files.end());
    // A backup never enters the list: it is not a file to go back to and save over.
    if (known && !InBackupFolder(path)) {
        fileContent_ = FileContent{path, gyro.workingRecord};
        files.insert(files.begin(), path);
    } else if (fileContent_ && fileContent_->path == path) {
        fileContent_.reset();
    }
    if (files.size() > static_cast<std::size_t>(kRecentFiles)) files.resize(kRecentFiles);
    window_.SaveRecentFiles(files);
    UpdateRecentMenu();
    UpdateTitle();
}

// ---- Recent list --------------------------------------------------------------------------------

std::vector<std::string> CTarvexDlg::RecentFiles() {
    std::vector<std::string> files;
    for (const std::string& file : window_.LoadRecentFiles()) {
        if (file.empty() || InBackupFolder(file) ||
            std::find(files.begin(), files.end(), file) != files.end())
            continue;
        files.push_back(file);
        if (files.size() == static_cast<std::size_t>(kRecentFiles)) break;
    }
    return files;
}

std::vector<RecentMenuItem> CTarvexDlg::RecentMenuItems(const std::vector<std::string>& files) {
    std::vector<RecentMenuItem> items;
    for (std::size_t i = 0; i < files.size() && i < static_cast<std::size_t>(kRecentFiles); ++i) {
        const std::string name = pathtext::FileName(files[i]);
        const auto sameName = std::count_if(files.begin(), files.end(), [&](const std::string& f) {
            return pathtext::FileName(f) == name;
        });
        const std::string shown = sameName > 1 ? pathtext::NativeSeparators(files[i]) : name;
        std::string label;
        for (const char c : shown) {
            label += c;
            if (c == '&') label += '&';  // a literal '&', not a mnemonic
        }
        items.push_back(
            {"&" + std::to_string(i + 1) + " " + label, pathtext::NativeSeparators(files[i])});
    }
    return items;
}

void CTarvexDlg::UpdateRecentMenu() {
    window_.SetRecentMenu(RecentMenuItems(RecentFiles()));
}

void CTarvexDlg::OnRecentFile(int index) {
    const std::vector<std::string> files = RecentFiles();
    if (index >= 0 && static_cast<std::size_t>(index) < files.size())
        OpenSettingsFile(files[static_cast<std::size_t>(index)]);
}

// ---- Dropped files ------------------------------------------------------------------------------

std::optional<std::string> CTarvexDlg::DroppedSettingsFile(const std::vector<std::string>& paths) {
    if (paths.size() != 1 || paths[0].empty()) return std::nullopt;
    const std::string& path = paths[0];
    static constexpr char kExtension[] = ".tcf";
    constexpr std::size_t length = sizeof kExtension - 1;
    if (path.size() < length) return std::nullopt;
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(path[path.size() - length + i]);
        if (std::tolower(c) != kExtension[i]) return std::nullopt;
    }
    return path;
}

void CTarvexDlg::OnDropFiles(const std::vector<std::string>& paths) {
    if (const std::optional<std::string> path = DroppedSettingsFile(paths)) OpenSettingsFile(*path);
}

void CTarvexDlg::OpenSharedFile(const std::string& path) {
    ParameterRecord record;
    if (const FileResult result = LoadSettingsFile(path, record); result != FileResult::Ok) {
        ShowMessage(LoadFailureMessage(result), MessageIcon::Stop);
        return;
    }
    OpenSettingsFile(path);
}
