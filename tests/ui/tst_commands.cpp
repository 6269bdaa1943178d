// Read, Write and closing the window, against the virtual gyro.
#include <QKeyEvent>
#include <QTemporaryDir>

#include "gyro/Commands.h"
#include "gyro/SettingsFile.h"
#include "tests/ui/CommandsSupport.h"

using namespace uitest;
using Frame = VirtualGyro::Frame;

namespace {

std::vector<Frame> WriteFrames() {
    std::vector<Frame> f(9, Frame::Page);
    f.push_back(Frame::Other);  // the closing frame
    return f;
}

bool GyroCommandsEnabled(Window& w) {
    return w.enabled(ids::WriteButton) && w.enabled(ids::Enter) &&
           w->Action(ids::ConnectWrite)->isEnabled();
}

bool GyroCommandsDisabled(Window& w) {
    return !w.enabled(ids::WriteButton) && !w.enabled(ids::Enter) &&
           !w->Action(ids::ConnectWrite)->isEnabled();
}

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() { PrepareEnvironment(); }

  private slots:
    void readEndToEnd();
    void writeEndToEnd();
    void writeVerifiesWithTheIdChoice_data();
    void writeVerifiesWithTheIdChoice();
    void failureTable_data();
    void failureTable();
    void failureMessagesOfErrorsWithoutFaultPath();
    void closingDecisions_data();
    void closingDecisions();
    void closingPaths_data();
    void closingPaths();
    void returnOnPushButtonDoesNotClose();
    void exitValidatesAfterTheCheckEscapeDoesNot();
    void commandDuringLimitSettingStopsItSilently_data();
    void commandDuringLimitSettingStopsItSilently();
};

void CommandsTest::readEndToEnd() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(GyroCommandsDisabled(w));
    const ParameterRecord onGyro = w.gyro().Record();

    w->OnRead();

    QCOMPARE(w.messages.Ids(), Ids({117}));
    QCOMPARE(w.messages.Last()->icon, MessageIcon::Information);
    QCOMPARE(w.gyro().Frames(), std::vector<Frame>{Frame::Read});
    QCOMPARE(w.pause.waits(), std::vector<std::uint32_t>{500});
    QVERIFY(recordsEqual(w->gyro.deviceRecord, onGyro));
    QCOMPARE(w->gyro.workingRecord, w->gyro.deviceRecord);
    QVERIFY(w->readFromGyro);
    QVERIFY(GyroCommandsEnabled(w));
    // The window shows the gyro's values.
    QCOMPARE(w.text(ids::DGain), QString::number(onGyro.dGain()));
    QCOMPARE(w.slider(ids::DGainSlider)->value(), int(onGyro.dGain()));
    QCOMPARE(w.text(ids::IdBox), QString::number(onGyro.gyroId()));

    // A failed Read afterwards takes nothing back.
    w.messages.Clear();
    w.gyro().setFaults("no-reply");
    w->OnRead();
    QCOMPARE(w.messages.Ids(), Ids({103}));
    QVERIFY(GyroCommandsEnabled(w));
}

void CommandsTest::writeEndToEnd() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    const int dGain = w->gyro.workingRecord.dGain() == 200 ? 180 : 200;
    w.MoveSlider(ids::DGainSlider, dGain);
    QCOMPARE(int(w->gyro.workingRecord.dGain()), dGain);
    const std::size_t before = w.gyro().commandCount();

    w->OnWrite();

    QCOMPARE(w.messages.Ids(), Ids({105}));
    QCOMPARE(w.messages.Last()->icon, MessageIcon::Information);
    std::vector<Frame> expected = WriteFrames();
    expected.push_back(Frame::Read);  // the verification
    QCOMPARE(w.gyro().Frames(before), expected);
    std::vector<std::uint32_t> waits(9, 100);
    waits.push_back(500);
    QCOMPARE(w.pause.waits(), waits);
    QCOMPARE(int(w.gyro().Record().dGain()), dGain);
    QVERIFY(recordsEqual(w->gyro.deviceRecord, w->gyro.workingRecord));
    QVERIFY(GyroCommandsEnabled(w));
}

void CommandsTest::writeVerifiesWithTheIdChoice_data() {
    QTest::addColumn<bool>("notUsingId");
    QTest::addColumn<bool>("callerFlag");
    QTest::newRow("ID used") << false << true;
    QTest::newRow("Not using ID") << true << false;
}

void CommandsTest::writeVerifiesWithTheIdChoice() {
    QFETCH(bool, notUsingId);
    QFETCH(bool, callerFlag);
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    if (notUsingId) w.Click(ids::NotUsingId);
    QCOMPARE(w->notUsingId, notUsingId ? 1 : 0);
    w->OnWrite();
    QCOMPARE(w.messages.Ids(), Ids({105}));
    std::array<std::uint8_t, 17> last{};
    QCOMPARE(w.gyro().commandFrame(w.gyro().commandCount() - 1, last.data()), 0);
    QVERIFY(last[15] & 0x04);  // a read request
    QCOMPARE(bool(last[15] & 0x02), callerFlag);
}

void CommandsTest::failureTable_data() {
    QTest::addColumn<QByteArray>("faults");
    QTest::addColumn<int>("readMessage");
    QTest::addColumn<int>("writeMessage");
    // Whether the failure leaves the gyro's answer in deviceRecord (so the records differ).
    QTest::addColumn<bool>("writeLeavesDifference");
    QTest::newRow("purge fails") << QByteArray("fail=FT_Purge") << 120 << 120 << false;
    QTest::newRow("write fails") << QByteArray("fail=FT_Write") << 103 << 104 << false;
    QTest::newRow("read fails") << QByteArray("fail=FT_Read") << 103 << 104 << false;
    QTest::newRow("no reply") << QByteArray("no-reply") << 103 << 104 << false;
    QTest::newRow("reply cut") << QByteArray("cut=40") << 103 << 104 << false;
    QTest::newRow("bad header") << QByteArray("bad-header") << 103 << 104 << false;
    QTest::newRow("bad sum") << QByteArray("bad-sum") << 103 << 104 << false;
    QTest::newRow("not a KR640") << QByteArray("model=0x81") << 102 << 102 << true;
    QTest::newRow("stores otherwise") << QByteArray("store-differs") << 117 << 104 << true;
}

void CommandsTest::failureTable() {
    QFETCH(QByteArray, faults);
    QFETCH(int, readMessage);
    QFETCH(int, writeMessage);
    QFETCH(bool, writeLeavesDifference);

    {  // Read, before any successful Read.
        Window w;
        QVERIFY(w.connected);
        const ParameterRecord working = w->gyro.workingRecord;
        QCOMPARE(w.gyro().setFaults(faults.constData()), 0);
        w->OnRead();
        QCOMPARE(w.messages.Ids(), Ids({readMessage}));
        if (readMessage != 117) {
            QCOMPARE(w.messages.Last()->icon, MessageIcon::Stop);
            QCOMPARE(w->gyro.workingRecord, working);
            QVERIFY(!w->readFromGyro);
            QVERIFY(GyroCommandsDisabled(w));
        }
    }
    {  // Write, after a Read.
        Window w;
        QVERIFY(w.connected);
        QVERIFY(w.Read());
        w.MoveSlider(ids::BaseGainSlider, w->gyro.workingRecord.baseGain() == 60 ? 70 : 60);
        const ParameterRecord working = w->gyro.workingRecord;
        QCOMPARE(w.gyro().setFaults(faults.constData()), 0);
        w->OnWrite();
        QCOMPARE(w.messages.Ids(), Ids({writeMessage}));
        QCOMPARE(w.messages.Last()->icon, MessageIcon::Stop);
        QCOMPARE(w->gyro.workingRecord, working);
        QVERIFY(w->readFromGyro);
        QVERIFY(GyroCommandsEnabled(w));
        QVERIFY(!recordsEqual(w->gyro.deviceRecord, w->gyro.workingRecord));
        if (writeLeavesDifference)  // the gyro's answer was taken in
            QVERIFY(!recordsEqual(w->gyro.deviceRecord, working));
    }
}

void CommandsTest::failureMessagesOfErrorsWithoutFaultPath() {
    // The adapter raises OpenError only while connecting; a command would still map it.
    QCOMPARE(CommandFailureMessage(CommandKind::Read, TBX3::OpenError()), 119);
    QCOMPARE(CommandFailureMessage(CommandKind::Write, TBX3::OpenError()), 119);
    QCOMPARE(CommandFailureMessage(CommandKind::Write, TBX3::ConnectionError()), 120);
    // A window whose adapter was never bound reports its commands' failures, nothing else.
    FakeMessageService messages;
    FakeFileChooser files;
    TBX3 unbound;
    CTarvexDlg dlg(unbound, {&messages, &files});
    dlg.ValuesToControls();
    dlg.ReadGyro();
    QCOMPARE(messages.Ids(), Ids({103}));
    messages.Clear();
    QVERIFY(!dlg.WriteGyro());
    QCOMPARE(messages.Ids(), Ids({104}));
}

enum class Setup {
    Fresh,
    ReadOnly,
    ReadEdited,
    EditedUndone,
    EditedWithoutRead,
    RejectedWithoutRead,
    RejectedAfterRead,
    FileDiffersInIgnoredBytes,
};
Q_DECLARE_METATYPE(Setup)

void CommandsTest::closingDecisions_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QByteArray>("faultsBeforeClosing");
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<std::vector<int>>("messages");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("gyroWritten");  // the edit reached the gyro
    const QByteArray none;
    const auto yes = MessageAnswer::Yes, no = MessageAnswer::No;
    QTest::newRow("right after start") << Setup::Fresh << none << no << Ids({}) << true << false;
    QTest::newRow("read, no edit") << Setup::ReadOnly << none << no << Ids({}) << true << false;
    QTest::newRow("read, edit, No")
        << Setup::ReadEdited << none << no << Ids({133}) << true << false;
    QTest::newRow("read, edit, Yes")
        << Setup::ReadEdited << none << yes << Ids({133, 105}) << true << true;
    // The user chose to write and the write failed: the window stays with the edits.
    QTest::newRow("read, edit, Yes, write fails")
        << Setup::ReadEdited << QByteArray("fail=FT_Write") << yes << Ids({133, 104}) << false
        << false;
    QTest::newRow("read, edit, Yes, gyro stores otherwise")
        << Setup::ReadEdited << QByteArray("store-differs") << yes << Ids({133, 104}) << false
        << true;
    QTest::newRow("edit undone") << Setup::EditedUndone << none << no << Ids({}) << true << false;
    QTest::newRow("edited without a read")
        << Setup::EditedWithoutRead << none << no << Ids({134}) << true << false;
    QTest::newRow("rejected model code, no read before")
        << Setup::RejectedWithoutRead << none << no << Ids({134}) << true << false;
    QTest::newRow("rejected model code after a read")
        << Setup::RejectedAfterRead << none << no << Ids({133}) << true << false;
    QTest::newRow("file differs in bytes 0, 4-5, 84 only")
        << Setup::FileDiffersInIgnoredBytes << none << no << Ids({}) << true << false;
}

void CommandsTest::closingDecisions() {
    QFETCH(Setup, setup);
    QFETCH(QByteArray, faultsBeforeClosing);
    QFETCH(MessageAnswer, answer);
    QFETCH(std::vector<int>, messages);
    QFETCH(bool, closes);
    QFETCH(bool, gyroWritten);

    Window w;
    QVERIFY(w.connected);
    QTemporaryDir dir;
    int original = 0;
    switch (setup) {
        case Setup::Fresh:
            break;
        case Setup::ReadOnly:
            QVERIFY(w.Read());
            break;
        case Setup::ReadEdited:
        case Setup::EditedUndone:
            QVERIFY(w.Read());
            original = w.slider(ids::DDampingSlider)->value();
            w.MoveSlider(ids::DDampingSlider, original == 60 ? 70 : 60);
            QVERIFY(!recordsEqual(w->gyro.workingRecord, w->gyro.deviceRecord));
            if (setup == Setup::EditedUndone) w.MoveSlider(ids::DDampingSlider, original);
            break;
        case Setup::EditedWithoutRead:
            w.MoveSlider(ids::DDampingSlider, 60);
            break;
        case Setup::RejectedWithoutRead:
        case Setup::RejectedAfterRead:
            if (setup == Setup::RejectedAfterRead) QVERIFY(w.Read());
            w.gyro().setFaults("model=0x81");
            w->OnRead();
            QCOMPARE(w.messages.Ids(), Ids({102}));
            w.gyro().setFaults("");
            w.messages.Clear();
            break;
        case Setup::FileDiffersInIgnoredBytes: {
            QVERIFY(w.Read());
            ParameterRecord file = w->gyro.deviceRecord;
            file.bytes[0] ^= 0x5A;
            file.bytes[4] ^= 0x01;
            file.bytes[5] ^= 0x80;
            file.bytes[84] ^= 0x33;
            const QString path = dir.filePath("ignored.tcf");
            QCOMPARE(SaveSettingsFile(path.toStdString(), file), FileResult::Ok);
            w.files.openChoices.push_back(path);
            w->OnFileOpen();
            QCOMPARE(w->gyro.workingRecord, file);
            QVERIFY(w->gyro.workingRecord != w->gyro.deviceRecord);
            break;
        }
    }
    const ParameterRecord gyroBefore = w.gyro().Record();
    const ParameterRecord working = w->gyro.workingRecord;
    w.gyro().setFaults(faultsBeforeClosing.constData());
    w.messages.answers = {answer};

    w->OnCancel();

    QCOMPARE(w.messages.Ids(), messages);
    if (!messages.empty() && messages[0] == 133) {
        QCOMPARE(w.messages.shown[0].icon, MessageIcon::Question);
        QCOMPARE(w.messages.shown[0].buttons, MessageButtons::YesNo);
    }
    if (!messages.empty() && messages[0] == 134)
        QCOMPARE(w.messages.shown[0].icon, MessageIcon::Exclamation);
    QCOMPARE(!w->isVisible(), closes);
    if (closes) QCOMPARE(w->result(), int(QDialog::Rejected));
    w.gyro().setFaults("");
    QCOMPARE(w.gyro().Record().dDamping(),
             gyroWritten ? working.dDamping() : gyroBefore.dDamping());
    if (!closes) QCOMPARE(w->gyro.workingRecord, working);  // the edits are still there
}

enum class ClosePath { Escape, CloseBox, ExitCommand, ReturnOnSlider, ReturnOnIdBox };
Q_DECLARE_METATYPE(ClosePath)

void CommandsTest::closingPaths_data() {
    QTest::addColumn<ClosePath>("path");
    QTest::addColumn<int>("result");
    QTest::newRow("Escape") << ClosePath::Escape << int(QDialog::Rejected);
    QTest::newRow("close box") << ClosePath::CloseBox << int(QDialog::Rejected);
    QTest::newRow("File > Exit") << ClosePath::ExitCommand << int(QDialog::Accepted);
    QTest::newRow("Return on a slider") << ClosePath::ReturnOnSlider << int(QDialog::Accepted);
    QTest::newRow("Return on the ID box") << ClosePath::ReturnOnIdBox << int(QDialog::Accepted);
}

void CommandsTest::closingPaths() {
    QFETCH(ClosePath, path);
    QFETCH(int, result);
    Window w;
    QVERIFY(w.connected);
    w.MoveSlider(ids::DDampingSlider, 60);  // unwritten, never read: message 134
    QSignalSpy finished(w.dlg.get(), &QDialog::finished);

    switch (path) {
        case ClosePath::Escape:
            QTest::keyClick(w.dlg.get(), Qt::Key_Escape);
            break;
        case ClosePath::CloseBox:
            w->close();
            break;
        case ClosePath::ExitCommand:
            w->Action(ids::AppExit)->trigger();
            break;
        case ClosePath::ReturnOnSlider:
            w.slider(ids::DGainSlider)->setFocus();
            QTest::keyClick(w.slider(ids::DGainSlider), Qt::Key_Return);
            break;
        case ClosePath::ReturnOnIdBox:
            w.edit(ids::IdBox)->setFocus();
            QTest::keyClick(w.edit(ids::IdBox), Qt::Key_Return);
            break;
    }

    QCOMPARE(w.messages.Ids(), Ids({134}));  // one check, whatever the path
    QVERIFY(!w->isVisible());
    QCOMPARE(w->result(), result);
    QCOMPARE(finished.count(), 1);
}

void CommandsTest::returnOnPushButtonDoesNotClose() {
    Window w;
    QVERIFY(w.connected);
    w.MoveSlider(ids::DDampingSlider, 60);
    auto* read = w.dlg->Control(ids::ReadButton);
    read->setFocus();
    QTest::keyClick(read, Qt::Key_Return);
    // The focused button is pressed; the window stays.
    QCOMPARE(w.messages.Ids(), Ids({117}));
    QVERIFY(w->isVisible());
}

void CommandsTest::exitValidatesAfterTheCheckEscapeDoesNot() {
    Window w;
    QVERIFY(w.connected);
    w.Click(ids::NotUsingId);  // the ID box becomes writable
    QVERIFY(!w.edit(ids::IdBox)->isReadOnly());
    w.MoveSlider(ids::DDampingSlider, 60);
    w.edit(ids::IdBox)->setText(QStringLiteral("70000"));
    w.messages.Clear();

    w->OnExit();
    // The unwritten-data check first, then the ID box's validation message; still open.
    QCOMPARE(w.messages.Ids(), Ids({134, 0}));
    QVERIFY(w->isVisible());

    w.messages.Clear();
    QTest::keyClick(w.dlg.get(), Qt::Key_Escape);
    QCOMPARE(w.messages.Ids(), Ids({134}));
    QVERIFY(!w->isVisible());
}

void CommandsTest::commandDuringLimitSettingStopsItSilently_data() {
    QTest::addColumn<bool>("write");
    QTest::newRow("Read") << false;
    QTest::newRow("Write") << true;
}

void CommandsTest::commandDuringLimitSettingStopsItSilently() {
    QFETCH(bool, write);
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    const ParameterRecord before = w->gyro.workingRecord;
    w.Click(ids::Enter);
    QCOMPARE(w->enterPressed, 1);
    QVERIFY(w->streamTimer.Running());
    QCOMPARE(w.gyro().limitMode(), 1);
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
    QCOMPARE(w.messages.Ids(), Ids({write ? 105 : 117}));  // no "aborted"
    QVERIFY(!streamRunningAtOff);  // the stream stopped before the first wait
    QCOMPARE(limitModeAtOff, 1);   // and the off frame came after it
    std::vector<Frame> expected{Frame::LimitOff};
    if (write) {
        const auto pages = WriteFrames();
        expected.insert(expected.end(), pages.begin(), pages.end());
    }
    expected.push_back(Frame::Read);
    QCOMPARE(w.gyro().Frames(from), expected);
    QCOMPARE(w.pause.waits().front(), 100u);
    QCOMPARE(w->enterPressed, 0);
    QVERIFY(!w.button(ids::Enter)->isChecked());
    QVERIFY(!w.enabled(ids::PositionSlider));
    QVERIFY(!w.enabled(ids::Set));
    QVERIFY(w.text(ids::Status).isEmpty());
    QVERIFY(!w->streamTimer.Running());
    QCOMPARE(w.gyro().limitMode(), 0);
    QCOMPARE(w->gyro.workingRecord.limitHigh(), before.limitHigh());
    QCOMPARE(w->gyro.workingRecord.limitLow(), before.limitLow());
}

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
