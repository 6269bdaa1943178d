// Where a file the program writes is kept beyond its own file system. On the desktop the
// file system is the store and there is nothing more to do. The browser edition works on
// an in-memory file system and keeps every file as its own entry in the browser's storage:
// it sets a hook that stores the bytes and reports whether the browser took them, so a
// file the browser did not keep is a failed save like a full disk on the desktop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "SettingsFile.h"

// Called with a file's path and its complete new contents before the file takes its place
// (bytes null and size 0: the file at path was removed). Ok when the store kept it.
using FileCommitHook = FileResult (*)(const std::string& path, const std::uint8_t* bytes,
                                      std::size_t size);

// nullptr restores the default, which keeps nothing and reports Ok.
void SetFileCommitHook(FileCommitHook hook) noexcept;

FileResult CommitFile(const std::string& path, const std::uint8_t* bytes, std::size_t size);
FileResult CommitRemoval(const std::string& path);
