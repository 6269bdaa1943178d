#include "cli/Tool.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

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

void Print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void Out(const QString& text) {
    Print(stdout, text);
}

// The language is settled when the first message is shown, so the commands that print
// settings alone never load a translation.
struct LanguageChoice {
    QCoreApplication* app = nullptr;
    QString requested;
    bool chosen = false;
};
LanguageChoice language;

void SettleLanguage() {
    if (!language.chosen && language.app != nullptr) {
        strings::chooseLanguage(*language.app, language.requested);
        language.chosen = true;
    }
}

// Shows a string-table message on standard error; 0 (a failure without a message of its
// own) shows "Unknown error".
void Message(int id) {
    SettleLanguage();
    Print(stderr, strings::text(id != 0 ? id : kUnknownError));
}

int Fail(int id, int status) {
    Message(id);
    return status;
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A settings file is exactly 85 bytes; anything else is refused with "File read error.".
// Returns the message id of the failure, 0 when record holds the file.
int LoadFile(const QString& path, ParameterRecord& record) {
    const QFileInfo info(path);
    if (info.isFile() && info.size() != static_cast<qint64>(ParameterRecord::kSize)) return 108;
    return LoadFailureMessage(LoadSettingsFile(LocalPath(path), record));
}

int SaveFile(const QString& path, const ParameterRecord& record) {
    return SaveFailureMessage(SaveSettingsFile(LocalPath(path), record));
}

void PrintRecord(const ParameterRecord& record, bool json) {
    if (json) {
        const QByteArray text = QJsonDocument(DescribeJson(record)).toJson();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        std::fflush(stdout);
        return;
    }
    for (const QString& line : DescribeLines(record)) Out(line);
}

// Loads the driver library as the window does at start-up: a missing driver is message
// 118. 0 on success.
int LoadDriver(const Options& options) {
    if (options.simulate) {
        const std::string path = D2xxDriver::FindBesideProgram(D2xxDriver::kVirtualGyroFile);
        if (path.empty()) return 118;
        qputenv("TARVEX_D2XX", QByteArray::fromStdString(path));
    } else if (!options.driver.isEmpty()) {
        qputenv("TARVEX_D2XX", QFile::encodeName(options.driver));
    }
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
        g_adapter.SelectAdapter(options.adapter.toStdString());
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
    if (const int id = Connect(options)) return Fail(id, kExitDevice);
    KR640 gyro(g_adapter);
    if (const int id = ReadGyro(gyro)) return Fail(id, kExitDevice);
    Message(117);
    PrintRecord(gyro.workingRecord, options.json);
    if (!options.output.isEmpty()) {
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
            SettleLanguage();
            const QString reason = backup.error ? QString::fromLocal8Bit(backup.error.message())
                                                : strings::text(SaveFailureMessage(backup.file));
            Print(stderr, strings::text(136).arg(QFile::decodeName(folder.c_str()), reason));
            return kExitFile;
        }
    }
    gyro.workingRecord = fromFile;
    if (const int id = Attempt(CommandKind::Write, [&] { RunWriteCommand(gyro); })) {
        return Fail(id, kExitDevice);
    }
    Message(105);
    if (!options.noBackup) {
        Out(QStringLiteral("The gyro's previous settings are kept in %1")
                .arg(QFile::decodeName(backup.path.c_str())));
    }
    return kExitSuccess;
}

// The backups, newest first: ID, local time and file, or a JSON array of them.
int RunBackups(const Options& options) {
    const std::string folder = BackupFolder();
    const std::vector<BackupEntry> backups = ListBackups(folder);
    if (options.json) {
        QJsonArray list;
        for (const BackupEntry& b : backups) {
            list.append(QJsonObject{
                {QStringLiteral("gyroId"), b.gyroId},
                {QStringLiteral("time"), QString::fromStdString(b.time).replace(u' ', u'T')},
                {QStringLiteral("path"), QFile::decodeName(b.path.c_str())}});
        }
        const QByteArray text = QJsonDocument(list).toJson();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        std::fflush(stdout);
        return kExitSuccess;
    }
    for (const BackupEntry& b : backups) {
        Out(QStringLiteral("%1  %2  %3")
                .arg(b.gyroId, 5)
                .arg(QString::fromStdString(b.time), QFile::decodeName(b.path.c_str())));
    }
    if (backups.empty()) {
        Print(stderr, QStringLiteral("No backups in %1").arg(QFile::decodeName(folder.c_str())));
    }
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
        Out(QStringLiteral("Rudder channel: %1").arg(gyro.workingRecord.rudderChannel() + 1));
        // The percentage drops the sign, as the window's Position box does; say the side.
        const QString side =
            options.position < kServoPositionCentre   ? QStringLiteral(", below neutral")
            : options.position > kServoPositionCentre ? QStringLiteral(", above neutral")
                                                      : QString();
        Out(QStringLiteral("Position: %1 % (%2)%3")
                .arg(limitPercent(static_cast<std::uint16_t>(raw)))
                .arg(raw)
                .arg(side));
        Out(duration ? QStringLiteral("Holding for %1 s.").arg(*options.seconds)
                     : QStringLiteral("Holding until interrupted (Ctrl+C)."));
        failure = DriveServo(gyro, options.position, duration, g_interrupted);
    }
    if (failure != 0) return Fail(failure, kExitDevice);
    Out(QStringLiteral("Stopped: the gyro has left its limit mode."));
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
        QJsonArray array;
        for (const TBX3::AdapterInfo& a : adapters) {
            array.append(QJsonObject{
                {QStringLiteral("index"), static_cast<int>(a.index)},
                {QStringLiteral("serial"), QString::fromStdString(a.serial)},
                {QStringLiteral("description"), QString::fromStdString(a.description)}});
        }
        const QByteArray text = QJsonDocument(array).toJson();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        std::fflush(stdout);
        return kExitSuccess;
    }
    for (const TBX3::AdapterInfo& a : adapters) {
        Out(QStringLiteral("%1  %2  %3")
                .arg(a.index)
                .arg(QString::fromStdString(a.serial), QString::fromStdString(a.description)));
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
    for (const QString& line : DiffLines(a, b)) Out(line);
    return SettingsDiffer(a, b) ? kExitDiffer : kExitSuccess;
}

int RunDefaults(const Options& options) {
    // A fresh record as the gyro object starts with: model code 0x80, ID 0.
    ParameterRecord record{};
    record.setModelCode(ParameterRecord::kModelCodeKR640);
    resetToDefaults(record);
    if (const int id = SaveFile(options.files[0], record)) return Fail(id, kExitFile);
    return kExitSuccess;
}

}  // namespace

int RunTool(QCoreApplication& app, const QStringList& arguments) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    switch (parsed.outcome) {
        case ParsedCommandLine::Outcome::Help:
            std::fputs(HelpText().toUtf8().constData(), stdout);
            return kExitSuccess;
        case ParsedCommandLine::Outcome::Version:
            Out(QStringLiteral("tarvex-cli %1").arg(QStringLiteral(TARVEX_VERSION)));
            return kExitSuccess;
        case ParsedCommandLine::Outcome::UsageError:
            Print(stderr,
                  QStringLiteral("tarvex-cli: %1\nTry 'tarvex-cli --help'.").arg(parsed.error));
            return kExitUsage;
        case ParsedCommandLine::Outcome::Run:
            break;
    }

    const Options& options = parsed.options;
    language = {&app, options.language, false};
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
