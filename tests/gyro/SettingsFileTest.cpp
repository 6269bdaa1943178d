#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "gyro/SettingsFile.h"
#include "tests/support/PosixShim.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeScratchFolder("tarvex-settings");
        ASSERT_FALSE(dir.empty());
        for (std::size_t i = 0; i < record.bytes.size(); ++i) {
            record.bytes[i] = static_cast<std::uint8_t>(3 * i + 1);
        }
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::string Path(const char* name) const { return Utf8Path(dir / PathFromUtf8(name)); }
    static void Put(const std::string& path, const Bytes& bytes) {
        std::ofstream out(PathFromUtf8(path), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    static Bytes Get(const std::string& path) {
        std::ifstream in(PathFromUtf8(path), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(Utf8Path(e.path().filename()));
        std::sort(names.begin(), names.end());
        return names;
    }
    Bytes RecordBytes() const { return Bytes(record.bytes.begin(), record.bytes.end()); }

    fs::path dir;
    ParameterRecord record{};
};

TEST_F(SettingsFileTest, RoundTripKeepsAll85Bytes) {
    const std::string path = Path("gyro.tcf");
    ASSERT_EQ(SaveSettingsFile(path, record), FileResult::Ok);
    EXPECT_EQ(Get(path), RecordBytes());
    EXPECT_EQ(Entries(), std::vector<std::string>{"gyro.tcf"});  // no temporary left
    ParameterRecord loaded{};
    ASSERT_EQ(LoadSettingsFile(path, loaded), FileResult::Ok);
    EXPECT_EQ(loaded, record);
    EXPECT_TRUE(SettingsFileExists(path));
}

// POSIX permissions, users, links, special files and limits; the Windows build has its
// own cases for what applies there, further down.
#ifndef _WIN32
TEST_F(SettingsFileTest, SaveReplacesAnExistingFileAndKeepsItsPermissions) {
    const std::string path = Path("gyro.tcf");
    Put(path, Bytes(200, 0xAB));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(SaveSettingsFile(path, record), FileResult::Ok);
    EXPECT_EQ(Get(path), RecordBytes());
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(SettingsFileTest, SaveLeavesAReadOnlyFileAsItWas) {
    const std::string path = Path("kept.tcf");
    Put(path, Bytes(85, 0x11));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    // Root may write any file, so as root the save runs in a child that has given up root
    // in a folder everyone may write to (the rename alone would be allowed there).
    auto save = [&] { return SaveSettingsFile(path, record); };
    if (geteuid() == 0) {
        ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
            _exit(save() == FileResult::OpenFailed ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    } else {
        EXPECT_EQ(save(), FileResult::OpenFailed);
    }
    EXPECT_EQ(SaveFailureMessage(FileResult::OpenFailed), 112);
    EXPECT_EQ(Get(path), Bytes(85, 0x11));
    EXPECT_EQ(Entries(), std::vector<std::string>{"kept.tcf"});
}

TEST_F(SettingsFileTest, SaveThroughALinkReplacesTheFileItPointsTo) {
    const std::string real = Path("real.tcf"), link = Path("link.tcf");
    Put(real, Bytes(85, 0));
    fs::create_symlink(real, link);
    ASSERT_EQ(SaveSettingsFile(link, record), FileResult::Ok);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Get(real), RecordBytes());
}

#endif

TEST_F(SettingsFileTest, LoadSizes) {
    struct Case {
        std::size_t size;
        FileResult result;
    };
    const Case cases[] = {{0, FileResult::ShortFile},  {1, FileResult::ShortFile},
                          {84, FileResult::ShortFile}, {85, FileResult::Ok},
                          {86, FileResult::Ok},        {4096, FileResult::Ok}};
    for (const auto& c : cases) {
        Bytes content(c.size);
        for (std::size_t i = 0; i < c.size; ++i) content[i] = static_cast<std::uint8_t>(0xC0 ^ i);
        const std::string path = Path("sized.tcf");
        Put(path, content);
        ParameterRecord loaded = record;
        EXPECT_EQ(LoadSettingsFile(path, loaded), c.result) << c.size;
        if (c.result == FileResult::Ok) {
            EXPECT_EQ(Bytes(loaded.bytes.begin(), loaded.bytes.end()),
                      Bytes(content.begin(), content.begin() + 85))
                << c.size;
        } else {
            EXPECT_EQ(loaded, record) << c.size << ": a short file changes nothing";
            EXPECT_EQ(LoadFailureMessage(c.result), 108);
        }
    }
}

TEST_F(SettingsFileTest, LoadFailures) {
    ParameterRecord loaded = record;
    const FileResult missing = LoadSettingsFile(Path("missing.tcf"), loaded);
    EXPECT_EQ(missing, FileResult::OpenFailed);
    EXPECT_FALSE(SettingsFileExists(Path("missing.tcf")));
    const FileResult folder = LoadSettingsFile(dir.string(), loaded);
    EXPECT_TRUE(folder == FileResult::OpenFailed || folder == FileResult::ReadFailed);
    EXPECT_EQ(LoadFailureMessage(missing), 108);
    EXPECT_EQ(LoadFailureMessage(folder), 108);
    EXPECT_EQ(loaded, record);
}

#ifndef _WIN32
// A file that opens but cannot be read: the process's own memory file fails with EIO at
// offset 0, for root too.
TEST_F(SettingsFileTest, LoadAFileThatCannotBeRead) {
    ParameterRecord loaded = record;
    const FileResult result = LoadSettingsFile("/proc/self/mem", loaded);
    EXPECT_EQ(result, FileResult::ReadFailed);
    EXPECT_EQ(LoadFailureMessage(result), 108);
    EXPECT_EQ(loaded, record);
}

TEST_F(SettingsFileTest, LoadAFileWithoutReadPermission) {
    const std::string path = Path("locked.tcf");
    Put(path, Bytes(85, 1));
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    auto refused = [&] {
        ParameterRecord loaded = record;
        return LoadSettingsFile(path, loaded) == FileResult::OpenFailed &&
               !SettingsFileExists(path) && loaded == record;
    };
    // Root reads any file, so as root the load runs in a child that has given up root.
    if (geteuid() == 0) {
        ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
            _exit(refused() ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    } else {
        EXPECT_TRUE(refused());
    }
}

TEST_F(SettingsFileTest, SaveToAFullDevice) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const FileResult result = SaveSettingsFile("/dev/full", record);
    EXPECT_EQ(result, FileResult::DiskFull);
    EXPECT_EQ(SaveFailureMessage(result), 113);
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

#endif

TEST_F(SettingsFileTest, SaveWhereNoFileCanBeCreated) {
#ifdef _WIN32
    const std::string cases[] = {Path("no-such-folder/gyro.tcf"), Path("<?>.tcf"), ""};
#else
    const std::string cases[] = {Path("no-such-folder/gyro.tcf"), "/proc/tarvex-gyro.tcf", ""};
#endif
    for (const auto& path : cases) {
        const FileResult result = SaveSettingsFile(path, record);
        EXPECT_EQ(result, FileResult::OpenFailed) << path;
        EXPECT_EQ(SaveFailureMessage(result), 112) << path;
    }
}

TEST_F(SettingsFileTest, SaveOntoAFolderLeavesIt) {
    const std::string folder = Path("folder.tcf");
    fs::create_directory(folder);
    Put(folder + "/inside", Bytes{1, 2, 3});
    const FileResult result = SaveSettingsFile(folder, record);
    EXPECT_TRUE(result == FileResult::OpenFailed || result == FileResult::WriteFailed);
    EXPECT_EQ(SaveFailureMessage(result), 112);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(Get(folder + "/inside"), (Bytes{1, 2, 3}));
}

#ifndef _WIN32
TEST_F(SettingsFileTest, APipeNobodyServesNeitherHangsNorIsReplaced) {
    const std::string pipe = Path("pipe.tcf");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    ParameterRecord loaded = record;
    EXPECT_EQ(LoadSettingsFile(pipe, loaded), FileResult::ShortFile);
    EXPECT_EQ(loaded, record);
    EXPECT_EQ(SaveSettingsFile(pipe, record), FileResult::OpenFailed);
    EXPECT_TRUE(fs::is_fifo(pipe));
}

// Files may grow to 40 bytes only while this lives; the signal that would end the process
// at the limit is ignored, so the write fails with EFBIG instead.
class FileSizeLimit {
  public:
    FileSizeLimit() {
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit tight = old_;
        tight.rlim_cur = 40;
        setrlimit(RLIMIT_FSIZE, &tight);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit old_{};
    sighandler_t oldHandler_{};
};

TEST_F(SettingsFileTest, FailedSaveLeavesTheOldFileAsItWas) {
    const std::string path = Path("gyro.tcf");
    const Bytes old(85, 0x77);
    Put(path, old);
    FileResult result;
    {
        FileSizeLimit limit;
        result = SaveSettingsFile(path, record);
    }
    EXPECT_EQ(result, FileResult::WriteFailed);
    EXPECT_EQ(SaveFailureMessage(result), 112);
    EXPECT_EQ(Get(path), old);
    EXPECT_EQ(Entries(), std::vector<std::string>{"gyro.tcf"});  // the temporary is gone
}

#endif

// Folder and file names outside the ANSI code page: paths are UTF-8 on every platform.
TEST_F(SettingsFileTest, RoundTripUnderNamesOutsideTheAnsiCodePage) {
    fs::create_directories(dir / fs::path(u8"dé") / fs::path(u8"дир"));
    const std::string path = Path("dé/дир/гироскоп.tcf");
    ASSERT_EQ(SaveSettingsFile(path, record), FileResult::Ok);
    EXPECT_TRUE(SettingsFileExists(path));
    ASSERT_EQ(SaveSettingsFile(path, record), FileResult::Ok) << "replacing it";
    EXPECT_EQ(Get(path), RecordBytes());
    ParameterRecord loaded{};
    ASSERT_EQ(LoadSettingsFile(path, loaded), FileResult::Ok);
    EXPECT_EQ(loaded, record);
}

#ifdef _WIN32
TEST_F(SettingsFileTest, SaveLeavesAReadOnlyFileAsItWas) {
    const std::string path = Path("kept.tcf");
    Put(path, Bytes(85, 0x11));
    fs::permissions(PathFromUtf8(path), fs::perms::owner_write, fs::perm_options::remove);
    const FileResult result = SaveSettingsFile(path, record);
    fs::permissions(PathFromUtf8(path), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(result, FileResult::OpenFailed);
    EXPECT_EQ(Get(path), Bytes(85, 0x11));
    EXPECT_EQ(Entries(), std::vector<std::string>{"kept.tcf"});
}

// While saves replace the file again and again, a reader that keeps opening it (sharing it
// with every other use, as an editor or a backup program would) finds one record's 85 bytes
// or the other's, never an empty or partial file, whatever each save reports. (Windows does
// not replace a file that is open: a save that meets the reader's handle fails and keeps
// the old file.)
TEST_F(SettingsFileTest, ReplacingNeverShowsAPartOfTheFile) {
    const std::string path = Path("gyro.tcf");
    const Bytes old(85, 0x77);
    ParameterRecord other{};
    other.bytes.fill(0x77);
    Put(path, old);
    const std::wstring wide = PathFromUtf8(path).wstring();
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::vector<Bytes> seen;
    std::thread reader([&] {
        while (!done.load()) {
            HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) continue;  // while the rename holds the name
            Bytes bytes(200);
            DWORD got = 0;
            ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
            CloseHandle(file);
            bytes.resize(got);
            if (bytes != old && bytes != RecordBytes()) seen.push_back(bytes);
            reads.fetch_add(1);
            std::this_thread::yield();
        }
    });
    int saved = 0;
    for (int i = 0; (saved < 30 || reads.load() < 200) && i < 100000; ++i) {
        if (SaveSettingsFile(path, saved % 2 == 0 ? record : other) == FileResult::Ok) ++saved;
    }
    done.store(true);
    reader.join();
    EXPECT_GE(saved, 30);
    EXPECT_GE(reads.load(), 200);
    EXPECT_TRUE(seen.empty()) << seen.size() << " reads found neither file, the first "
                              << (seen.empty() ? 0 : seen.front().size()) << " bytes long";
}
#endif

TEST(SettingsFileMessages, Table) {
    const std::tuple<FileResult, int, int> cases[] = {
        {FileResult::Ok, 0, 0},
        {FileResult::OpenFailed, 108, 112},
        {FileResult::ReadFailed, 108, 112},
        {FileResult::ShortFile, 108, 112},
        {FileResult::WriteFailed, 108, 112},
        {FileResult::DiskFull, 113, 113},
        {FileResult::Unknown, 114, 114},
    };
    for (auto [result, load, save] : cases) {
        EXPECT_EQ(LoadFailureMessage(result), load) << static_cast<int>(result);
        EXPECT_EQ(SaveFailureMessage(result), save) << static_cast<int>(result);
    }
}

}  // namespace
