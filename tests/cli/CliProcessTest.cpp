// tarvex-cli run as a program against the virtual gyro, on Linux and, under Wine, on
// Windows (tarvex-cli.exe with tarvex-vgyro.dll). No Qt: tests/support/Process.h starts
// the program, nlohmann/json reads its JSON.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "gyro/ParameterRecord.h"
#include "tests/support/PosixShim.h"
#include "tests/support/Process.h"

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Args = std::vector<std::string>;
using Bytes = std::string;
using testprocess::Result;

std::string Join(const Args& args) {
    std::string text;
    for (const std::string& a : args) text += (text.empty() ? "" : " ") + a;
    return text;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::size_t Count(const std::string& text, char c) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

class CliProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = MakeScratchFolder("tarvex-cli-test");
        ASSERT_FALSE(dir_.empty());
        env_["TARVEX_VGYRO_FAST"] = "1";
        env_["TARVEX_VGYRO_STATE"] = Path("vgyro.state");
        env_["TARVEX_VGYRO_FAULTS"] = std::nullopt;
        env_["TARVEX_D2XX"] = std::nullopt;
        // Every write keeps a backup under the state folder: a scratch one.
        env_["XDG_STATE_HOME"] = Path("state");
        // English unless a test asks otherwise.
        env_["LC_ALL"] = "C";
        env_["LANG"] = "C";
        env_["LANGUAGE"] = std::nullopt;
        env_["LC_MESSAGES"] = std::nullopt;
    }
    void TearDown() override {
        std::error_code ignored;
#ifndef _WIN32
        fs::permissions(dir_ / "unreadable.tcf", fs::perms::owner_all, ignored);
#endif
        fs::remove_all(dir_, ignored);
    }

    // A path in the scratch folder, UTF-8, as the program prints it.
    std::string Path(const std::string& name) const {
        return Utf8Path((dir_ / PathFromUtf8(name)).make_preferred());
    }

    Result Run(const Args& args) const {
        Result result = testprocess::Run(TARVEX_CLI_PATH, args, env_);
        EXPECT_NE(result.status, -1) << "tarvex-cli did not run or exit: " << Join(args);
#ifdef _WIN32
        // Under Wine a line may end in "\r\n" only where the program wrote it so: it never
        // does.
        EXPECT_FALSE(Contains(result.out, "\r\n")) << Join(args);
#endif
        return result;
    }

    // A command through the virtual gyro.
    Result RunGyro(Args args) const {
        args.insert(args.begin(), {"--driver", TARVEX_VGYRO_PATH});
        return Run(args);
    }

    void Faults(const std::string& faults) {
        env_["TARVEX_VGYRO_FAULTS"] = faults;
    }

    Bytes ReadFile(const std::string& path) const {
        std::ifstream file(PathFromUtf8(path), std::ios::binary);
        EXPECT_TRUE(file.good()) << path;
        return Bytes(std::istreambuf_iterator<char>(file), {});
    }
    void WriteFile(const std::string& path, const Bytes& bytes) const {
        std::ofstream file(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
        ASSERT_TRUE(file.good()) << path;
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(file.good()) << path;
    }
    static ParameterRecord ToRecord(const Bytes& bytes) {
        ParameterRecord record{};
        EXPECT_EQ(bytes.size(), 85u);
        std::memcpy(record.bytes.data(), bytes.data(), std::min<std::size_t>(85, bytes.size()));
        return record;
    }
    static Bytes ToBytes(const ParameterRecord& record) {
        return Bytes(reinterpret_cast<const char*>(record.bytes.data()), 85);
    }

    fs::path dir_;
    testprocess::Environment env_;
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
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.err, "The connection succeeded.\n");
    const Bytes saved = ReadFile(Path("gyro.tcf"));
    ASSERT_EQ(saved.size(), 85u);

    // What read printed is what show prints for the saved record.
    const Result show = Run({"show", Path("gyro.tcf")});
    ASSERT_EQ(show.status, 0);
    EXPECT_EQ(read.out, show.out);
    EXPECT_TRUE(Contains(read.out, "\nFlight Mode: ")) << read.out;

    const Result json = RunGyro({"read", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const Json object = Json::parse(json.out, nullptr, false);
    ASSERT_TRUE(object.is_object()) << json.out;
    EXPECT_EQ(FromHex(object["record"].get<std::string>()), saved);
    EXPECT_EQ(object["gyroId"].get<int>(), ToRecord(saved).gyroId());
    EXPECT_EQ(object["limitHigh"].get<int>(), ToRecord(saved).limitHigh());
}

TEST_F(CliProcessTest, WriteStoresTheFileInTheGyro) {
    ASSERT_EQ(RunGyro({"read", "-o", Path("before.tcf")}).status, 0);
    ParameterRecord wanted = ToRecord(ReadFile(Path("before.tcf")));
    wanted.setDGain(static_cast<std::uint8_t>(wanted.dGain() == 100 ? 101 : 100));
    wanted.setFlightMode(wanted.flightMode() ? 0 : 1);
    applyModeTable(wanted);
    WriteFile(Path("wanted.tcf"), ToBytes(wanted));

    const Result write = RunGyro({"write", Path("wanted.tcf")});
    ASSERT_EQ(write.status, 0) << write.err;
    EXPECT_EQ(write.err, "The writing suceeded.\n");

    // A later run finds the written settings in the gyro.
    ASSERT_EQ(RunGyro({"read", "-o", Path("after.tcf")}).status, 0);
    const Result diff = Run({"diff", Path("wanted.tcf"), Path("after.tcf")});
    EXPECT_EQ(diff.status, 0) << diff.out;
    EXPECT_EQ(Run({"diff", Path("before.tcf"), Path("after.tcf")}).status, 1);
}

// The backups as tarvex-cli lists them, newest first.
Json ListedBackups(const Result& listed) {
    EXPECT_EQ(listed.status, 0) << listed.err;
    const Json array = Json::parse(listed.out, nullptr, false);
    EXPECT_TRUE(array.is_array()) << listed.out;
    return array.is_array() ? array : Json::array();
}

TEST_F(CliProcessTest, WriteKeepsTheGyrosPreviousSettings) {
    ASSERT_EQ(RunGyro({"read", "-o", Path("before.tcf")}).status, 0);
    ParameterRecord wanted = ToRecord(ReadFile(Path("before.tcf")));
    wanted.setDGain(static_cast<std::uint8_t>(wanted.dGain() == 100 ? 101 : 100));
    WriteFile(Path("wanted.tcf"), ToBytes(wanted));
    const std::string folder = Path("state/tarvex/backups");

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
        ASSERT_EQ(write.status, 0) << write.err;
        const Json listed = ListedBackups(Run({"backups", "--json"}));
        ASSERT_EQ(listed.size(), static_cast<std::size_t>(step.backups)) << step.file;
        const Json& newest = listed.front();
        const std::string path = newest["path"].get<std::string>();
        EXPECT_TRUE(fs::equivalent(PathFromUtf8(path).parent_path(), PathFromUtf8(folder))) << path;
        EXPECT_EQ(ReadFile(path), ReadFile(Path("held.tcf"))) << step.file;
        EXPECT_EQ(newest["gyroId"].get<int>(), wanted.gyroId());
        // Named by ID and the listed time: 2026-12-07T14:30:15 is 1234-20261207-143015.
        std::string stamp;
        for (char c : newest["time"].get<std::string>()) {
            if (c == 'T')
                stamp += '-';
            else if (c != '-' && c != ':')
                stamp += c;
        }
        EXPECT_TRUE(Utf8Path(PathFromUtf8(path).filename())
                        .starts_with(std::to_string(wanted.gyroId()) + "-" + stamp))
            << path;
        EXPECT_EQ(write.out, "The gyro's previous settings are kept in " + path + "\n");
    }
    const Result text = Run({"backups"});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(Count(text.out, '\n'), 2u);
    char id[16];
    std::snprintf(id, sizeof id, "%5d  ", static_cast<int>(wanted.gyroId()));
    EXPECT_TRUE(text.out.starts_with(id)) << text.out;
    EXPECT_TRUE(Contains(text.out, Utf8Path(PathFromUtf8(folder) / ""))) << text.out;
}

TEST_F(CliProcessTest, UnsavableBackupStopsTheWrite) {
    ASSERT_EQ(RunGyro({"read", "-o", Path("before.tcf")}).status, 0);
    WriteFile(Path("defaults.tcf"), ToBytes(Defaults()));
    // No folder can be made inside a file, not even by root.
    ASSERT_TRUE(fs::create_directory(dir_ / "blocked"));
    WriteFile(Path("blocked/tarvex"), "a file");
    env_["XDG_STATE_HOME"] = Path("blocked");

    const Result refused = RunGyro({"write", Path("defaults.tcf")});
    EXPECT_EQ(refused.status, 3);
    EXPECT_TRUE(refused.err.starts_with("The gyro's current settings could not be backed up to " +
                                        Path("blocked/tarvex/backups") + " ("))
        << refused.err;
    EXPECT_TRUE(
        refused.err.ends_with("Nothing was written; --no-backup writes without a backup.\n"))
        << refused.err;
    ASSERT_EQ(RunGyro({"read", "-o", Path("after.tcf")}).status, 0);
    EXPECT_EQ(ReadFile(Path("after.tcf")), ReadFile(Path("before.tcf")));

    const Result written = RunGyro({"write", "--no-backup", Path("defaults.tcf")});
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_TRUE(written.out.empty()) << written.out;
    ASSERT_EQ(RunGyro({"read", "-o", Path("after.tcf")}).status, 0);
    EXPECT_EQ(Run({"diff", Path("defaults.tcf"), Path("after.tcf")}).status, 0);
    EXPECT_TRUE(ListedBackups(Run({"backups", "--json"})).empty());
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
        Faults(c.faults);
        Args args{c.command};
        if (std::string(c.command) == "write") args.push_back(Path("defaults.tcf"));
        const Result result = RunGyro(args);
        EXPECT_EQ(result.status, 1) << c.command << " " << c.faults;
        EXPECT_EQ(result.err, std::string(c.message) + "\n") << c.command << " " << c.faults;
        EXPECT_TRUE(result.out.empty()) << c.command << " " << c.faults;
    }
}

TEST_F(CliProcessTest, MissingDriverLibrary) {
    const Result result = Run({"--driver", Path("no-such-library.so"), "read"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "The device driver for TBX-3 is not installed.\n");
}

TEST_F(CliProcessTest, SimulateFindsTheVirtualGyroBesideTheProgram) {
    const Result result = Run({"--simulate", "read"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "The connection succeeded.\n");
}

// The virtual gyro is one adapter, serial number VGYRO0001.
TEST_F(CliProcessTest, ListsAdaptersAndOpensOneBySerialNumber) {
    const Result text = RunGyro({"list"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "0  VGYRO0001  TBX-3 (virtual)\n");
    const Result json = RunGyro({"list", "--json"});
    EXPECT_EQ(
        Json::parse(json.out, nullptr, false),
        Json::array({{{"index", 0}, {"serial", "VGYRO0001"}, {"description", "TBX-3 (virtual)"}}}));

    const Result named = RunGyro({"--adapter", "VGYRO0001", "read"});
    EXPECT_EQ(named.status, 0) << named.err;
    const Result unknown = RunGyro({"--adapter", "VGYRO0002", "read"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "A TBX-3 is not connected.\n");

    Faults("no-device");
    const Result none = RunGyro({"list", "--json"});
    EXPECT_EQ(none.status, 0) << none.err;
    EXPECT_EQ(none.out, "[\n]\n");
}

TEST_F(CliProcessTest, ServoStreamsAndStops) {
    const Result result = RunGyro({"servo", "--position", "1472", "--seconds", "0.3"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(Contains(result.out, "Position: 100 % (4656), above neutral\nHolding for 0.3 s.\n"))
        << result.out;
    EXPECT_TRUE(result.out.ends_with("Stopped: the gyro has left its limit mode.\n")) << result.out;
    EXPECT_TRUE(result.err.empty()) << result.err;
}

#ifndef _WIN32
// Ctrl+C is a POSIX signal here; Windows has no SIGINT to send another process.
TEST_F(CliProcessTest, ServoWithoutDurationRunsUntilInterrupted) {
    int outFd = -1;
    int errFd = -1;
    const pid_t pid = testprocess::Start(
        TARVEX_CLI_PATH, {"--driver", TARVEX_VGYRO_PATH, "servo", "--position", "600"}, env_, outFd,
        errFd);
    ASSERT_GT(pid, 0);
    std::string out;
    char buffer[4096];
    while (!Contains(out, "Position:")) {
        const ssize_t n = ::read(outFd, buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ASSERT_TRUE(Contains(out, "Position: 95 % (2694), below neutral")) << out;
    ::kill(pid, SIGINT);
    std::string err;
    testprocess::ReadAll(outFd, errFd, out, err);
    EXPECT_EQ(testprocess::Wait(pid), 0) << err;
    EXPECT_TRUE(Contains(out, "Holding until interrupted (Ctrl+C).\n")) << out;
    EXPECT_TRUE(out.ends_with("Stopped: the gyro has left its limit mode.\n")) << out;
}
#endif

// ---- settings files ---------------------------------------------------------------------

TEST_F(CliProcessTest, DefaultsWritesTheFactoryRecord) {
    const Result result = Run({"defaults", Path("d.tcf")});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadFile(Path("d.tcf")), ToBytes(Defaults()));

    // Over an existing file too.
    WriteFile(Path("old.tcf"), Bytes(85, '\x11'));
    ASSERT_EQ(Run({"defaults", Path("old.tcf")}).status, 0);
    EXPECT_EQ(ReadFile(Path("old.tcf")), ToBytes(Defaults()));
}

TEST_F(CliProcessTest, ShowInTheWindowsWords) {
    ASSERT_EQ(Run({"defaults", Path("d.tcf")}).status, 0);
    const Result show = Run({"show", Path("d.tcf")});
    ASSERT_EQ(show.status, 0);
    EXPECT_TRUE(show.out.starts_with("ID: 0\nRudder channel: 2\n")) << show.out;
    EXPECT_TRUE(Contains(show.out, "\nLimit High: 100 % (4656)\n"));

    const Result json = Run({"show", "--json", Path("d.tcf")});
    ASSERT_EQ(json.status, 0);
    const Json object = Json::parse(json.out, nullptr, false);
    ASSERT_TRUE(object.is_object()) << json.out;
    EXPECT_EQ(object["limitHigh"], 4656);
    EXPECT_EQ(object["shown"]["servoMode"], "Digital (1520)");
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
    EXPECT_TRUE(diff.out.empty());
}

TEST_F(CliProcessTest, BadFilesAreRefused) {
    WriteFile(Path("empty.tcf"), {});
    WriteFile(Path("short.tcf"), Bytes(84, '\0'));
    WriteFile(Path("long.tcf"), Bytes(86, '\0'));
    WriteFile(Path("good.tcf"), ToBytes(Defaults()));
    WriteFile(Path("unreadable.tcf"), ToBytes(Defaults()));
    ASSERT_TRUE(fs::create_directory(dir_ / "folder.tcf"));
    Args bad = {Path("missing.tcf"), Path("empty.tcf"), Path("short.tcf"), Path("long.tcf"),
                Path("folder.tcf")};
#ifndef _WIN32
    fs::permissions(dir_ / "unreadable.tcf", fs::perms::owner_write);
    if (::geteuid() != 0) bad.push_back(Path("unreadable.tcf"));  // root reads it anyway
#endif

    for (const std::string& file : bad) {
        // write checks its file before it looks for the gyro: no driver is needed.
        const Args commands[] = {{"show", file},
                                 {"diff", file, Path("good.tcf")},
                                 {"diff", Path("good.tcf"), file},
                                 {"--driver", Path("none.so"), "write", file}};
        for (const Args& args : commands) {
            const Result result = Run(args);
            EXPECT_EQ(result.status, 3) << Join(args);
            EXPECT_EQ(result.err, "File read error.\n") << Join(args);
        }
    }
}

TEST_F(CliProcessTest, SavingFailures) {
#ifndef _WIN32
    Result full = Run({"defaults", "/dev/full"});
    EXPECT_EQ(full.status, 3);
    EXPECT_EQ(full.err, "There is not enough space in the drive.\n");

    full = RunGyro({"read", "-o", "/dev/full"});
    EXPECT_EQ(full.status, 3);
    EXPECT_EQ(full.err, "The connection succeeded.\nThere is not enough space in the drive.\n");
#endif

    const Result noFolder = Run({"defaults", Path("no-such-folder/d.tcf")});
    EXPECT_EQ(noFolder.status, 3);
    EXPECT_EQ(noFolder.err, "File write error.\n");
    EXPECT_FALSE(fs::exists(dir_ / "no-such-folder"));
}

// Only a write's backup goes into the backups folder: read -o and defaults refuse a file
// there (however the path is spelled), before the gyro is touched, and leave the folder as
// it was.
TEST_F(CliProcessTest, NoSavingIntoTheBackupsFolder) {
    ASSERT_EQ(Run({"defaults", Path("wanted.tcf")}).status, 0);
    ASSERT_EQ(RunGyro({"write", Path("wanted.tcf")}).status, 0);
    const Json listed = ListedBackups(Run({"backups", "--json"}));
    ASSERT_EQ(listed.size(), 1u);
    const std::string backup = listed[0]["path"].get<std::string>();
    const Bytes kept = ReadFile(backup);
    fs::create_directories(dir_ / "state" / "tarvex" / "backups" / "sub");
    const std::string folder = Path("state/tarvex/backups");
    const std::string roundabout = Path("state/tarvex/backups/sub/../new.tcf");
    const Args kRefused[] = {
        {"defaults", backup},
        {"defaults", roundabout},
        {"--driver", TARVEX_VGYRO_PATH, "read", "-o", backup},
        {"--driver", TARVEX_VGYRO_PATH, "read", "-o", Path("state/tarvex/backups/new.tcf")},
    };
    for (const Args& args : kRefused) {
        const Result result = Run(args);
        EXPECT_EQ(result.status, 3) << Join(args);
        EXPECT_TRUE(Contains(result.err, "is in the backups folder (" + folder + ")"))
            << result.err;
        EXPECT_FALSE(Contains(result.err, "The connection succeeded.")) << Join(args);
        EXPECT_TRUE(result.out.empty()) << Join(args);
    }
    EXPECT_EQ(ReadFile(backup), kept);
    EXPECT_FALSE(fs::exists(dir_ / "state" / "tarvex" / "backups" / "new.tcf"));
    EXPECT_EQ(ListedBackups(Run({"backups", "--json"})).size(), 1u);
}

// ---- command line and language ----------------------------------------------------------

TEST_F(CliProcessTest, UsageErrorsExitWithTwo) {
    const Args cases[] = {{}, {"--bogus", "read"}, {"servo", "--position", "2000"}};
    for (const Args& args : cases) {
        const Result result = Run(args);
        EXPECT_EQ(result.status, 2) << Join(args);
        EXPECT_TRUE(Contains(result.err, "tarvex-cli --help")) << result.err;
        EXPECT_TRUE(result.out.empty());
    }
}

TEST_F(CliProcessTest, HelpAndVersion) {
    const Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: tarvex-cli")) << help.out;
    const Result version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tarvex-cli " TARVEX_VERSION "\n");
}

TEST_F(CliProcessTest, MessagesInTheChosenLanguage) {
    Result result;
#ifndef _WIN32
    result = Run({"--language", "de", "defaults", "/dev/full"});
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.err, "Speicherplatzmangel, kann Daten nicht speichern.\n");
#endif

    result = RunGyro({"--language", "de", "read"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "Daten eingelesen.\n");
    // The settings in the window's own German words.
    EXPECT_TRUE(Contains(result.out, "\nFlug Modus: ")) << result.out;

    Faults("no-device");
    result = RunGyro({"--language", "ja", "read"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "TBX-3が接続されていません\n");

#ifndef _WIN32
    // Without --language the user's interface language decides (on Windows the system's
    // UI language, which a test cannot change).
    env_["LANGUAGE"] = "de";
    env_["LC_ALL"] = "de_DE.UTF-8";
    result = RunGyro({"read"});
    EXPECT_EQ(result.err, "TBX-3 ist nicht verbunden.\n");
#endif
    result = RunGyro({"--language", "en", "read"});
    EXPECT_EQ(result.err, "A TBX-3 is not connected.\n");
}

// show and diff speak the chosen language in the window's own words; the JSON stays
// English.
TEST_F(CliProcessTest, ShowAndDiffInTheWindowsWordsOfEachLanguage) {
    ParameterRecord a = Defaults();
    ParameterRecord b = a;
    b.setFlightMode(0);
    WriteFile(Path("a.tcf"), ToBytes(a));
    WriteFile(Path("b.tcf"), ToBytes(b));

    Result show = Run({"--language", "de", "show", Path("a.tcf")});
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_TRUE(show.out.starts_with("Gerätenummer: 0\nHeckr. BUS-Kanal: 2\n")) << show.out;
    EXPECT_TRUE(Contains(show.out, "\nServo Modus: Digital (1520)\n")) << show.out;
    EXPECT_TRUE(Contains(show.out, "\nD-Dämpf.: ")) << show.out;

    show = Run({"--language", "ja", "show", Path("a.tcf")});
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_TRUE(Contains(show.out, "\nフライトモード: F3C\n")) << show.out;
    EXPECT_TRUE(Contains(show.out, "\nサーボモード: デジタル(1520)\n")) << show.out;
    EXPECT_TRUE(Contains(show.out, "\nピルエット感覚: 7\n")) << show.out;

    const Result diff = Run({"--language", "ja", "diff", Path("a.tcf"), Path("b.tcf")});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(diff.out, "フライトモード: F3C -> 3D\n");

    const Result json = Run({"--language", "ja", "show", "--json", Path("a.tcf")});
    ASSERT_EQ(json.status, 0);
    const Json object = Json::parse(json.out, nullptr, false);
    ASSERT_TRUE(object.is_object()) << json.out;
    EXPECT_EQ(object["shown"]["servoMode"], "Digital (1520)");
    EXPECT_EQ(object["flightMode"], 1);
}

// File names outside ASCII, and relative to the working folder, reach the files intact.
TEST_F(CliProcessTest, RelativeAndNonAsciiPaths) {
    const std::string name = "Einstellungen-äöü-設定.tcf";
    ASSERT_EQ(Run({"defaults", Path(name)}).status, 0);
    EXPECT_EQ(ReadFile(Path(name)), ToBytes(Defaults()));
    const Result show = Run({"--language", "ja", "show", Path(name)});
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_TRUE(show.out.starts_with("ID: 0\n")) << show.out;

    // Relative: from the scratch folder as the working folder.
    const fs::path previous = fs::current_path();
    fs::current_path(dir_);
    const Result relative = Run({"diff", name, "./" + name});
    ASSERT_EQ(Run({"defaults", "relative.tcf"}).status, 0);
    const Result read = RunGyro({"read", "-o", "gyro-äö.tcf"});
    fs::current_path(previous);
    EXPECT_EQ(relative.status, 0) << relative.err;
    EXPECT_TRUE(relative.out.empty()) << relative.out;
    EXPECT_EQ(ReadFile(Path("relative.tcf")), ToBytes(Defaults()));
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(ReadFile(Path("gyro-äö.tcf")).size(), 85u);
}

}  // namespace
