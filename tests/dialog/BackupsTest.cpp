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
    EXPECT_EQ(w->filePath, backup);
    EXPECT_TRUE(w->hasFilePath);
    EXPECT_EQ(w.text(ids::DDamping), std::to_string(held.dDamping()));  // shown

    // Open itself still starts where the chooser was last.
    w->OnFileOpen();
    EXPECT_TRUE(w.files.openFolder.empty());
}
