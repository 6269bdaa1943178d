// The Read and Write commands as the window and the command-line tool run them, and the
// one mapping from the typed errors to the string table's messages.
#pragma once

#include <exception>

#include "KR640.h"

// 1000 bytes of 0x55 to the gyro's device, 500 ms, Read(true), then
// workingRecord := deviceRecord.
void RunReadCommand(KR640& gyro);
// Write(false), 500 ms, the verification read (Read(true) unless notUsingId, then
// Read(false)); TBX3::WriteError when the gyro's record differs from workingRecord.
void RunWriteCommand(KR640& gyro, bool notUsingId = false);

enum class CommandKind { Read, Write };
// The string-table id shown for a failure of a command, most derived type first:
// CompatibilityError 102, TBX3::OpenError 119, TBX3::ReadError and TBX3::WriteError 103
// for Read and 104 for Write, any other TBX3::ConnectionError 120. 0 for any other error.
int CommandFailureMessage(CommandKind kind, const std::exception& error) noexcept;
