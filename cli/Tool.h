// tarvex-cli's commands: the window's Read and Write commands, the servo drive of the limit
// procedure, and the settings-file commands, reporting through the string table.
#pragma once

#include <string>
#include <vector>

namespace cli {

// Runs the command line (the program name first, UTF-8) and returns the exit status (see
// Options.h). Settings go to standard output, messages to standard error.
int RunTool(const std::vector<std::string>& arguments);

}  // namespace cli
