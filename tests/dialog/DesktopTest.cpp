// The window as a desktop program: the title with the open file's name and the modified
// marker, the recent list, the decision which dropped file opens, and the start-up's
// connection.
#include "gyro/SettingsFile.h"
#include "tests/dialog/DialogTestSupport.h"
#include "tests/support/FileRecords.h"

using namespace dialogtest;

namespace {

std::string SaveFile(const ScratchDir& dir, const std::string& name, std::uint8_t seed) {
    const std::string path = dir.file(name);
    return SaveSettingsFile(path, FileRecord(seed)) == FileResult::Ok ? path : std::string();
}

std::vector<std::string> MenuTexts(const Harness& w) {
    std::vector<std::string> texts;
    for (const RecentMenuItem& item : w.window.recentMenu) texts.push_back(item.text);
    return texts;
}

}  // namespace

// The title names the file; the marker shows while the values differ from it.
TEST(Desktop, TitleFollowsTheFile) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ScratchDir dir;
    EXPECT_EQ(w.window.title, "Tarvex");
    EXPECT_EQ(w.window.marker, TitleMarker::None);

    const std::string heli1 = SaveFile(dir, "heli1.tcf", 40);
    w.files.openChoices.push_back(heli1);
    w->OnFileOpen();
    EXPECT_EQ(w.window.title, "Tarvex - heli1.tcf");
    EXPECT_EQ(w.window.marker, TitleMarker::Unmodified);

    // An edit marks it, and taking the edit back clears the mark.
    const int dGain = w.position(ids::DGainSlider);
    w.MoveSlider(ids::DGainSlider, dGain + 10);
    EXPECT_EQ(w.window.marker, TitleMarker::Modified);
    w.MoveSlider(ids::DGainSlider, dGain);
    EXPECT_EQ(w.window.marker, TitleMarker::Unmodified);

    // A Read brings the gyro's values, which are not the file's.
    ASSERT_TRUE(w.Read());
    EXPECT_EQ(w.window.marker, TitleMarker::Modified);
    w->OnFileSave();
    EXPECT_EQ(w.window.marker, TitleMarker::Unmodified);

    // A Save As that fails names the new file, whose content is not the window's.
    w.files.saveAsChoices.push_back(dir.file("no/such/folder/heli2.tcf"));
    w->OnFileSaveAs();
    EXPECT_EQ(w.messages.Ids(), Ids({112}));
    EXPECT_EQ(w.window.title, "Tarvex - heli2.tcf");
    EXPECT_EQ(w.window.marker, TitleMarker::Modified);

    // A file that cannot be opened leaves the title as it was.
    w.messages.Clear();
    w.files.openChoices.push_back(dir.file("gone.tcf"));
    w->OnFileOpen();
    EXPECT_EQ(w.messages.Ids(), Ids({108}));
    EXPECT_EQ(w.window.title, "Tarvex - heli2.tcf");
}

// The last four files opened or saved, newest first; each item opens its file, and one that
// has gone is reported and leaves the list.
TEST(Desktop, RecentList) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ScratchDir dir;
    w->UpdateRecentMenu();
    EXPECT_TRUE(w.window.recentMenu.empty());

    std::vector<std::string> paths;
    for (const char* name : {"a.tcf", "b&c.tcf", "d.tcf", "e.tcf"})
        paths.push_back(SaveFile(dir, name, static_cast<std::uint8_t>(paths.size() + 1)));
    for (const std::string& path : paths) {
        w.files.openChoices.push_back(path);
        w->OnFileOpen();
    }
    w.files.saveAsChoices.push_back(dir.file("f.tcf"));
    w->OnFileSaveAs();
    EXPECT_EQ(w.messages.Ids(), Ids({}));
    EXPECT_EQ(w.window.recentStore,
              (std::vector<std::string>{dir.file("f.tcf"), paths[3], paths[2], paths[1]}));
    EXPECT_EQ(w->RecentFiles(), w.window.recentStore);
    EXPECT_EQ(MenuTexts(w),
              (std::vector<std::string>{"&1 f.tcf", "&2 e.tcf", "&3 d.tcf", "&4 b&&c.tcf"}));
    EXPECT_EQ(w.window.recentMenu[0].path, dir.file("f.tcf"));

    // The item opens its file, which moves to the top.
    w->OnRecentFile(3);
    EXPECT_EQ(w->gyro.workingRecord, FileRecord(2));
    EXPECT_EQ(w->filePath, paths[1]);
    EXPECT_EQ(MenuTexts(w),
              (std::vector<std::string>{"&1 b&&c.tcf", "&2 f.tcf", "&3 e.tcf", "&4 d.tcf"}));

    // A file that has gone: message 108, nothing loaded, and it leaves the list.
    std::filesystem::remove(PathFromUtf8(paths[3]));
    w->OnRecentFile(2);
    EXPECT_EQ(w.messages.Ids(), Ids({108}));
    EXPECT_EQ(w->gyro.workingRecord, FileRecord(2));
    EXPECT_EQ(MenuTexts(w), (std::vector<std::string>{"&1 b&&c.tcf", "&2 f.tcf", "&3 d.tcf"}));
    // An index without a file does nothing.
    w.messages.Clear();
    w->OnRecentFile(3);
    EXPECT_EQ(w.messages.Ids(), Ids({}));

    // Two files of the same name are told apart by their folders.
    ASSERT_TRUE(std::filesystem::create_directory(PathFromUtf8(dir.file("other"))));
    w.files.saveAsChoices.push_back(dir.file("other/d.tcf"));
    w->OnFileSaveAs();
    EXPECT_EQ(w.window.recentMenu[0].text, "&1 " + dir.file("other/d.tcf"));
}

// What the user's settings hold is tidied: no empty or repeated entries, four at most.
TEST(Desktop, RecentListFromTheStore) {
    Harness w;
    ASSERT_TRUE(w.connected);
    EXPECT_TRUE(w.window.recentMenu.empty());  // shown at start, from the store
    w.window.recentStore = {"/a.tcf", "", "/b.tcf", "/a.tcf", "/c.tcf", "/d.tcf", "/e.tcf"};
    EXPECT_EQ(w->RecentFiles(), (std::vector<std::string>{"/a.tcf", "/b.tcf", "/c.tcf", "/d.tcf"}));
    // Another Tarvex may have changed the list: the menu shows it as it is when opened.
    w->UpdateRecentMenu();
    EXPECT_EQ(MenuTexts(w),
              (std::vector<std::string>{"&1 a.tcf", "&2 b.tcf", "&3 c.tcf", "&4 d.tcf"}));
}

TEST(Desktop, DroppedSettingsFile) {
    struct Row {
        const char* name;
        std::vector<std::string> paths;  // "" for an item that is not a local file
        bool opens;
    };
    const Row kRows[] = {
        {"a settings file", {"/x/heli1.tcf"}, true},
        {"upper-case extension", {"/x/HELI1.TCF"}, true},
        {"another file", {"/x/notes.txt"}, false},
        {"two settings files", {"/x/heli1.tcf", "/x/heli2.tcf"}, false},
        {"a web link", {""}, false},
        {"nothing", {}, false},
        {"only the extension's letters", {"tcf"}, false},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const auto taken = CTarvexDlg::DroppedSettingsFile(row.paths);
        EXPECT_EQ(taken.has_value(), row.opens);
        if (row.opens) {
            EXPECT_EQ(*taken, row.paths[0]);
        }
    }
}

TEST(Desktop, DropOpensLikeFileOpen) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ScratchDir dir;
    const std::string heli = SaveFile(dir, "heli1.tcf", 60);
    const ParameterRecord before = w->gyro.workingRecord;
    w->OnDropFiles({heli, heli});  // two items: refused
    EXPECT_EQ(w->gyro.workingRecord, before);
    w->OnDropFiles({heli});
    EXPECT_EQ(w.messages.Ids(), Ids({}));
    EXPECT_EQ(w->gyro.workingRecord, FileRecord(60));
    EXPECT_EQ(w->filePath, heli);
    EXPECT_EQ(w.text(ids::IdBox), "1060");
}

// ---- Start-up ------------------------------------------------------------------------------

TEST(Startup, WithoutDriverOrAdapter) {
    struct Row {
        const char* name;
        const char* driver;  // nullptr: the virtual gyro
        const char* faults;
        int message;
    };
    static const Row kRows[] = {
        {"no driver", "/nonexistent/libftd2xx.so", "", 118},
        {"no adapter", nullptr, "no-device", 119},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        VirtualGyro::Fresh();
        if (row.driver != nullptr) ::setenv("TARVEX_D2XX", row.driver, 1);
        ASSERT_EQ(Gyro::setFaults(row.faults), 0);
        FakeWindow window;
        TBX3 adapter;
        CTarvexDlg dlg(adapter, window);
        EXPECT_FALSE(dlg.OnInitDialog());
        EXPECT_EQ(window.messages.Ids(), Ids({row.message}));
        EXPECT_EQ(window.messages.shown[0].text, FakeWindow::String(row.message));
        EXPECT_EQ(window.messages.shown[0].icon, MessageIcon::Stop);
        EXPECT_EQ(window.messages.shown[0].buttons, MessageButtons::Ok);
        // The dialog has ended before it was ever shown.
        EXPECT_EQ(window.ended, DialogResult::Cancel);
        Gyro::setFaults("");
    }
}

TEST(Startup, RecentListShownAtStart) {
    VirtualGyro::Fresh();
    FakeWindow window;
    window.recentStore = {"/x/a.tcf"};
    TBX3 adapter;
    CTarvexDlg dlg(adapter, window);
    ASSERT_TRUE(dlg.OnInitDialog());
    ASSERT_EQ(window.recentMenu.size(), 1u);
    EXPECT_EQ(window.recentMenu[0].text, "&1 a.tcf");
}

TEST(Startup, WithVirtualGyro) {
    Harness w;
    ASSERT_TRUE(w.connected);
    EXPECT_TRUE(w.messages.shown.empty());
    EXPECT_TRUE(w.visible());
    for (int id : {int(ids::WriteButton), int(ids::Enter), int(ids::Set), int(ids::PositionSlider),
                   int(ids::ConnectWrite)})
        EXPECT_FALSE(w.enabled(id)) << id;
    EXPECT_TRUE(w.enabled(ids::ReadButton));
    EXPECT_TRUE(w.enabled(ids::ConnectRead));
    // No refresh at start: the window shows zeros and the first radio of each group.
    EXPECT_EQ(w.text(ids::IdBox), "0");
    EXPECT_TRUE(w.checked(ids::F3C));
    EXPECT_TRUE(w.checked(ids::Fast));
    EXPECT_EQ(w.text(1017), "");
    EXPECT_EQ(w.window.lists[ids::RudderChannel].items.size(), 16u);
    EXPECT_EQ(w.window.title, "Tarvex");
}

TEST(Startup, AboutBox) {
    Harness w;
    w->OnAbout();
    EXPECT_EQ(w.window.aboutBoxes, 1);
}
