#include <gtest/gtest.h>

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

// The store behind the hook: what it was handed, and what it answers.
FileResult g_answer = FileResult::Ok;
std::vector<std::string> g_stored, g_removed;
Bytes g_bytes;

FileResult Commit(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr) {
        g_removed.push_back(path);
        return FileResult::Ok;
    }
    g_stored.push_back(path);
    g_bytes.assign(bytes, bytes + size);
    return g_answer;
}

class FileCommitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeScratchFolder("tarvex-commit");
        ASSERT_FALSE(dir.empty());
        g_answer = FileResult::Ok;
        g_stored.clear();
        g_removed.clear();
        SetFileCommitHook(Commit);
    }
    void TearDown() override {
        SetFileCommitHook(nullptr);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path dir;
};

Bytes Get(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

ParameterRecord WithDGain(int dGain) {
    ParameterRecord r = SampleRecord();
    r.setDGain(static_cast<std::uint8_t>(dGain));
    return r;
}

// The store's answer is the save's: refused, the file is what it was before (or absent)
// and no temporary file is left; kept, the file holds the bytes the store was handed.
TEST_F(FileCommitTest, TheStoresAnswerIsTheSaves) {
    const ParameterRecord before = WithDGain(1), after = WithDGain(2);
    const Bytes oldBytes(before.bytes.begin(), before.bytes.end());
    const Bytes newBytes(after.bytes.begin(), after.bytes.end());
    for (const FileResult answer :
         {FileResult::Ok, FileResult::WriteFailed, FileResult::DiskFull}) {
        for (const bool existing : {true, false}) {
            SCOPED_TRACE(static_cast<int>(answer) * 10 + existing);
            const fs::path folder = dir / std::to_string(static_cast<int>(answer) * 10 + existing);
            fs::create_directories(folder);
            const std::string path = (folder / "heli.tcf").string();
            g_answer = FileResult::Ok;
            if (existing) {
                ASSERT_EQ(SaveSettingsFile(path, before), FileResult::Ok);
            }
            g_answer = answer;
            g_stored.clear();

            EXPECT_EQ(SaveSettingsFile(path, after), answer);
            EXPECT_EQ(g_stored, std::vector<std::string>{path});
            EXPECT_EQ(g_bytes, newBytes);
            const bool kept = answer == FileResult::Ok;
            EXPECT_EQ(Get(path), kept ? newBytes : existing ? oldBytes : Bytes{});
            const auto files = std::distance(fs::directory_iterator(folder), {});
            EXPECT_EQ(files, kept || existing ? 1 : 0);
        }
    }
}

// A backup the store refuses fails the backup (the question before the Write); pruning
// removes from the store exactly the file it removed.
TEST_F(FileCommitTest, BackupsCommitTheirSavesAndRemovals) {
    const std::string folder = (dir / "backups").string();
    const std::time_t when = std::time(nullptr);
    g_answer = FileResult::DiskFull;
    const BackupResult refused = SaveBackup(folder, WithDGain(0), when);
    EXPECT_EQ(refused.outcome, BackupOutcome::Failed);
    EXPECT_EQ(refused.file, FileResult::DiskFull);
    EXPECT_TRUE(ListBackups(folder).empty());

    g_answer = FileResult::Ok;
    for (int i = 0; i <= static_cast<int>(kBackupsKept); ++i)
        ASSERT_EQ(SaveBackup(folder, WithDGain(i), when + i).outcome, BackupOutcome::Saved);
    ASSERT_EQ(g_removed.size(), 1u);
    EXPECT_EQ(g_removed[0], g_stored[1]);  // the oldest of those kept
    EXPECT_FALSE(fs::exists(g_removed[0]));
}

}  // namespace
