// The safety net of every Write: before the first page goes out, the record the gyro held
// is kept as a settings file in the user's state folder, so an earlier setup can be opened
// again and written back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <system_error>
#include <vector>

#include "ParameterRecord.h"
#include "SettingsFile.h"

// How many backups of one gyro ID are kept; older ones are removed after a save.
inline constexpr std::size_t kBackupsKept = 50;

// "backups" in the state folder (gyro/StateFolder.h): $XDG_STATE_HOME/tarvex/backups, by
// default ~/.local/state/tarvex/backups; on Windows %LOCALAPPDATA%\tarvex\backups. Empty
// when there is no such base folder.
std::string BackupFolder();

// True when path (UTF-8) names the folder itself or anything inside it, once both are made
// absolute and resolved (".", "..", symbolic links as far as they exist; on Windows
// without regard to case). False when either is empty.
bool PathInFolder(const std::string& path, const std::string& folder);
// The backups folder is written only by the backup before a Write: a settings file inside
// it is never a place to save to.
inline bool InBackupFolder(const std::string& path) {
    return PathInFolder(path, BackupFolder());
}

struct BackupEntry {
    std::string path;
    std::uint16_t gyroId = 0;
    std::string time;  // the local time of the save, "2026-12-07 14:30:15"
    int sequence = 1;  // 2, 3, ... for further backups of the same ID within that second
};

// The backups in folder, newest first. A backup is named <ID>-<YYYYMMDD>-<HHMMSS>.tcf in
// local time, with "-2", "-3", ... before ".tcf" for a second one within the same second;
// other files are not listed. A missing folder has none.
std::vector<BackupEntry> ListBackups(const std::string& folder);

enum class BackupOutcome {
    Saved,      // path is the new backup
    Unchanged,  // the newest backup of the ID already holds these bytes; path names it
    Failed,     // nothing saved; file and error say why
};

struct BackupResult {
    BackupOutcome outcome = BackupOutcome::Failed;
    std::string path;
    FileResult file = FileResult::Ok;  // Failed: the save's result (OpenFailed for the folder)
    std::error_code error;             // Failed: the system's reason, when one is known
};

// Keeps record as the newest backup of its gyro ID in folder (created when missing) with
// the atomic save of every settings file, named by the local time of when. Nothing is
// added when the newest backup of the ID holds the same 85 bytes. After a save only the
// kBackupsKept newest backups of the ID remain.
BackupResult SaveBackup(const std::string& folder, const ParameterRecord& record, std::time_t when);
