// The limit-point procedure against the virtual gyro, with the bus-frame stream running for
// real and the fixed waits recorded instead of slept.
#include <QApplication>
#include <chrono>
#include <thread>

#include "tests/ui/CommandsSupport.h"

using namespace uitest;
using Frame = VirtualGyro::Frame;

namespace {

// Polls cond (without running the window's event loop) until it holds or 5 s passed.
template <class Cond>
bool PollFor(Cond cond) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Enter pressed after a Read: the procedure waits for its first point.
bool Start(Window& w) {
    w.Click(ids::Enter);
    return w->enterPressed == 1 && w->limitStep == 0 && w->streamTimer.Running() &&
           w.enabled(ids::PositionSlider) && w.enabled(ids::Set) &&
           w.text(ids::Status) == strings::text(121);
}

// The procedure at rest: nothing streams, the limit controls are back where they start.
bool Idle(Window& w) {
    return w->enterPressed == 0 && !w.button(ids::Enter)->isChecked() &&
           !w->streamTimer.Running() && !w.enabled(ids::PositionSlider) && !w.enabled(ids::Set) &&
           w.slider(ids::PositionSlider)->value() == 1024 &&
           w.text(ids::Position) == QStringLiteral("0") &&
           BusFrame.channel(w->rudderChannelIndex) == 1024;
}

}  // namespace

class LimitTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() { PrepareEnvironment(); }

  private slots:
    void completeProcedure_data();
    void completeProcedure();
    void rejectedPoints_data();
    void rejectedPoints();
    void releasingEnterAborts();
    void servoFollowsThePositionSlider();
    void rudderChannelChangedDuringTheProcedure();
    void rudderChannelOutsideTheFrame();
    void limitModeOnFails();
    void limitModeOffFailsDuringRead();
    void streamFailureEndsTheProcedureOnce();
    void startAndStopKeepTheAdapterToOneUser();
    void keyboardOnlyProcedure();
};

void LimitTest::completeProcedure_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::newRow("right, then left") << 1600 << 500 << 4944 << 2469;
    QTest::newRow("left, then right") << 500 << 1600 << 4944 << 2469;
    QTest::newRow("just outside the band") << 1249 << 799 << 4153 << 3143;
}

void LimitTest::completeProcedure() {
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, high);
    QFETCH(int, low);
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    const std::size_t from = w.gyro().commandCount();
    QVERIFY(Start(w));
    QCOMPARE(w.gyro().Frames(from), std::vector<Frame>{Frame::LimitOn});
    QCOMPARE(w.pause.waits(), std::vector<std::uint32_t>{100});
    QCOMPARE(w.gyro().limitMode(), 1);

    w.MoveSlider(ids::PositionSlider, first);
    w.Click(ids::Set);
    QCOMPARE(w.messages.Ids(), Ids({}));
    QCOMPARE(w.messages.beeps, 1);
    QCOMPARE(w->limitStep, 1);
    QCOMPARE(w.text(ids::Status), strings::text(122));
    QVERIFY(w->streamTimer.Running());

    w.MoveSlider(ids::PositionSlider, second);
    // The servo goes back to neutral before the wait that precedes the second point.
    std::vector<int> rudderAtWait;
    w.pause.onWait(
        [&](std::uint32_t) { rudderAtWait.push_back(BusFrame.channel(w->rudderChannelIndex)); });
    w.Click(ids::Set);
    w.pause.onWait({});

    QCOMPARE(rudderAtWait, Ids({1024}));
    QCOMPARE(w.messages.Ids(), Ids({}));
    QCOMPARE(w.messages.beeps, 2);
    QCOMPARE(int(w->gyro.workingRecord.limitHigh()), high);
    QCOMPARE(int(w->gyro.workingRecord.limitLow()), low);
    QCOMPARE(w.text(ids::HighLimit), QString::number(limitPercent(std::uint16_t(high))));
    QCOMPARE(w.text(ids::LowLimit), QString::number(limitPercent(std::uint16_t(low))));
    QCOMPARE(w.text(ids::Status), strings::text(123));
    QCOMPARE(w->limitStep, 1);
    QVERIFY(Idle(w));
    // No limit-mode-off frame on this path: the limits reach the gyro with Write.
    QCOMPARE(w.gyro().Frames(from), std::vector<Frame>{Frame::LimitOn});
    QCOMPARE(w.pause.waits(), (std::vector<std::uint32_t>{100, 100}));

    // The new limits are unwritten data.
    w.messages.answers = {MessageAnswer::No};
    w->OnCancel();
    QCOMPARE(w.messages.Ids(), Ids({133}));
}

void LimitTest::rejectedPoints_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");  // 0: refused at the first Set
    QTest::addColumn<int>("message");
    QTest::addColumn<QString>("shownPercent");  // Position edit at the refused point
    QTest::newRow("first at 1248") << 1248 << 0 << 130 << "50";
    QTest::newRow("first at 800") << 800 << 0 << 130 << "50";
    QTest::newRow("first at neutral") << 1024 << 0 << 130 << "0";
    QTest::newRow("second at 1248") << 500 << 1248 << 130 << "50";
    QTest::newRow("both right") << 1600 << 1400 << 131 << "";
    QTest::newRow("both left") << 500 << 700 << 131 << "";
}

void LimitTest::rejectedPoints() {
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, message);
    QFETCH(QString, shownPercent);
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    const ParameterRecord before = w->gyro.workingRecord;
    QVERIFY(Start(w));
    w.MoveSlider(ids::PositionSlider, first);
    if (second != 0) {
        w.Click(ids::Set);
        QCOMPARE(w->limitStep, 1);
        w.MoveSlider(ids::PositionSlider, second);
    }
    if (!shownPercent.isEmpty()) QCOMPARE(w.text(ids::Position), shownPercent);
    const std::size_t from = w.gyro().commandCount();

    w.Click(ids::Set);

    QCOMPARE(w.messages.Ids(), Ids({message}));
    QCOMPARE(w.messages.Last()->icon, MessageIcon::Stop);
    QCOMPARE(w.messages.beeps, second != 0 ? 1 : 0);
    QVERIFY(Idle(w));
    QVERIFY(w.text(ids::Status).isEmpty());
    QCOMPARE(w.gyro().Frames(from), std::vector<Frame>{Frame::LimitOff});
    QCOMPARE(w.gyro().limitMode(), 0);
    QCOMPARE(w->gyro.workingRecord, before);
}

void LimitTest::releasingEnterAborts() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    const ParameterRecord before = w->gyro.workingRecord;
    QVERIFY(Start(w));
    w.MoveSlider(ids::PositionSlider, 1500);
    w.Click(ids::Set);
    w.pause.clear();
    const std::size_t from = w.gyro().commandCount();

    w.Click(ids::Enter);  // released

    QCOMPARE(w.messages.Ids(), Ids({132}));
    QCOMPARE(w.messages.Last()->icon, MessageIcon::Exclamation);
    QVERIFY(Idle(w));
    QVERIFY(w.text(ids::Status).isEmpty());
    QCOMPARE(w.gyro().Frames(from), std::vector<Frame>{Frame::LimitOff});
    QCOMPARE(w.gyro().limitMode(), 0);
    QCOMPARE(w.pause.waits(), std::vector<std::uint32_t>{100});
    QCOMPARE(w->gyro.workingRecord, before);
}

void LimitTest::servoFollowsThePositionSlider() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    QCOMPARE(w->rudderChannelIndex, w.gyro().Record().rudderChannel());
    QVERIFY(Start(w));
    QTRY_COMPARE(w.gyro().servoValue(), 1024);
    w.MoveSlider(ids::PositionSlider, 1500);
    QTRY_COMPARE(w.gyro().servoValue(), 1500);
    w.MoveSlider(ids::PositionSlider, 400);
    QTRY_COMPARE(w.gyro().servoValue(), 400);
    QVERIFY(w->streamTimer.FramesSent() > 0);
    w.Click(ids::Enter);
    QCOMPARE(w.gyro().servoValue(), 1024);  // out of limit mode the servo is at neutral
}

void LimitTest::rudderChannelChangedDuringTheProcedure() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    QVERIFY(Start(w));
    const int oldChannel = w->rudderChannelIndex;
    w.MoveSlider(ids::PositionSlider, 1500);
    const int newChannel = (oldChannel + 5) % 16;
    w.Select(ids::RudderChannel, newChannel);
    QCOMPARE(w->gyro.workingRecord.rudderChannel(), newChannel);
    w.MoveSlider(ids::PositionSlider, 600);
    QCOMPARE(int(BusFrame.channel(newChannel)), 600);
    QCOMPARE(int(BusFrame.channel(oldChannel)), 1500);  // nothing clears the old one
    w.Click(ids::Enter);
}

void LimitTest::rudderChannelOutsideTheFrame() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    std::array<std::uint16_t, 16> before{};
    for (int i = 0; i < 16; ++i) before[i] = BusFrame.channel(i);
    w.Select(ids::RudderChannel, -1);  // a list without a selection
    QVERIFY(Start(w));
    QCOMPARE(w->rudderChannelIndex, -1);
    w.MoveSlider(ids::PositionSlider, 1600);
    w.Click(ids::Set);
    for (int i = 0; i < 16; ++i) QCOMPARE(BusFrame.channel(i), before[i]);
    w.Click(ids::Enter);
    for (int i = 0; i < 16; ++i) QCOMPARE(BusFrame.channel(i), before[i]);
}

void LimitTest::limitModeOnFails() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    QCOMPARE(w.gyro().setFaults("fail=FT_Write"), 0);
    w.Click(ids::Enter);
    QCOMPARE(w.messages.Ids(), Ids({104}));
    QCOMPARE(w.messages.Last()->icon, MessageIcon::Stop);
    QVERIFY(Idle(w));
    QVERIFY(w.text(ids::Status).isEmpty());
    QCOMPARE(w.gyro().busFrames(), std::uint64_t(0));
    // The program goes on: once the adapter works again, so does the procedure.
    w.gyro().setFaults("");
    w.messages.Clear();
    QVERIFY(Start(w));
    w.Click(ids::Enter);
    QCOMPARE(w.messages.Ids(), Ids({132}));
}

void LimitTest::limitModeOffFailsDuringRead() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    QVERIFY(Start(w));
    QCOMPARE(w.gyro().setFaults("fail=FT_Write"), 0);
    // Let the stream hit the fault first, so its failure report is still queued when the
    // Read stops the procedure.
    QVERIFY(PollFor([&] { return !w->streamTimer.Running(); }));

    w->OnRead();
    // The failed off frame is reported, then the Read goes on (and fails on its own).
    QCOMPARE(w.messages.Ids(), Ids({104, 103}));
    QVERIFY(Idle(w));
    // The stream's late report belongs to a procedure that is over: nothing more is shown.
    QCoreApplication::processEvents();
    QCOMPARE(w.messages.Ids(), Ids({104, 103}));
}

void LimitTest::streamFailureEndsTheProcedureOnce() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    QVERIFY(Start(w));
    w.MoveSlider(ids::PositionSlider, 1600);
    w.Click(ids::Set);
    const ParameterRecord before = w->gyro.workingRecord;
    QCOMPARE(w.gyro().setFaults("fail=FT_Write"), 0);

    QTRY_COMPARE(w->enterPressed, 0);

    // The stream's failure and the off frame that fails after it: one report.
    QCOMPARE(w.messages.Ids(), Ids({104}));
    QCOMPARE(w.messages.Last()->icon, MessageIcon::Stop);
    QVERIFY(Idle(w));
    QVERIFY(w.text(ids::Status).isEmpty());
    QCOMPARE(w->gyro.workingRecord, before);
    w.gyro().setFaults("");
    w.messages.Clear();
    QVERIFY(Start(w));
    w.Click(ids::Enter);
}

// The limit-mode frame and the stream never overlap on the adapter: the start sends the
// frame, waits, then starts the stream; the stop kills the stream, waits, then sends the
// off frame, and only then releases the controls.
void LimitTest::startAndStopKeepTheAdapterToOneUser() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    std::size_t from = w.gyro().commandCount();
    struct AtWait {
        std::vector<Frame> frames;
        bool streaming = false;
        bool positionEnabled = false;
        int enterPressed = 0;
    };
    std::vector<AtWait> seen;
    w.pause.onWait([&](std::uint32_t) {
        seen.push_back({w.gyro().Frames(from), w->streamTimer.Running(),
                        w.enabled(ids::PositionSlider), w->enterPressed});
    });

    QVERIFY(Start(w));
    QCOMPARE(seen.size(), std::size_t(1));
    QCOMPARE(seen[0].frames, std::vector<Frame>{Frame::LimitOn});
    QVERIFY(!seen[0].streaming);
    // The slot of the rudder channel holds the slider's position before the stream starts.
    QCOMPARE(int(BusFrame.channel(w->rudderChannelIndex)), 1024);

    w.MoveSlider(ids::PositionSlider, 1500);
    from = w.gyro().commandCount();
    seen.clear();
    w.Click(ids::Enter);  // released
    w.pause.onWait({});
    QCOMPARE(seen.size(), std::size_t(1));
    QVERIFY(seen[0].frames.empty());   // no off frame before the wait
    QVERIFY(!seen[0].streaming);       // and no stream during it
    QVERIFY(seen[0].positionEnabled);  // the controls are released after the wait
    QCOMPARE(w.gyro().Frames(from), std::vector<Frame>{Frame::LimitOff});
    QVERIFY(Idle(w));
}

// The whole procedure without a mouse: the Enter and Set mnemonics press their buttons and
// the arrow keys move the Position slider that Tab reaches.
void LimitTest::keyboardOnlyProcedure() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.dlg.get()));

    QTest::keyClick(w.dlg.get(), Qt::Key_E, Qt::AltModifier);
    QTRY_COMPARE(w->enterPressed, 1);
    QCOMPARE(w.text(ids::Status), strings::text(121));
    w->Control(ids::Enter)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // Set
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // Position
    QCOMPARE(QApplication::focusWidget(), w->Control(ids::PositionSlider));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QCOMPARE(w.slider(ids::PositionSlider)->value(), 1696);
    QCOMPARE(int(BusFrame.channel(w->rudderChannelIndex)), 1696);

    QTest::keyClick(w.dlg.get(), Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(w->limitStep, 1);
    QCOMPARE(QApplication::focusWidget(), w->Control(ids::PositionSlider));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
    QTest::keyClick(w.dlg.get(), Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(w->enterPressed, 0);

    QCOMPARE(w.messages.Ids(), Ids({}));
    QCOMPARE(int(w->gyro.workingRecord.limitHigh()), 5160);
    QCOMPARE(int(w->gyro.workingRecord.limitLow()), 2136);
    QCOMPARE(w.text(ids::Status), strings::text(123));
    QVERIFY(Idle(w));
}

QTEST_MAIN(LimitTest)
#include "tst_limit.moc"
