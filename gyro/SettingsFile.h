// Settings files (.tcf): exactly 85 bytes, the working record byte for byte.
#pragma once

#include <string>

#include "ParameterRecord.h"

enum class FileResult {
    Ok,
    OpenFailed,   // cannot be opened for reading / created for writing
    ReadFailed,   // an error while reading
    ShortFile,    // fewer than 85 bytes: refused, the record is left as it was
    WriteFailed,  // an error while writing, syncing or renaming
    DiskFull,     // ENOSPC while writing
    Unknown,
};

// Loads a settings file into record. A file of fewer than 85 bytes is refused and leaves
// record unchanged; a longer one gives its first 85 bytes.
FileResult LoadSettingsFile(const std::string& path, ParameterRecord& record);
// Saves record to path without ever damaging an existing file: the bytes go to a
// temporary file in the same folder, which replaces path only once all 85 were written.
FileResult SaveSettingsFile(const std::string& path, const ParameterRecord& record);
// Whether path can be opened for reading (the overwrite prompt's test).
bool SettingsFileExists(const std::string& path);

// The string-table id for a failed load (108, or 113 for a full disk, 114 unknown) and a
// failed save (112, 113 for a full disk, 114 unknown); 0 for Ok.
int LoadFailureMessage(FileResult result) noexcept;
int SaveFailureMessage(FileResult result) noexcept;
