// The command line of tarvex-cli: its commands, their arguments and the global options.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

// Exit statuses.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitDevice = 1;  // a device or protocol failure
inline constexpr int kExitDiffer = 1;  // diff: the settings differ
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFile = 3;

enum class Command { Read, Write, Servo, Show, Diff, Defaults, Backups, List };

// Every text is UTF-8 (file names on Windows too).
struct Options {
    Command command = Command::Read;
    std::vector<std::string> files;  // the command's file arguments, in order
    std::string output;              // read -o FILE; empty when not given
    bool json = false;               // read, show, backups, list
    bool noBackup = false;           // write --no-backup
    int position = 0;                // servo, 352..1696
    std::optional<double> seconds;   // servo; none streams until interrupted
    std::string driver;              // --driver PATH
    std::string adapter;             // --adapter SERIAL; empty opens the first adapter
    bool simulate = false;           // --simulate
    std::string language;            // en, de, ja; empty picks from the locale
};

struct ParsedCommandLine {
    enum class Outcome { Run, Help, Version, UsageError };
    Outcome outcome = Outcome::UsageError;
    Options options;
    std::string error;  // what was wrong, for UsageError
};

// Parses the arguments (the program name first, as main's argv gives them, in UTF-8).
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The --help text.
const char* HelpText();

}  // namespace cli
