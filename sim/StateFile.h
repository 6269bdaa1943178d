// Where the virtual gyro keeps its settings between runs: one file holding the 85-byte
// record, written to a temporary file and renamed over the old one.
#pragma once

#include <optional>
#include <string>

#include "gyro/ParameterRecord.h"

namespace vgyro {

// The state file's path: TARVEX_VGYRO_STATE when set ("none" gives the empty path: memory
// only), else $XDG_STATE_HOME/tarvex/vgyro.state, else ~/.local/state/tarvex/vgyro.state;
// empty when there is no home either.
std::string StatePath();

// The record stored at path; nothing when the path is empty, the file is missing, not
// exactly 85 bytes, or not a record the gyro could hold (see PlausibleRecord).
std::optional<ParameterRecord> LoadState(const std::string& path);

// Writes the record, creating the folders; false on any failure (the old file stays).
// An empty path stores nothing and succeeds.
bool SaveState(const std::string& path, const ParameterRecord& record);

// Called after each state file written (the browser edition keeps it in its storage; the
// desktop sets none). The virtual gyro links no library of the program, so it has its own.
using StateCommitHook = void (*)(const std::string& path, const ParameterRecord& record);
void SetStateCommitHook(StateCommitHook hook) noexcept;

}  // namespace vgyro
