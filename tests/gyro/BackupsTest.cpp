#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "gyro/Backups.h"
#include "tests/gyro/GyroTestSupport.h"
#include "tests/support/PosixShim.h"

namespace {

namespace fs = std::filesystem;

class BackupsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = MakeScratchFolder("tarvex-backups");
        ASSERT_FALSE(root.empty());
        folder = (root / "state" / "tarvex" / "backups").string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // The sample record with its gyro ID and one setting changed.
    static ParameterRecord Record(std::uint16_t id, std::uint8_t dGain) {
        ParameterRecord r = SampleRecord();
        r.setGyroId(id);
        r.setDGain(dGain);
        return r;
    }
    static std::optional<ParameterRecord> Load(const std::string& path) {
        ParameterRecord r{};
        if (LoadSettingsFile(path, r) != FileResult::Ok) return std::nullopt;
        return r;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const BackupEntry& e : ListBackups(folder))
            names.push_back(fs::path(e.path).filename().string());
        return names;
    }
    // A local time, so the names do not depend on the machine's time zone.
    static std::time_t Local(int year, int month, int day, int h, int m, int s) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = h;
        t.tm_min = m;
        t.tm_sec = s;
        t.tm_isdst = -1;
        return std::mktime(&t);
    }

    fs::path root;
    std::string folder;
};

TEST_F(BackupsTest, SavesEachChangedRecordOnceAndListsNewestFirst) {
    const std::time_t t = Local(2026, 12, 7, 14, 30, 15);
    struct Step {
        ParameterRecord record;
        std::time_t when;
        BackupOutcome outcome;
        const char* name;  // the new backup's, or the identical one's
    };
    const Step steps[] = {
        // The folder and its parents are created.
        {Record(1234, 10), t, BackupOutcome::Saved, "1234-20261207-143015.tcf"},
        {Record(1234, 10), t + 60, BackupOutcome::Unchanged, "1234-20261207-143015.tcf"},
        // A second backup within the same second gets a number.
        {Record(1234, 11), t, BackupOutcome::Saved, "1234-20261207-143015-2.tcf"},
        {Record(7, 11), t + 1, BackupOutcome::Saved, "7-20261207-143016.tcf"},
        // Only the newest backup of the same ID counts, not the newest of all.
        {Record(1234, 11), t + 2, BackupOutcome::Unchanged, "1234-20261207-143015-2.tcf"},
        // Going back to older settings is a change.
        {Record(1234, 10), t + 3, BackupOutcome::Saved, "1234-20261207-143018.tcf"},
    };
    for (const Step& s : steps) {
        const BackupResult result = SaveBackup(folder, s.record, s.when);
        ASSERT_EQ(result.outcome, s.outcome) << s.name;
        EXPECT_EQ(fs::path(result.path).filename(), s.name);
        EXPECT_EQ(Load(result.path), s.record) << s.name;
    }
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"1234-20261207-143018.tcf", "7-20261207-143016.tcf",
                                        "1234-20261207-143015-2.tcf", "1234-20261207-143015.tcf"}));
    const BackupEntry newest = ListBackups(folder).front();
    EXPECT_EQ(newest.gyroId, 1234);
    EXPECT_EQ(newest.time, "2026-12-07 14:30:18");
    EXPECT_EQ(newest.path, (fs::path(folder) / "1234-20261207-143018.tcf").string());
}

TEST_F(BackupsTest, ListingSkipsOtherFiles) {
    fs::create_directories(folder);
    for (const char* name :
         {"notes.txt", "1234-2026120-143015.tcf", "70000-20261207-143015.tcf",
          "1234-20261207-143015-1.tcf", "x-20261207-143015.tcf", "1234-20261207-143015.TCF",
          "1234-20261207-143015.tcf.tmp", "0-20250101-000000.tcf"}) {
        std::ofstream(fs::path(folder) / name) << std::string(85, '\0');
    }
    fs::create_directory(fs::path(folder) / "5-20261207-143015.tcf");
    EXPECT_EQ(Names(), std::vector<std::string>{"0-20250101-000000.tcf"});
    EXPECT_TRUE(ListBackups((root / "missing").string()).empty());
}

TEST_F(BackupsTest, KeepsTheFiftyNewestOfEachId) {
    const std::time_t t = Local(2026, 12, 7, 9, 0, 0);
    ASSERT_EQ(SaveBackup(folder, Record(7, 0), t - 3600).outcome, BackupOutcome::Saved);
    for (int i = 0; i < 51; ++i) {
        ASSERT_EQ(SaveBackup(folder, Record(1234, static_cast<std::uint8_t>(i)), t + i).outcome,
                  BackupOutcome::Saved);
    }
    const std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 51u);  // 50 of ID 1234, and the one of ID 7 stays
    EXPECT_EQ(names.front(), "1234-20261207-090050.tcf");
    EXPECT_EQ(names[49], "1234-20261207-090001.tcf");
    EXPECT_EQ(names.back(), "7-20261207-080000.tcf");
    EXPECT_FALSE(fs::exists(fs::path(folder) / "1234-20261207-090000.tcf"));
}

}  // namespace

// Whether a path lies in a folder, by whole components once both are resolved.
TEST_F(BackupsTest, PathInFolder) {
    fs::create_directories(fs::path(folder) / "sub");
    const std::string outside = (root / "elsewhere").string();
    fs::create_directories(outside);
    std::error_code ec;
    fs::create_directory_symlink(folder, root / "link", ec);
    const bool linked = !ec;
    struct Row {
        std::string path;
        bool inside;
    };
    const std::vector<Row> rows = {
        {folder + "/1-20260101-000000.tcf", true},
        {folder + "/sub/../x.tcf", true},
        {folder + "/sub/new/x.tcf", true},
        {folder, true},
        {folder + "/", true},
        {folder + "2/x.tcf", false},  // a sibling that shares the name's start
        {folder + "/../x.tcf", false},
        {outside + "/x.tcf", false},
        {outside + "/../state/tarvex/backups/x.tcf", true},
        {(root / "link" / "x.tcf").string(), linked},
        {"", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PathInFolder(row.path, folder), row.inside) << row.path;
    }
    EXPECT_FALSE(PathInFolder(folder + "/x.tcf", ""));
}
