#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gyro/Backups.h"
#include "gyro/FileCommit.h"
#include "tests/gyro/GyroTestSupport.h"
#include "tests/support/PosixShim.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// What the hook was handed, and what it answers.
struct Store {
    FileResult answer = FileResult::Ok;
    std::vector<std::string> stored;
    std::vector<std::string> removed;
    Bytes lastBytes;
};
Store g_store;

FileResult Commit(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr) {
        g_store.removed.push_back(path);
        return FileResult::Ok;
    }
    g_store.stored.push_back(path);
    g_store.lastBytes.assign(bytes, bytes + size);
    return g_store.answer;
}

class FileCommitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeScratchFolder("tarvex-commit");
        ASSERT_FALSE(dir.empty());
        g_store = Store{};
        SetFileCommitHook(Commit);
    }
    void TearDown() override {
        SetFileCommitHook(nullptr);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    static Bytes Get(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
};

// The store's answer is the save's: refused, the file is what it was before (or absent)
// and no temporary file is left; kept, the file holds the bytes the store was handed.
TEST_F(FileCommitTest, TheStoresAnswerIsTheSaves) {
    const ParameterRecord before = SampleRecord();
    ParameterRecord after = SampleRecord();
    after.setDGain(static_cast<std::uint8_t>(before.dGain() + 1));
    const Bytes oldBytes(before.bytes.begin(), before.bytes.end());
    const Bytes newBytes(after.bytes.begin(), after.bytes.end());
    struct Case {
        FileResult answer;
        bool existing;
    };
    for (const Case c : {Case{FileResult::Ok, true}, Case{FileResult::Ok, false},
                         Case{FileResult::WriteFailed, true}, Case{FileResult::DiskFull, true},
                         Case{FileResult::DiskFull, false}}) {
        SCOPED_TRACE(static_cast<int>(c.answer) * 10 + c.existing);
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::string path = (dir / "heli.tcf").string();
        SetFileCommitHook(nullptr);
        if (c.existing) ASSERT_EQ(SaveSettingsFile(path, before), FileResult::Ok);
        SetFileCommitHook(Commit);
        g_store = Store{};
        g_store.answer = c.answer;

        EXPECT_EQ(SaveSettingsFile(path, after), c.answer);
        EXPECT_EQ(g_store.stored, std::vector<std::string>{path});
        EXPECT_EQ(g_store.lastBytes, newBytes);
        if (c.answer == FileResult::Ok)
            EXPECT_EQ(Get(path), newBytes);
        else if (c.existing)
            EXPECT_EQ(Get(path), oldBytes);
        else
            EXPECT_FALSE(fs::exists(path));
        EXPECT_EQ(Entries().size(), (c.answer == FileResult::Ok || c.existing) ? 1u : 0u);
    }
}

// A backup the store refuses fails the backup (the question before the Write); pruning
// removes from the store exactly the files it removed.
TEST_F(FileCommitTest, BackupsCommitTheirSavesAndRemovals) {
    const std::string folder = (dir / "backups").string();
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);

    g_store.answer = FileResult::DiskFull;
    const BackupResult refused = SaveBackup(folder, SampleRecord(), when);
    EXPECT_EQ(refused.outcome, BackupOutcome::Failed);
    EXPECT_EQ(refused.file, FileResult::DiskFull);
    EXPECT_TRUE(ListBackups(folder).empty());

    g_store.answer = FileResult::Ok;
    for (int i = 0; i <= static_cast<int>(kBackupsKept); ++i) {
        ParameterRecord r = SampleRecord();
        r.setDGain(static_cast<std::uint8_t>(i));
        ASSERT_EQ(SaveBackup(folder, r, when + i).outcome, BackupOutcome::Saved);
    }
    ASSERT_EQ(g_store.removed.size(), 1u);
    EXPECT_EQ(fs::path(g_store.removed[0]).filename().string(),
              fs::path(g_store.stored[1]).filename().string());  // the oldest kept one
    EXPECT_FALSE(fs::exists(g_store.removed[0]));
}

}  // namespace
