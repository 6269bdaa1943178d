#include "cli/Tool.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Console.h"
#include "cli/Describe.h"
#include "cli/Options.h"
#include "cli/Servo.h"
#include "gyro/Backups.h"
#include "gyro/Commands.h"
#include "gyro/KR640.h"
#include "gyro/SettingsFile.h"
#include "link/TBX3.h"
#include "resources/strings/StringTable.h"

namespace cli {
namespace {

constexpr int kUnknownError = 114;

void Print(std::FILE* stream, const std::string& text) {
    Write(stream, text + "\n");
}

void Out(const std::string& text) {
    Print(stdout, text);
}

// Shows a string-table message on standard error; 0 (a failure without a message of its
// own) shows "Unknown error".
void Message(int id) {
    Print(stderr, strings::Text(id != 0 ? id : kUnknownError));
}

int Fail(int id, int status) {
    Message(id);
    return status;
}

std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A settings file is exactly 85 bytes; anything else is refused with "File read error.".
// Returns the message id of the failure, 0 when record holds the file.
int LoadFile(const std::string& path, ParameterRecord& record) {
    std::error_code error;
    const std::filesystem::path fsPath = FsPath(path);
    if (std::filesystem::is_regular_file(fsPath, error) &&
        std::filesystem::file_size(fsPath, error) != ParameterRecord::kSize) {
        return 108;
    }
    return LoadFailureMessage(LoadSettingsFile(path, record));
}

int SaveFile(const std::string& path, const ParameterRecord& record) {
    return SaveFailureMessage(SaveSettingsFile(path, record));
}

// The backups folder holds what the gyro held before each write, and only that: no other
// command saves there. True (with the reason on standard error) when path lies inside it.
bool RefusedAsBackup(const std::string& path) {
    if (!InBackupFolder(path)) return false;
    Print(stderr, strings::Format(strings::Text(137), path, BackupFolder()));
    return true;
}

void PrintRecord(const ParameterRecord& record, bool json) {
    if (json) {
        Write(stdout, JsonText(DescribeJson(record)));
        return;
    }
    std::string text;
    for (const std::string& line : DescribeLines(record)) text += line + "\n";
    Write(stdout, text);
}

// Loads the driver library as the window does at start-up: a missing driver is message
// 118. 0 on success.
int LoadDriver(const Options& options) {
    if (options.simulate) {
        const std::string path = D2xxDriver::FindBesideProgram(D2xxDriver::kVirtualGyroFile);
        if (path.empty()) return 118;
        SetEnvironment("TARVEX_D2XX", path);
    } else if (!options.driver.empty()) {
        // A relative --driver is the user's own choice, taken from the working folder.
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(FsPath(options.driver), error);
        const std::u8string text = error ? FsPath(options.driver).u8string() : full.u8string();
        SetEnvironment("TARVEX_D2XX", std::string(text.begin(), text.end()));
    }
    if (const std::string problem = D2xxDriver::ChosenLibraryProblem(); !problem.empty())
        Print(stderr, "tarvex-cli: " + problem);
    try {
        g_adapter.Initialize();
    } catch (const std::exception&) {
        return 118;
    }
    return 0;
}

// Loads the driver and opens the adapter (the one --adapter names, or the first) as the
// window does at start-up: a missing driver is message 118, any other connection failure
// 119. 0 on success.
int Connect(const Options& options) {
    if (const int id = LoadDriver(options)) return id;
    try {
        g_adapter.SelectAdapter(options.adapter);
        g_adapter.Open();
    } catch (const TBX3::ConnectionError&) {
        return 119;
    } catch (const std::exception&) {
        return kUnknownError;
    }
    return 0;
}

// Runs one gyro command; the message id of its failure, 0 on success.
template <typename Run>
int Attempt(CommandKind kind, Run run) {
    try {
        run();
        return 0;
    } catch (const std::exception& error) {
        const int id = CommandFailureMessage(kind, error);
        return id != 0 ? id : kUnknownError;
    }
}

int ReadGyro(KR640& gyro) {
    return Attempt(CommandKind::Read, [&] { RunReadCommand(gyro); });
}

int RunRead(const Options& options) {
    // Refused before the gyro is touched.
    if (!options.output.empty() && RefusedAsBackup(options.output)) return kExitFile;
    if (const int id = Connect(options)) return Fail(id, kExitDevice);
    KR640 gyro(g_adapter);
    if (const int id = ReadGyro(gyro)) return Fail(id, kExitDevice);
    Message(117);
    PrintRecord(gyro.workingRecord, options.json);
    if (!options.output.empty()) {
        if (const int id = SaveFile(options.output, gyro.workingRecord)) {
            return Fail(id, kExitFile);
        }
    }
    return kExitSuccess;
}

int RunWrite(const Options& options) {
    // The file is checked before the gyro is touched.
    ParameterRecord fromFile{};
    if (const int id = LoadFile(options.files[0], fromFile)) return Fail(id, kExitFile);
    if (const int id = Connect(options)) return Fail(id, kExitDevice);
    KR640 gyro(g_adapter);
    if (const int id = ReadGyro(gyro)) return Fail(id, kExitDevice);
    // What the gyro held is kept before the first page goes out.
    BackupResult backup;
    if (!options.noBackup) {
        const std::string folder = BackupFolder();
        backup = SaveBackup(folder, gyro.deviceRecord, std::time(nullptr));
        if (backup.outcome == BackupOutcome::Failed) {
            const std::string reason = backup.error
                                           ? backup.error.message()
                                           : strings::Text(SaveFailureMessage(backup.file));
            Print(stderr, strings::Format(strings::Text(136), folder, reason));
            return kExitFile;
        }
    }
    gyro.workingRecord = fromFile;
    if (const int id = Attempt(CommandKind::Write, [&] { RunWriteCommand(gyro); })) {
        return Fail(id, kExitDevice);
    }
    Message(105);
    if (!options.noBackup) {
        Out("The gyro's previous settings are kept in " + backup.path);
    }
    return kExitSuccess;
}

// The backups, newest first: ID, local time and file, or a JSON array of them.
int RunBackups(const Options& options) {
    const std::string folder = BackupFolder();
    const std::vector<BackupEntry> backups = ListBackups(folder);
    if (options.json) {
        Json list = Json::array();
        for (const BackupEntry& b : backups) {
            std::string time = b.time;
            for (char& c : time) c = c == ' ' ? 'T' : c;
            list.push_back(Json{{"gyroId", b.gyroId}, {"time", time}, {"path", b.path}});
        }
        Write(stdout, JsonText(list));
        return kExitSuccess;
    }
    for (const BackupEntry& b : backups) {
        char id[16];
        std::snprintf(id, sizeof id, "%5d", static_cast<int>(b.gyroId));
        Out(std::string(id) + "  " + b.time + "  " + b.path);
    }
    if (backups.empty()) Print(stderr, "No backups in " + folder);
    return kExitSuccess;
}

// Set by SIGINT and SIGTERM while the servo is driven, so that the drive ends through the
// limit procedure's stop instead of leaving the gyro in its limit mode.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}

class InterruptScope {
  public:
    InterruptScope() {
        g_interrupted.store(false);
        oldInt_ = std::signal(SIGINT, OnInterrupt);
        oldTerm_ = std::signal(SIGTERM, OnInterrupt);
    }
    ~InterruptScope() {
        std::signal(SIGINT, oldInt_);
        std::signal(SIGTERM, oldTerm_);
    }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

  private:
    using Handler = void (*)(int);
    Handler oldInt_ = SIG_DFL;
    Handler oldTerm_ = SIG_DFL;
};

// A number of seconds as Qt's QString::arg(double) wrote it: at most six significant
// digits, no trailing zeros ("0.3", "2.5", "86400").
std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

int RunServo(const Options& options) {
    if (const int id = Connect(options)) return Fail(id, kExitDevice);
    KR640 gyro(g_adapter);
    if (const int id = ReadGyro(gyro)) return Fail(id, kExitDevice);

    std::optional<std::chrono::duration<double>> duration;
    if (options.seconds) duration = std::chrono::duration<double>(*options.seconds);
    int failure = 0;
    {
        // Interrupts are caught before the position is announced.
        InterruptScope interrupts;
        const int raw = positionToLimitRaw(options.position);
        Out("Rudder channel: " + std::to_string(gyro.workingRecord.rudderChannel() + 1));
        // The percentage drops the sign, as the window's Position box does; say the side.
        const char* side = options.position < kServoPositionCentre   ? ", below neutral"
                           : options.position > kServoPositionCentre ? ", above neutral"
                                                                     : "";
        Out("Position: " + std::to_string(limitPercent(static_cast<std::uint16_t>(raw))) + " % (" +
            std::to_string(raw) + ")" + side);
        Out(duration ? "Holding for " + Seconds(*options.seconds) + " s."
                     : std::string("Holding until interrupted (Ctrl+C)."));
        failure = DriveServo(gyro, options.position, duration, g_interrupted);
    }
    if (failure != 0) return Fail(failure, kExitDevice);
    Out("Stopped: the gyro has left its limit mode.");
    return kExitSuccess;
}

int RunList(const Options& options) {
    if (const int id = LoadDriver(options)) return Fail(id, kExitDevice);
    std::vector<TBX3::AdapterInfo> adapters;
    try {
        adapters = g_adapter.ListAdapters();
    } catch (const std::exception&) {
        return Fail(119, kExitDevice);
    }
    if (options.json) {
        Json array = Json::array();
        for (const TBX3::AdapterInfo& a : adapters) {
            array.push_back(Json{{"index", static_cast<int>(a.index)},
                                 {"serial", a.serial},
                                 {"description", a.description}});
        }
        Write(stdout, JsonText(array));
        return kExitSuccess;
    }
    for (const TBX3::AdapterInfo& a : adapters) {
        Out(std::to_string(a.index) + "  " + a.serial + "  " + a.description);
    }
    return kExitSuccess;
}

int RunShow(const Options& options) {
    ParameterRecord record{};
    if (const int id = LoadFile(options.files[0], record)) return Fail(id, kExitFile);
    PrintRecord(record, options.json);
    return kExitSuccess;
}

int RunDiff(const Options& options) {
    ParameterRecord a{};
    ParameterRecord b{};
    if (const int id = LoadFile(options.files[0], a)) return Fail(id, kExitFile);
    if (const int id = LoadFile(options.files[1], b)) return Fail(id, kExitFile);
    std::string text;
    for (const std::string& line : DiffLines(a, b)) text += line + "\n";
    Write(stdout, text);
    return SettingsDiffer(a, b) ? kExitDiffer : kExitSuccess;
}

int RunDefaults(const Options& options) {
    // A fresh record as the gyro object starts with: model code 0x80, ID 0.
    ParameterRecord record{};
    record.setModelCode(ParameterRecord::kModelCodeKR640);
    resetToDefaults(record);
    if (RefusedAsBackup(options.files[0])) return kExitFile;
    if (const int id = SaveFile(options.files[0], record)) return Fail(id, kExitFile);
    return kExitSuccess;
}

}  // namespace

int RunTool(const std::vector<std::string>& arguments) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    switch (parsed.outcome) {
        case ParsedCommandLine::Outcome::Help:
            Write(stdout, HelpText());
            return kExitSuccess;
        case ParsedCommandLine::Outcome::Version:
            Out("tarvex-cli " TARVEX_VERSION);
            return kExitSuccess;
        case ParsedCommandLine::Outcome::UsageError:
            Print(stderr, "tarvex-cli: " + parsed.error + "\nTry 'tarvex-cli --help'.");
            return kExitUsage;
        case ParsedCommandLine::Outcome::Run:
            break;
    }

    const Options& options = parsed.options;
    // The table is compiled in: choosing costs nothing, and show and diff need it too.
    strings::ChooseLanguage(options.language);
    switch (options.command) {
        case Command::Read:
            return RunRead(options);
        case Command::Write:
            return RunWrite(options);
        case Command::Servo:
            return RunServo(options);
        case Command::Show:
            return RunShow(options);
        case Command::Diff:
            return RunDiff(options);
        case Command::Defaults:
            return RunDefaults(options);
        case Command::Backups:
            return RunBackups(options);
        case Command::List:
            return RunList(options);
    }
    return kExitUsage;
}

}  // namespace cli
