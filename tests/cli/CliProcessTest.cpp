// tarvex-cli run as a program against the virtual gyro.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>

#include "gyro/ParameterRecord.h"

namespace {

struct Result {
    int status = -1;
    QString out;
    QString err;
};

class CliProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("TARVEX_VGYRO_FAST", "1");
        env_.insert("TARVEX_VGYRO_STATE", Path("vgyro.state"));
        env_.remove("TARVEX_VGYRO_FAULTS");
        env_.remove("TARVEX_D2XX");
        // Every write keeps a backup under the state folder: a scratch one.
        env_.insert("XDG_STATE_HOME", Path("state"));
        // English unless a test asks otherwise.
        env_.insert("LC_ALL", "C");
        env_.insert("LANG", "C");
        env_.remove("LANGUAGE");
        env_.remove("LC_MESSAGES");
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    Result Run(const QStringList& args) const {
        QProcess process;
        process.setProcessEnvironment(env_);
        process.start(QStringLiteral(TARVEX_CLI_PATH), args);
        Result result;
        if (!process.waitForStarted(10000) || !process.waitForFinished(60000)) {
            ADD_FAILURE() << "tarvex-cli did not run: " << args.join(' ').toStdString();
            process.kill();
            process.waitForFinished();
            return result;
        }
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << args.join(' ').toStdString();
        result.status = process.exitCode();
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    // A command through the virtual gyro.
    Result RunGyro(QStringList args) const {
        args.prepend(QStringLiteral(TARVEX_VGYRO_PATH));
        args.prepend(QStringLiteral("--driver"));
        return Run(args);
    }

    void Faults(const QString& faults) { env_.insert("TARVEX_VGYRO_FAULTS", faults); }

    QByteArray ReadFile(const QString& path) const {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }
    void WriteFile(const QString& path, const QByteArray& bytes) const {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    static ParameterRecord ToRecord(const QByteArray& bytes) {
        ParameterRecord record{};
        EXPECT_EQ(bytes.size(), 85);
        std::memcpy(record.bytes.data(), bytes.constData(),
                    std::min<std::size_t>(85, static_cast<std::size_t>(bytes.size())));
        return record;
    }
    static QByteArray ToBytes(const ParameterRecord& record) {
        return QByteArray(reinterpret_cast<const char*>(record.bytes.data()), 85);
    }

    QTemporaryDir dir_;
    QProcessEnvironment env_;
};

ParameterRecord Defaults() {
    ParameterRecord record{};
    record.setModelCode(0x80);
    resetToDefaults(record);
    return record;
}

// ---- gyro commands --------------------------------------------------------------------

TEST_F(CliProcessTest, ReadPrintsEverySettingAndSavesTheRecord) {
    const Result read = RunGyro({"read", "-o", Path("gyro.tcf")});
    ASSERT_EQ(read.status, 0) << read.err.toStdString();
    EXPECT_EQ(read.err, "The connection succeeded.\n");
    const QByteArray saved = ReadFile(Path("gyro.tcf"));
    ASSERT_EQ(saved.size(), 85);

    // What read printed is what show prints for the saved record.
    const Result show = Run({"show", Path("gyro.tcf")});
    ASSERT_EQ(show.status, 0);
    EXPECT_EQ(read.out, show.out);
    EXPECT_TRUE(read.out.contains("\nFlight Mode: ")) << read.out.toStdString();

    const Result json = RunGyro({"read", "--json"});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    QJsonParseError error{};
    const QJsonObject object = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    EXPECT_EQ(QByteArray::fromHex(object["record"].toString().toLatin1()), saved);
    EXPECT_EQ(object["gyroId"].toInt(), ToRecord(saved).gyroId());
    EXPECT_EQ(object["limitHigh"].toInt(), ToRecord(saved).limitHigh());
}

TEST_F(CliProcessTest, WriteStoresTheFileInTheGyro) {
    ASSERT_EQ(RunGyro({"read", "-o", Path("before.tcf")}).status, 0);
    ParameterRecord wanted = ToRecord(ReadFile(Path("before.tcf")));
    wanted.setDGain(static_cast<std::uint8_t>(wanted.dGain() == 100 ? 101 : 100));
    wanted.setFlightMode(wanted.flightMode() ? 0 : 1);
    applyModeTable(wanted);
    WriteFile(Path("wanted.tcf"), ToBytes(wanted));

    const Result write = RunGyro({"write", Path("wanted.tcf")});
    ASSERT_EQ(write.status, 0) << write.err.toStdString();
    EXPECT_EQ(write.err, "The writing suceeded.\n");

    // A later run finds the written settings in the gyro.
    ASSERT_EQ(RunGyro({"read", "-o", Path("after.tcf")}).status, 0);
    const Result diff = Run({"diff", Path("wanted.tcf"), Path("after.tcf")});
    EXPECT_EQ(diff.status, 0) << diff.out.toStdString();
    EXPECT_EQ(Run({"diff", Path("before.tcf"), Path("after.tcf")}).status, 1);
}

// The backups as tarvex-cli lists them, newest first.
QJsonArray ListedBackups(const Result& listed) {
    EXPECT_EQ(listed.status, 0) << listed.err.toStdString();
    return QJsonDocument::fromJson(listed.out.toUtf8()).array();
}

TEST_F(CliProcessTest, WriteKeepsTheGyrosPreviousSettings) {
    ASSERT_EQ(RunGyro({"read", "-o", Path("before.tcf")}).status, 0);
    ParameterRecord wanted = ToRecord(ReadFile(Path("before.tcf")));
    wanted.setDGain(static_cast<std::uint8_t>(wanted.dGain() == 100 ? 101 : 100));
    WriteFile(Path("wanted.tcf"), ToBytes(wanted));
    const QString folder = Path("state/tarvex/backups");

    // Writing the same file again keeps what the first write left in the gyro (its image
    // checksum is the gyro's own); writing the old settings back finds what they replace
    // already kept.
    struct Step {
        const char* file;
        int backups;
    };
    const Step steps[] = {{"wanted.tcf", 1}, {"wanted.tcf", 2}, {"before.tcf", 2}};
    for (const Step& step : steps) {
        ASSERT_EQ(RunGyro({"read", "-o", Path("held.tcf")}).status, 0);
        const Result write = RunGyro({"write", Path(step.file)});
        ASSERT_EQ(write.status, 0) << write.err.toStdString();
        const QJsonArray listed = ListedBackups(Run({"backups", "--json"}));
        ASSERT_EQ(listed.size(), step.backups) << step.file;
        const QJsonObject newest = listed.first().toObject();
        const QString path = newest["path"].toString();
        EXPECT_EQ(QFileInfo(path).absolutePath(), folder);
        EXPECT_EQ(ReadFile(path), ReadFile(Path("held.tcf"))) << step.file;
        EXPECT_EQ(newest["gyroId"].toInt(), wanted.gyroId());
        // Named by ID and the listed time: 2026-12-07T14:30:15 is 1234-20261207-143015.
        const QString stamp = newest["time"].toString().remove('-').remove(':').replace('T', '-');
        EXPECT_TRUE(QFileInfo(path).fileName().startsWith(
            QStringLiteral("%1-%2").arg(wanted.gyroId()).arg(stamp)))
            << path.toStdString();
        EXPECT_EQ(write.out, "The gyro's previous settings are kept in " + path + "\n");
    }
    const Result text = Run({"backups"});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out.count('\n'), 2);
    EXPECT_TRUE(text.out.startsWith(QStringLiteral("%1  ").arg(wanted.gyroId(), 5)))
        << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(folder + "/")) << text.out.toStdString();
}

TEST_F(CliProcessTest, UnsavableBackupStopsTheWrite) {
    ASSERT_EQ(RunGyro({"read", "-o", Path("before.tcf")}).status, 0);
    WriteFile(Path("defaults.tcf"), ToBytes(Defaults()));
    // No folder can be made inside a file, not even by root.
    ASSERT_TRUE(QDir(dir_.path()).mkdir("blocked"));
    WriteFile(Path("blocked/tarvex"), "a file");
    env_.insert("XDG_STATE_HOME", Path("blocked"));

    const Result refused = RunGyro({"write", Path("defaults.tcf")});
    EXPECT_EQ(refused.status, 3);
    EXPECT_TRUE(refused.err.startsWith("The gyro's current settings could not be backed up to " +
                                       Path("blocked/tarvex/backups") + " ("))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.err.endsWith("Nothing was written; --no-backup writes without a backup.\n"))
        << refused.err.toStdString();
    ASSERT_EQ(RunGyro({"read", "-o", Path("after.tcf")}).status, 0);
    EXPECT_EQ(ReadFile(Path("after.tcf")), ReadFile(Path("before.tcf")));

    const Result written = RunGyro({"write", "--no-backup", Path("defaults.tcf")});
    EXPECT_EQ(written.status, 0) << written.err.toStdString();
    EXPECT_TRUE(written.out.isEmpty()) << written.out.toStdString();
    ASSERT_EQ(RunGyro({"read", "-o", Path("after.tcf")}).status, 0);
    EXPECT_EQ(Run({"diff", Path("defaults.tcf"), Path("after.tcf")}).status, 0);
    EXPECT_TRUE(ListedBackups(Run({"backups", "--json"})).isEmpty());
}

struct FaultCase {
    const char* command;  // read or write
    const char* faults;
    const char* message;
};

TEST_F(CliProcessTest, DeviceFailuresGiveTheWindowsMessages) {
    WriteFile(Path("defaults.tcf"), ToBytes(Defaults()));
    const FaultCase cases[] = {
        {"read", "no-device", "A TBX-3 is not connected."},
        {"read", "fail=FT_Open", "A TBX-3 is not connected."},
        {"read", "fail=FT_SetBaudRate", "A TBX-3 is not connected."},
        {"read", "no-reply", "Read error"},
        {"read", "cut=50", "Read error"},
        {"read", "bad-header", "Read error"},
        {"read", "bad-sum", "Read error"},
        {"read", "fail=FT_Write", "Read error"},
        {"read", "fail=FT_Read", "Read error"},
        {"read", "fail=FT_Purge", "The TBX-3 is not working."},
        {"read", "model=0x81", "This data is not compatible with KR640."},
        {"write", "no-reply", "Read error"},  // the read before the write
        {"write", "store-differs", "Write error"},
        {"write", "write-fails-after=2", "Write error"},
        {"write", "model=0x81", "This data is not compatible with KR640."},
    };
    for (const FaultCase& c : cases) {
        Faults(QString::fromLatin1(c.faults));
        QStringList args{QString::fromLatin1(c.command)};
        if (QLatin1String(c.command) == QLatin1String("write")) args << Path("defaults.tcf");
        const Result result = RunGyro(args);
        EXPECT_EQ(result.status, 1) << c.command << " " << c.faults;
        EXPECT_EQ(result.err, QString::fromLatin1(c.message) + "\n")
            << c.command << " " << c.faults;
        EXPECT_TRUE(result.out.isEmpty()) << c.command << " " << c.faults;
    }
}

TEST_F(CliProcessTest, MissingDriverLibrary) {
    const Result result = Run({"--driver", Path("no-such-library.so"), "read"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "The device driver for TBX-3 is not installed.\n");
}

TEST_F(CliProcessTest, SimulateFindsTheVirtualGyroBesideTheProgram) {
    const Result result = Run({"--simulate", "read"});
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.err, "The connection succeeded.\n");
}

// The virtual gyro is one adapter, serial number VGYRO0001.
TEST_F(CliProcessTest, ListsAdaptersAndOpensOneBySerialNumber) {
    const Result text = RunGyro({"list"});
    EXPECT_EQ(text.status, 0) << text.err.toStdString();
    EXPECT_EQ(text.out, "0  VGYRO0001  TBX-3 (virtual)\n");
    const Result json = RunGyro({"list", "--json"});
    EXPECT_EQ(QJsonDocument::fromJson(json.out.toUtf8()),
              QJsonDocument(QJsonArray{QJsonObject{
                  {"index", 0}, {"serial", "VGYRO0001"}, {"description", "TBX-3 (virtual)"}}}));

    const Result named = RunGyro({"--adapter", "VGYRO0001", "read"});
    EXPECT_EQ(named.status, 0) << named.err.toStdString();
    const Result unknown = RunGyro({"--adapter", "VGYRO0002", "read"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "A TBX-3 is not connected.\n");

    Faults("no-device");
    const Result none = RunGyro({"list", "--json"});
    EXPECT_EQ(none.status, 0) << none.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(none.out.toUtf8()), QJsonDocument(QJsonArray{}));
}

TEST_F(CliProcessTest, ServoStreamsAndStops) {
    const Result result = RunGyro({"servo", "--position", "1472", "--seconds", "0.3"});
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains("Position: 100 % (4656), above neutral\nHolding for 0.3 s.\n"))
        << result.out.toStdString();
    EXPECT_TRUE(result.out.endsWith("Stopped: the gyro has left its limit mode.\n"))
        << result.out.toStdString();
    EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();
}

TEST_F(CliProcessTest, ServoWithoutDurationRunsUntilInterrupted) {
    QProcess process;
    process.setProcessEnvironment(env_);
    process.start(QStringLiteral(TARVEX_CLI_PATH),
                  {"--driver", TARVEX_VGYRO_PATH, "servo", "--position", "600"});
    ASSERT_TRUE(process.waitForStarted(10000));
    QByteArray out;
    while (!out.contains("Position:") && process.waitForReadyRead(10000)) {
        out += process.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("Position: 95 % (2694), below neutral")) << out.toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    out += process.readAllStandardOutput();
    EXPECT_TRUE(out.contains("Holding until interrupted (Ctrl+C).\n")) << out.toStdString();
    EXPECT_TRUE(out.endsWith("Stopped: the gyro has left its limit mode.\n")) << out.toStdString();
}

// ---- settings files ---------------------------------------------------------------------

TEST_F(CliProcessTest, DefaultsWritesTheFactoryRecord) {
    const Result result = Run({"defaults", Path("d.tcf")});
    ASSERT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(ReadFile(Path("d.tcf")), ToBytes(Defaults()));

    // Over an existing file too.
    WriteFile(Path("old.tcf"), QByteArray(85, '\x11'));
    ASSERT_EQ(Run({"defaults", Path("old.tcf")}).status, 0);
    EXPECT_EQ(ReadFile(Path("old.tcf")), ToBytes(Defaults()));
}

TEST_F(CliProcessTest, ShowInTheWindowsWords) {
    ASSERT_EQ(Run({"defaults", Path("d.tcf")}).status, 0);
    const Result show = Run({"show", Path("d.tcf")});
    ASSERT_EQ(show.status, 0);
    EXPECT_TRUE(show.out.startsWith("ID: 0\nRudder channel: 2\n")) << show.out.toStdString();
    EXPECT_TRUE(show.out.contains("\nLimit High: 100 % (4656)\n"));

    const Result json = Run({"show", "--json", Path("d.tcf")});
    ASSERT_EQ(json.status, 0);
    const QJsonObject object = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(object["limitHigh"].toInt(), 4656);
    EXPECT_EQ(object["shown"].toObject()["servoMode"].toString(), "Digital (1520)");
}

TEST_F(CliProcessTest, DiffListsTheDifferingSettings) {
    ParameterRecord a = Defaults();
    ParameterRecord b = a;
    b.setFlightMode(0);
    b.setRecordPad(7);  // not a setting: ignored
    WriteFile(Path("a.tcf"), ToBytes(a));
    WriteFile(Path("b.tcf"), ToBytes(b));
    Result diff = Run({"diff", Path("a.tcf"), Path("b.tcf")});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(diff.out, "Flight Mode: F3C -> 3D\n");

    b = a;
    b.setImageChecksum(0x1234);
    b.setRecordReserved(1);
    WriteFile(Path("b.tcf"), ToBytes(b));
    diff = Run({"diff", Path("a.tcf"), Path("b.tcf")});
    EXPECT_EQ(diff.status, 0);
    EXPECT_TRUE(diff.out.isEmpty());
}

TEST_F(CliProcessTest, BadFilesAreRefused) {
    WriteFile(Path("empty.tcf"), {});
    WriteFile(Path("short.tcf"), QByteArray(84, '\0'));
    WriteFile(Path("long.tcf"), QByteArray(86, '\0'));
    WriteFile(Path("good.tcf"), ToBytes(Defaults()));
    WriteFile(Path("unreadable.tcf"), ToBytes(Defaults()));
    QFile::setPermissions(Path("unreadable.tcf"), QFileDevice::WriteOwner);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.tcf"));
    QStringList bad = {Path("missing.tcf"), Path("empty.tcf"), Path("short.tcf"), Path("long.tcf"),
                       Path("folder.tcf")};
    if (::geteuid() != 0) bad << Path("unreadable.tcf");  // root reads it anyway

    for (const QString& file : bad) {
        // write checks its file before it looks for the gyro: no driver is needed.
        const QStringList commands[] = {{"show", file},
                                        {"diff", file, Path("good.tcf")},
                                        {"diff", Path("good.tcf"), file},
                                        {"--driver", Path("none.so"), "write", file}};
        for (const QStringList& args : commands) {
            const Result result = Run(args);
            EXPECT_EQ(result.status, 3) << args.join(' ').toStdString();
            EXPECT_EQ(result.err, "File read error.\n") << args.join(' ').toStdString();
        }
    }
}

TEST_F(CliProcessTest, SavingFailures) {
    Result full = Run({"defaults", "/dev/full"});
    EXPECT_EQ(full.status, 3);
    EXPECT_EQ(full.err, "There is not enough space in the drive.\n");

    full = RunGyro({"read", "-o", "/dev/full"});
    EXPECT_EQ(full.status, 3);
    EXPECT_EQ(full.err, "The connection succeeded.\nThere is not enough space in the drive.\n");

    const Result noFolder = Run({"defaults", Path("no-such-folder/d.tcf")});
    EXPECT_EQ(noFolder.status, 3);
    EXPECT_EQ(noFolder.err, "File write error.\n");
    EXPECT_FALSE(QFile::exists(Path("no-such-folder")));
}

// ---- command line and language ----------------------------------------------------------

TEST_F(CliProcessTest, UsageErrorsExitWithTwo) {
    const QStringList cases[] = {{}, {"--bogus", "read"}, {"servo", "--position", "2000"}};
    for (const QStringList& args : cases) {
        const Result result = Run(args);
        EXPECT_EQ(result.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(result.err.contains("tarvex-cli --help")) << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
    }
}

TEST_F(CliProcessTest, HelpAndVersion) {
    const Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: tarvex-cli")) << help.out.toStdString();
    const Result version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tarvex-cli " TARVEX_VERSION "\n");
}

TEST_F(CliProcessTest, MessagesInTheChosenLanguage) {
    Result result = Run({"--language", "de", "defaults", "/dev/full"});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.err, "Speicherplatzmangel, kann Daten nicht speichern.\n");

    result = RunGyro({"--language", "de", "read"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "Daten eingelesen.\n");
    // The settings in the window's own German words.
    EXPECT_TRUE(result.out.contains("\nFlug Modus: ")) << result.out.toStdString();

    Faults("no-device");
    result = RunGyro({"--language", "ja", "read"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "TBX-3が接続されていません\n");

    // Without --language the user's interface language decides.
    env_.insert("LANGUAGE", "de");
    env_.insert("LC_ALL", "de_DE.UTF-8");
    result = RunGyro({"read"});
    EXPECT_EQ(result.err, "TBX-3 ist nicht verbunden.\n");
    result = RunGyro({"--language", "en", "read"});
    EXPECT_EQ(result.err, "A TBX-3 is not connected.\n");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
