// The backup before every Write and File > Restore Previous Settings, against the virtual
// gyro, with the state folder in a scratch folder.
#include "gyro/Backups.h"
#include "tests/dialog/DialogTestSupport.h"

using namespace dialogtest;

namespace {

std::string BackupsDir() {
    return Utf8Path(PathFromUtf8(ScratchStateFolder()) / "tarvex" / "backups");
}

// The backup files, newest first.
std::vector<std::string> Backups() {
    std::vector<std::string> paths;
    for (const BackupEntry& e : ListBackups(BackupsDir())) paths.push_back(e.path);
    return paths;
}

ParameterRecord Load(const std::string& path) {
    ParameterRecord r{};
    if (LoadSettingsFile(path, r) != FileResult::Ok) r.bytes.fill(0xEE);
    return r;
}

// A Read, then an edit the Write will store.
void ReadAndEdit(Harness& w) {
    ASSERT_TRUE(w.Read());
    const int damping = w.position(ids::DDampingSlider);
    w.MoveSlider(ids::DDampingSlider, damping == 60 ? 70 : 60);
}

enum class Trigger { WriteButton, ExitCheck };

// Writes the window's edits as the user would: the Write button, or Yes to the question
// when the window closes.
void Write(Harness& w, Trigger trigger) {
    if (trigger == Trigger::WriteButton) {
        w.Click(ids::WriteButton);
    } else {
        w.messages.answers.push_front(MessageAnswer::Yes);
        w->OnCancel();
    }
}

class BackupsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::error_code ignored;
        std::filesystem::remove_all(PathFromUtf8(BackupsDir()), ignored);
    }
};

}  // namespace

// Each Write keeps, in a file named by the gyro's ID, the record the last Read or verified
// Write found; a Write retried after a failed one finds it already kept. (The exit check's
// Write takes the same way: FailedBackupAsks.)
TEST_F(BackupsTest, WriteKeepsWhatTheGyroHeld) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ReadAndEdit(w);
    const ParameterRecord held = w->gyro.deviceRecord;
    w.gyro().setFaults("fail=FT_Write");
    w.Click(ids::WriteButton);
    w.gyro().setFaults("");
    w.Click(ids::WriteButton);
    EXPECT_EQ(w.messages.Ids(), Ids({104, 105}));
    std::vector<std::string> backups = Backups();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(Load(backups[0]), held);
    const std::filesystem::path file = PathFromUtf8(backups[0]);
    EXPECT_EQ(Utf8Path(file.filename()).rfind(std::to_string(held.gyroId()) + "-", 0), 0u);
    EXPECT_EQ(file.parent_path(), PathFromUtf8(BackupsDir()));

    const ParameterRecord written = w->gyro.deviceRecord;
    w.MoveSlider(ids::DGainSlider, written.dGain() == 200 ? 180 : 200);
    w.Click(ids::WriteButton);
    backups = Backups();
    ASSERT_EQ(backups.size(), 2u);
    EXPECT_EQ(Load(backups[0]), written);
}

// A backup that cannot be saved asks before anything goes to the gyro; the exit check's
// write then keeps the window open with the edits.
TEST_F(BackupsTest, FailedBackupAsks) {
    struct Row {
        const char* name;
        Trigger trigger;
        MessageAnswer answer;
        std::vector<int> messages;
        bool written;
    };
    const Row kRows[] = {
        {"Write, No", Trigger::WriteButton, MessageAnswer::No, {135}, false},
        {"Write, Yes", Trigger::WriteButton, MessageAnswer::Yes, {135, 105}, true},
        {"exit check, No", Trigger::ExitCheck, MessageAnswer::No, {133, 135}, false},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        // No folder can be made inside a file, not even by root.
        ScratchDir state;
        ASSERT_TRUE(WriteBytes(state.file("tarvex"), ""));
        ::setenv("XDG_STATE_HOME", state.path().c_str(), 1);
        Harness w;
        ASSERT_TRUE(w.connected);
        ReadAndEdit(w);
        const ParameterRecord gyroBefore = w.gyro().Record();
        const ParameterRecord working = w->gyro.workingRecord;
        const std::size_t frames = w.gyro().commandCount();
        w.messages.answers = {row.answer};

        Write(w, row.trigger);
        ::setenv("XDG_STATE_HOME", ScratchStateFolder().c_str(), 1);

        EXPECT_EQ(w.messages.Ids(), row.messages);
        const ShownMessage& question = w.messages.shown[row.messages[0] == 133 ? 1 : 0];
        EXPECT_EQ(question.icon, MessageIcon::Question);
        EXPECT_EQ(question.buttons, MessageButtons::YesNo);
        // The folder and the reason fill the question's placeholders.
        const std::string folder = Utf8Path(PathFromUtf8(state.path()) / "tarvex" / "backups");
        EXPECT_EQ(question.text.rfind("<135 " + folder + " ", 0), 0u) << question.text;
        const std::string end = "> Write anyway?";
        EXPECT_TRUE(question.text.size() > end.size() &&
                    question.text.compare(question.text.size() - end.size(), end.size(), end) == 0)
            << question.text;
        EXPECT_EQ(w.gyro().commandCount() > frames, row.written);
        EXPECT_EQ(w.gyro().Record() == gyroBefore, !row.written);
        EXPECT_TRUE(w.visible());
        EXPECT_EQ(w->gyro.workingRecord, working);
    }
}

// File > Restore Previous Settings opens the chooser in the backups folder (made when
// missing) and loads the chosen backup as File > Open does.
TEST_F(BackupsTest, RestoreLoadsLikeOpen) {
    Harness w;
    ASSERT_TRUE(w.connected);
    w->OnFileRestore();  // cancelled
    EXPECT_EQ(w.files.openCalls, 1);
    EXPECT_EQ(w.files.openFolder, BackupsDir());
    EXPECT_TRUE(std::filesystem::is_directory(PathFromUtf8(BackupsDir())));
    EXPECT_FALSE(w->hasFilePath);

    ReadAndEdit(w);
    const ParameterRecord held = w->gyro.deviceRecord;
    w->OnWrite();
    ASSERT_FALSE(Backups().empty());
    const std::string backup = Backups()[0];
    w.files.openChoices.push_back(backup);
    w.messages.Clear();
    w->OnFileRestore();
    EXPECT_EQ(w.messages.Ids(), Ids({}));
    EXPECT_EQ(w.files.openFolder, BackupsDir());
    EXPECT_EQ(w->gyro.workingRecord, held);
    EXPECT_FALSE(w->hasFilePath);  // a backup is not a file to save to (BackupsStayAsKept)
    EXPECT_EQ(w.text(ids::DDamping), std::to_string(held.dDamping()));  // shown

    // Open itself still starts where the chooser was last.
    w->OnFileOpen();
    EXPECT_TRUE(w.files.openFolder.empty());
}

// A Write that fails after it began leaves the gyro holding old pages, new pages or both:
// going back to the read values (undo, or the backup this Write kept) still leaves the
// closing check asking, until a successful Read or Write tells what the gyro holds.
TEST_F(BackupsTest, FailedWriteLeavesTheGyroUnknown) {
    enum class Back { Undo, Restore };
    enum class Then { Read, Write };
    struct Row {
        const char* faults;  // pages cut off after four frames, or the read-back lost
        Back back;
        Then then;
    };
    const Row kRows[] = {
        {"write-fails-after=4", Back::Undo, Then::Read},
        {"write-fails-after=4", Back::Restore, Then::Write},
        {"fail=FT_Read", Back::Undo, Then::Write},
        {"fail=FT_Read", Back::Restore, Then::Read},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::string(row.faults) + (row.back == Back::Undo ? " undo" : " restore"));
        SetUp();
        Harness w;
        ASSERT_TRUE(w.connected);
        ASSERT_TRUE(w.Read());
        const ParameterRecord read = w->gyro.workingRecord;
        const int damping = w.position(ids::DDampingSlider);
        w.MoveSlider(ids::DDampingSlider, damping == 60 ? 70 : 60);
        ASSERT_EQ(w.gyro().setFaults(row.faults), 0);
        w->OnWrite();
        ASSERT_EQ(w.messages.Ids(), Ids({104}));
        w.gyro().setFaults("");
        if (row.back == Back::Undo) {
            w.MoveSlider(ids::DDampingSlider, damping);
        } else {
            ASSERT_FALSE(Backups().empty());
            w.files.openChoices.push_back(Backups()[0]);
            w->OnFileRestore();
        }
        ASSERT_TRUE(recordsEqual(w->gyro.workingRecord, read));
        ASSERT_TRUE(recordsEqual(w->gyro.workingRecord, w->gyro.deviceRecord));
        w.messages.Clear();

        w->OnCancel();  // No: the window closes without writing
        EXPECT_EQ(w.messages.Ids(), Ids({133}));
        w.messages.Clear();

        if (row.then == Then::Read) {
            ASSERT_TRUE(w.Read());
        } else {
            w->OnWrite();
            ASSERT_EQ(w.messages.Ids(), Ids({105}));
        }
        w.messages.Clear();
        w.window.ended.reset();
        w->OnCancel();
        EXPECT_EQ(w.messages.Ids(), Ids({}));
        EXPECT_TRUE(w.window.ended.has_value());
    }
}

// A backup keeps what the gyro held: however it is opened (and however its path is
// spelled), the window has no file to save to, names none in its title and keeps it out of
// the recent list; Save asks, and Save As into the backups folder is refused.
TEST_F(BackupsTest, BackupsStayAsKept) {
    enum class Way { Restore, Open, Drop, CommandLine };
    struct Row {
        const char* name;
        Way way;
        bool spelledOtherwise;  // through "sub/.." inside the folder
    };
    const Row kRows[] = {
        {"restore", Way::Restore, false},
        {"open", Way::Open, true},
        {"drop", Way::Drop, false},
        {"command line", Way::CommandLine, true},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        SetUp();
        ScratchDir dir;
        Harness w;
        ASSERT_TRUE(w.connected);
        const std::string own = dir.file("heli.tcf");
        w.files.saveAsChoices.push_back(own);
        w->OnFileSaveAs();  // a file of the user's is open before
        ASSERT_TRUE(w->hasFilePath);
        ReadAndEdit(w);
        w->OnWrite();
        ASSERT_FALSE(Backups().empty());
        const std::string backup = Backups()[0];
        const std::string kept = ReadBytes(backup);
        std::filesystem::create_directories(PathFromUtf8(BackupsDir()) / "sub");
        const std::string path = row.spelledOtherwise
                                     ? Utf8Path(PathFromUtf8(BackupsDir()) / "sub" / ".." /
                                                PathFromUtf8(backup).filename())
                                     : backup;
        switch (row.way) {
            case Way::Restore:
                w.files.openChoices.push_back(path);
                w->OnFileRestore();
                break;
            case Way::Open:
                w.files.openChoices.push_back(path);
                w->OnFileOpen();
                break;
            case Way::Drop:
                w->OnDropFiles({path});
                break;
            case Way::CommandLine:
                w->OpenSettingsFile(path);
                break;
        }
        ASSERT_EQ(Bytes(w->gyro.workingRecord), kept);
        EXPECT_FALSE(w->hasFilePath);
        EXPECT_EQ(w.window.title, "Tarvex");
        EXPECT_EQ(w->RecentFiles(), std::vector<std::string>{own});
        w.messages.Clear();

        w.MoveSlider(ids::BaseGainSlider, w.position(ids::BaseGainSlider) == 60 ? 70 : 60);
        w->OnFileSave();  // asks; cancelled
        EXPECT_EQ(w.files.saveAsCalls, 2);
        w.files.saveAsChoices.push_back(path);
        w->OnFileSaveAs();
        EXPECT_EQ(w.messages.Ids(), Ids({137}));  // the file and the folder, named
        EXPECT_NE(w.messages.Last()->text.find(PathFromUtf8(backup).filename().string()),
                  std::string::npos);
        EXPECT_FALSE(w->hasFilePath);
        EXPECT_EQ(ReadBytes(backup), kept);

        // A backup left in the recent list by an earlier run is not offered.
        w.window.recentStore = {path, own};
        EXPECT_EQ(w->RecentFiles(), std::vector<std::string>{own});
    }
}
