// Read, Write and the closing check, against the virtual gyro.
#include "gyro/Commands.h"
#include "gyro/SettingsFile.h"
#include "tests/dialog/DialogTestSupport.h"

using namespace dialogtest;

namespace {

std::vector<Frame> WriteFrames() {
    std::vector<Frame> f(9, Frame::Page);
    f.push_back(Frame::Other);  // the closing frame
    return f;
}

bool GyroCommandsEnabled(Harness& w) {
    return w.enabled(ids::WriteButton) && w.enabled(ids::Enter) && w.enabled(ids::ConnectWrite);
}

bool GyroCommandsDisabled(Harness& w) {
    return !w.enabled(ids::WriteButton) && !w.enabled(ids::Enter) && !w.enabled(ids::ConnectWrite);
}

}  // namespace

TEST(Commands, ReadEndToEnd) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(GyroCommandsDisabled(w));
    const ParameterRecord onGyro = w.gyro().Record();

    w->OnRead();

    EXPECT_EQ(w.messages.Ids(), Ids({117}));
    EXPECT_EQ(w.messages.Last()->icon, MessageIcon::Information);
    EXPECT_EQ(w.gyro().Frames(), std::vector<Frame>{Frame::Read});
    EXPECT_EQ(w.pause.waits(), std::vector<std::uint32_t>{500});
    EXPECT_TRUE(recordsEqual(w->gyro.deviceRecord, onGyro));
    EXPECT_EQ(w->gyro.workingRecord, w->gyro.deviceRecord);
    EXPECT_TRUE(w->readFromGyro);
    EXPECT_TRUE(GyroCommandsEnabled(w));
    // The wait cursor while the gyro is busy, gone before the message.
    EXPECT_EQ(w.window.waitCursor, (std::vector<bool>{true, false}));
    // The window shows the gyro's values.
    EXPECT_EQ(w.text(ids::DGain), std::to_string(onGyro.dGain()));
    EXPECT_EQ(w.position(ids::DGainSlider), int(onGyro.dGain()));
    EXPECT_EQ(w.text(ids::IdBox), std::to_string(onGyro.gyroId()));

    // A failed Read afterwards takes nothing back.
    w.messages.Clear();
    w.gyro().setFaults("no-reply");
    w->OnRead();
    EXPECT_EQ(w.messages.Ids(), Ids({103}));
    EXPECT_TRUE(GyroCommandsEnabled(w));
}

TEST(Commands, WriteEndToEnd) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
    const int dGain = w->gyro.workingRecord.dGain() == 200 ? 180 : 200;
    w.MoveSlider(ids::DGainSlider, dGain);
    ASSERT_EQ(int(w->gyro.workingRecord.dGain()), dGain);
    const std::size_t before = w.gyro().commandCount();

    w->OnWrite();

    EXPECT_EQ(w.messages.Ids(), Ids({105}));
    EXPECT_EQ(w.messages.Last()->icon, MessageIcon::Information);
    std::vector<Frame> expected = WriteFrames();
    expected.push_back(Frame::Read);  // the verification
    EXPECT_EQ(w.gyro().Frames(before), expected);
    std::vector<std::uint32_t> waits(9, 100);
    waits.push_back(500);
    EXPECT_EQ(w.pause.waits(), waits);
    EXPECT_EQ(int(w.gyro().Record().dGain()), dGain);
    EXPECT_TRUE(recordsEqual(w->gyro.deviceRecord, w->gyro.workingRecord));
    EXPECT_TRUE(GyroCommandsEnabled(w));
}

TEST(Commands, WriteVerifiesWithTheIdChoice) {
    for (const bool notUsingId : {false, true}) {
        SCOPED_TRACE(notUsingId ? "Not using ID" : "ID used");
        Harness w;
        ASSERT_TRUE(w.connected);
        ASSERT_TRUE(w.Read());
        if (notUsingId) w.Click(ids::NotUsingId);
        EXPECT_EQ(w->notUsingId, notUsingId ? 1 : 0);
        w->OnWrite();
        EXPECT_EQ(w.messages.Ids(), Ids({105}));
        const auto last = w.gyro().command(w.gyro().commandCount() - 1);
        EXPECT_TRUE(last[15] & 0x04);  // a read request
        EXPECT_EQ(bool(last[15] & 0x02), !notUsingId);
    }
}

TEST(Commands, FailureTable) {
    struct Row {
        const char* faults;
        int readMessage;
        int writeMessage;
        // Whether the failure leaves the gyro's answer in deviceRecord (the records differ).
        bool writeLeavesDifference;
    };
    static const Row kRows[] = {
        {"fail=FT_Purge", 120, 120, false}, {"fail=FT_Write", 103, 104, false},
        {"fail=FT_Read", 103, 104, false},  {"no-reply", 103, 104, false},
        {"cut=40", 103, 104, false},        {"bad-header", 103, 104, false},
        {"bad-sum", 103, 104, false},       {"model=0x81", 102, 102, true},
        {"store-differs", 117, 104, true},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.faults);
        {  // Read, before any successful Read.
            Harness w;
            ASSERT_TRUE(w.connected);
            const ParameterRecord working = w->gyro.workingRecord;
            ASSERT_EQ(w.gyro().setFaults(row.faults), 0);
            w->OnRead();
            EXPECT_EQ(w.messages.Ids(), Ids({row.readMessage}));
            if (row.readMessage != 117) {
                EXPECT_EQ(w.messages.Last()->icon, MessageIcon::Stop);
                EXPECT_EQ(w->gyro.workingRecord, working);
                EXPECT_FALSE(w->readFromGyro);
                EXPECT_TRUE(GyroCommandsDisabled(w));
            }
        }
        {  // Write, after a Read.
            Harness w;
            ASSERT_TRUE(w.connected);
            ASSERT_TRUE(w.Read());
            w.MoveSlider(ids::BaseGainSlider, w->gyro.workingRecord.baseGain() == 60 ? 70 : 60);
            const ParameterRecord working = w->gyro.workingRecord;
            ASSERT_EQ(w.gyro().setFaults(row.faults), 0);
            w->OnWrite();
            EXPECT_EQ(w.messages.Ids(), Ids({row.writeMessage}));
            EXPECT_EQ(w.messages.Last()->icon, MessageIcon::Stop);
            EXPECT_EQ(w->gyro.workingRecord, working);
            EXPECT_TRUE(w->readFromGyro);
            EXPECT_TRUE(GyroCommandsEnabled(w));
            EXPECT_FALSE(recordsEqual(w->gyro.deviceRecord, w->gyro.workingRecord));
            if (row.writeLeavesDifference) {  // the gyro's answer was taken in
                EXPECT_FALSE(recordsEqual(w->gyro.deviceRecord, working));
            }
        }
    }
}

TEST(Commands, FailureMessagesOfErrorsWithoutFaultPath) {
    // The adapter raises OpenError only while connecting; a command would still map it.
    EXPECT_EQ(CommandFailureMessage(CommandKind::Read, TBX3::OpenError()), 119);
    EXPECT_EQ(CommandFailureMessage(CommandKind::Write, TBX3::OpenError()), 119);
    EXPECT_EQ(CommandFailureMessage(CommandKind::Write, TBX3::ConnectionError()), 120);
    // A window whose adapter was never bound reports its commands' failures, nothing else.
    FakeWindow window;
    TBX3 unbound;
    CTarvexDlg dlg(unbound, window);
    dlg.ValuesToControls();
    dlg.ReadGyro();
    EXPECT_EQ(window.messages.Ids(), Ids({103}));
    window.messages.Clear();
    EXPECT_FALSE(dlg.WriteGyro());
    EXPECT_EQ(window.messages.Ids(), Ids({104}));
}

namespace {

enum class Before {
    Fresh,
    ReadOnly,
    ReadEdited,
    EditedUndone,
    EditedWithoutRead,
    RejectedWithoutRead,
    RejectedAfterRead,
    FileDiffersInIgnoredBytes,
};

}  // namespace

TEST(Commands, ClosingDecisions) {
    struct Row {
        const char* name;
        Before setup;
        const char* faultsBeforeClosing;
        MessageAnswer answer;
        std::vector<int> messages;
        bool closes;
        bool gyroWritten;  // the edit reached the gyro
    };
    const auto yes = MessageAnswer::Yes, no = MessageAnswer::No;
    const Row kRows[] = {
        {"right after start", Before::Fresh, "", no, {}, true, false},
        {"read, no edit", Before::ReadOnly, "", no, {}, true, false},
        {"read, edit, No", Before::ReadEdited, "", no, {133}, true, false},
        {"read, edit, Yes", Before::ReadEdited, "", yes, {133, 105}, true, true},
        // The user chose to write and the write failed: the window stays with the edits.
        {"read, edit, Yes, write fails",
         Before::ReadEdited,
         "fail=FT_Write",
         yes,
         {133, 104},
         false,
         false},
        {"read, edit, Yes, gyro stores otherwise",
         Before::ReadEdited,
         "store-differs",
         yes,
         {133, 104},
         false,
         true},
        {"edit undone", Before::EditedUndone, "", no, {}, true, false},
        {"edited without a read", Before::EditedWithoutRead, "", no, {134}, true, false},
        {"rejected model code, no read before",
         Before::RejectedWithoutRead,
         "",
         no,
         {134},
         true,
         false},
        {"rejected model code after a read", Before::RejectedAfterRead, "", no, {133}, true, false},
        {"file differs in bytes 0, 4-5, 84 only",
         Before::FileDiffersInIgnoredBytes,
         "",
         no,
         {},
         true,
         false},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Harness w;
        ASSERT_TRUE(w.connected);
        ScratchDir dir;
        switch (row.setup) {
            case Before::Fresh:
                break;
            case Before::ReadOnly:
                ASSERT_TRUE(w.Read());
                break;
            case Before::ReadEdited:
            case Before::EditedUndone: {
                ASSERT_TRUE(w.Read());
                const int original = w.position(ids::DDampingSlider);
                w.MoveSlider(ids::DDampingSlider, original == 60 ? 70 : 60);
                ASSERT_FALSE(recordsEqual(w->gyro.workingRecord, w->gyro.deviceRecord));
                if (row.setup == Before::EditedUndone) w.MoveSlider(ids::DDampingSlider, original);
                break;
            }
            case Before::EditedWithoutRead:
                w.MoveSlider(ids::DDampingSlider, 60);
                break;
            case Before::RejectedWithoutRead:
            case Before::RejectedAfterRead:
                if (row.setup == Before::RejectedAfterRead) {
                    ASSERT_TRUE(w.Read());
                }
                w.gyro().setFaults("model=0x81");
                w->OnRead();
                ASSERT_EQ(w.messages.Ids(), Ids({102}));
                w.gyro().setFaults("");
                w.messages.Clear();
                break;
            case Before::FileDiffersInIgnoredBytes: {
                ASSERT_TRUE(w.Read());
                ParameterRecord file = w->gyro.deviceRecord;
                file.bytes[0] ^= 0x5A;
                file.bytes[4] ^= 0x01;
                file.bytes[5] ^= 0x80;
                file.bytes[84] ^= 0x33;
                const std::string path = dir.file("ignored.tcf");
                ASSERT_EQ(SaveSettingsFile(path, file), FileResult::Ok);
                w.files.openChoices.push_back(path);
                w->OnFileOpen();
                ASSERT_EQ(w->gyro.workingRecord, file);
                ASSERT_TRUE(w->gyro.workingRecord != w->gyro.deviceRecord);
                break;
            }
        }
        const ParameterRecord gyroBefore = w.gyro().Record();
        const ParameterRecord working = w->gyro.workingRecord;
        w.gyro().setFaults(row.faultsBeforeClosing);
        w.messages.answers = {row.answer};
        // What a page asks before it is left: whether the check below speaks up.
        EXPECT_EQ(w->HasUnwrittenData(), !row.messages.empty());

        w->OnCancel();

        EXPECT_EQ(w.messages.Ids(), row.messages);
        if (!row.messages.empty() && row.messages[0] == 133) {
            EXPECT_EQ(w.messages.shown[0].icon, MessageIcon::Question);
            EXPECT_EQ(w.messages.shown[0].buttons, MessageButtons::YesNo);
        }
        if (!row.messages.empty() && row.messages[0] == 134) {
            EXPECT_EQ(w.messages.shown[0].icon, MessageIcon::Exclamation);
        }
        EXPECT_EQ(!w.visible(), row.closes);
        if (row.closes) {
            EXPECT_EQ(w.window.ended, DialogResult::Cancel);
        }
        w.gyro().setFaults("");
        EXPECT_EQ(w.gyro().Record().dDamping(),
                  row.gyroWritten ? working.dDamping() : gyroBefore.dDamping());
        if (!row.closes) {
            EXPECT_EQ(w->gyro.workingRecord, working);  // the edits are still there
        }
    }
}

// OK and Exit validate the ID box after the check, and a refused text keeps the window;
// Cancel does not validate.
TEST(Commands, ExitValidatesAfterTheCheckCancelDoesNot) {
    Harness w;
    ASSERT_TRUE(w.connected);
    w.Click(ids::NotUsingId);  // the ID box becomes writable
    ASSERT_FALSE(w.window.ReadOnly(ids::IdBox));
    w.MoveSlider(ids::DDampingSlider, 60);
    w.window.SetText(ids::IdBox, "70000");
    w.messages.Clear();

    w->OnExit();
    // The unwritten-data check first, then the ID box's validation message; still open.
    EXPECT_EQ(w.messages.Ids(), Ids({134, 0}));
    EXPECT_TRUE(w.visible());
    w->OnOK();
    EXPECT_TRUE(w.visible());

    w.messages.Clear();
    w->OnCancel();
    EXPECT_EQ(w.messages.Ids(), Ids({134}));
    EXPECT_EQ(w.window.ended, DialogResult::Cancel);
}

// A close requested while the check's own question is up is the check's to answer.
TEST(Commands, CloseDuringTheCheckIsIgnored) {
    Harness w;
    ASSERT_TRUE(w.connected);
    w.MoveSlider(ids::DDampingSlider, 60);
    int nested = 0;
    w.messages.onMessage = [&](const ShownMessage&) {
        EXPECT_TRUE(w->Closing());
        ++nested;
        w->OnCancel();  // Escape again, or the close box, while the box is up
        w->OnOK();
    };
    w->OnCancel();
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(w.messages.Ids(), Ids({134}));
    EXPECT_FALSE(w->Closing());
    EXPECT_EQ(w.window.ended, DialogResult::Cancel);
}

TEST(Commands, CommandDuringLimitSettingStopsItSilently) {
    for (const bool write : {false, true}) {
        SCOPED_TRACE(write ? "Write" : "Read");
        Harness w;
        ASSERT_TRUE(w.connected);
        ASSERT_TRUE(w.Read());
        const ParameterRecord before = w->gyro.workingRecord;
        w.Click(ids::Enter);
        ASSERT_EQ(w->enterPressed, 1);
        ASSERT_TRUE(w->streamTimer.Running());
        ASSERT_EQ(w.gyro().limitMode(), 1);
        const std::size_t from = w.gyro().commandCount();
        w.pause.clear();
        // The limit-mode-off frame goes out before the command's own frames.
        int limitModeAtOff = -1;
        bool streamRunningAtOff = true;
        w.pause.onWait([&](std::uint32_t) {
            if (limitModeAtOff < 0) {
                streamRunningAtOff = w->streamTimer.Running();
                limitModeAtOff = w.gyro().limitMode();
            }
        });

        if (write)
            w->OnWrite();
        else
            w->OnRead();

        w.pause.onWait({});
        EXPECT_EQ(w.messages.Ids(), Ids({write ? 105 : 117}));  // no "aborted"
        EXPECT_FALSE(streamRunningAtOff);  // the stream stopped before the first wait
        EXPECT_EQ(limitModeAtOff, 1);      // and the off frame came after it
        std::vector<Frame> expected{Frame::LimitOff};
        if (write) {
            const auto pages = WriteFrames();
            expected.insert(expected.end(), pages.begin(), pages.end());
        }
        expected.push_back(Frame::Read);
        EXPECT_EQ(w.gyro().Frames(from), expected);
        EXPECT_EQ(w.pause.waits().front(), 100u);
        EXPECT_EQ(w->enterPressed, 0);
        EXPECT_FALSE(w.checked(ids::Enter));
        EXPECT_FALSE(w.enabled(ids::PositionSlider));
        EXPECT_FALSE(w.enabled(ids::Set));
        EXPECT_TRUE(w.text(ids::Status).empty());
        EXPECT_FALSE(w->streamTimer.Running());
        EXPECT_EQ(w.gyro().limitMode(), 0);
        EXPECT_EQ(w->gyro.workingRecord.limitHigh(), before.limitHigh());
        EXPECT_EQ(w->gyro.workingRecord.limitLow(), before.limitLow());
    }
}
