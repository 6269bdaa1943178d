// The limit-point procedure against the virtual gyro, with the bus-frame stream running for
// real and the fixed waits recorded instead of slept.
#include "tests/dialog/DialogTestSupport.h"

using namespace dialogtest;

namespace {

// Polls cond (without running posted calls) until it holds or 5 s passed.
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
bool Start(Harness& w) {
    w.Click(ids::Enter);
    return w->enterPressed == 1 && w->limitStep == 0 && w->streamTimer.Running() &&
           w.enabled(ids::PositionSlider) && w.enabled(ids::Set) &&
           w.text(ids::Status) == Harness::String(121);
}

// The procedure at rest: nothing streams, the limit controls are back where they start.
bool Idle(Harness& w) {
    return w->enterPressed == 0 && !w.checked(ids::Enter) && !w->streamTimer.Running() &&
           !w.enabled(ids::PositionSlider) && !w.enabled(ids::Set) &&
           w.position(ids::PositionSlider) == 1024 && w.text(ids::Position) == "0" &&
           BusFrame.channel(w->rudderChannelIndex) == 1024;
}

}  // namespace

TEST(Limit, CompleteProcedure) {
    struct Row {
        const char* name;
        int first, second, high, low;
    };
    static const Row kRows[] = {
        {"right, then left", 1600, 500, 4944, 2469},
        {"left, then right", 500, 1600, 4944, 2469},
        {"just outside the band", 1249, 799, 4153, 3143},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Harness w;
        ASSERT_TRUE(w.connected);
        ASSERT_TRUE(w.Read());
        const std::size_t from = w.gyro().commandCount();
        ASSERT_TRUE(Start(w));
        EXPECT_EQ(w.gyro().Frames(from), std::vector<Frame>{Frame::LimitOn});
        EXPECT_EQ(w.pause.waits(), std::vector<std::uint32_t>{100});
        EXPECT_EQ(w.gyro().limitMode(), 1);

        w.MoveSlider(ids::PositionSlider, row.first);
        w.Click(ids::Set);
        EXPECT_EQ(w.messages.Ids(), Ids({}));
        EXPECT_EQ(w.window.beeps, 1);
        EXPECT_EQ(w->limitStep, 1);
        EXPECT_EQ(w.text(ids::Status), Harness::String(122));
        EXPECT_TRUE(w->streamTimer.Running());

        w.MoveSlider(ids::PositionSlider, row.second);
        // The servo goes back to neutral before the wait that precedes the second point.
        std::vector<int> rudderAtWait;
        w.pause.onWait([&](std::uint32_t) {
            rudderAtWait.push_back(BusFrame.channel(w->rudderChannelIndex));
        });
        w.Click(ids::Set);
        w.pause.onWait({});

        EXPECT_EQ(rudderAtWait, Ids({1024}));
        EXPECT_EQ(w.messages.Ids(), Ids({}));
        EXPECT_EQ(w.window.beeps, 2);
        EXPECT_EQ(int(w->gyro.workingRecord.limitHigh()), row.high);
        EXPECT_EQ(int(w->gyro.workingRecord.limitLow()), row.low);
        EXPECT_EQ(w.number(ids::HighLimit), limitPercent(std::uint16_t(row.high)));
        EXPECT_EQ(w.number(ids::LowLimit), limitPercent(std::uint16_t(row.low)));
        EXPECT_EQ(w.text(ids::Status), Harness::String(123));
        EXPECT_EQ(w->limitStep, 1);
        EXPECT_TRUE(Idle(w));
        // No limit-mode-off frame on this path: the limits reach the gyro with Write.
        EXPECT_EQ(w.gyro().Frames(from), std::vector<Frame>{Frame::LimitOn});
        EXPECT_EQ(w.pause.waits(), (std::vector<std::uint32_t>{100, 100}));

        // The new limits are unwritten data.
        w.messages.answers = {MessageAnswer::No};
        w->OnCancel();
        EXPECT_EQ(w.messages.Ids(), Ids({133}));
    }
}

TEST(Limit, RejectedPoints) {
    struct Row {
        const char* name;
        int first;
        int second;  // 0: refused at the first Set
        int message;
        const char* shownPercent;  // Position box at the refused point, "" not checked
    };
    static const Row kRows[] = {
        {"first at 1248", 1248, 0, 130, "50"},   {"first at 800", 800, 0, 130, "50"},
        {"first at neutral", 1024, 0, 130, "0"}, {"second at 1248", 500, 1248, 130, "50"},
        {"both right", 1600, 1400, 131, ""},     {"both left", 500, 700, 131, ""},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Harness w;
        ASSERT_TRUE(w.connected);
        ASSERT_TRUE(w.Read());
        const ParameterRecord before = w->gyro.workingRecord;
        ASSERT_TRUE(Start(w));
        w.MoveSlider(ids::PositionSlider, row.first);
        if (row.second != 0) {
            w.Click(ids::Set);
            ASSERT_EQ(w->limitStep, 1);
            w.MoveSlider(ids::PositionSlider, row.second);
        }
        if (*row.shownPercent) {
            EXPECT_EQ(w.text(ids::Position), row.shownPercent);
        }
        const std::size_t from = w.gyro().commandCount();

        w.Click(ids::Set);

        EXPECT_EQ(w.messages.Ids(), Ids({row.message}));
        EXPECT_EQ(w.messages.Last()->icon, MessageIcon::Stop);
        EXPECT_EQ(w.window.beeps, row.second != 0 ? 1 : 0);
        EXPECT_TRUE(Idle(w));
        EXPECT_TRUE(w.text(ids::Status).empty());
        EXPECT_EQ(w.gyro().Frames(from), std::vector<Frame>{Frame::LimitOff});
        EXPECT_EQ(w.gyro().limitMode(), 0);
        EXPECT_EQ(w->gyro.workingRecord, before);
    }
}

TEST(Limit, ReleasingEnterAborts) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
    const ParameterRecord before = w->gyro.workingRecord;
    ASSERT_TRUE(Start(w));
    w.MoveSlider(ids::PositionSlider, 1500);
    w.Click(ids::Set);
    w.pause.clear();
    const std::size_t from = w.gyro().commandCount();

    w.Click(ids::Enter);  // released

    EXPECT_EQ(w.messages.Ids(), Ids({132}));
    EXPECT_EQ(w.messages.Last()->icon, MessageIcon::Exclamation);
    EXPECT_TRUE(Idle(w));
    EXPECT_TRUE(w.text(ids::Status).empty());
    EXPECT_EQ(w.gyro().Frames(from), std::vector<Frame>{Frame::LimitOff});
    EXPECT_EQ(w.gyro().limitMode(), 0);
    EXPECT_EQ(w.pause.waits(), std::vector<std::uint32_t>{100});
    EXPECT_EQ(w->gyro.workingRecord, before);
}

TEST(Limit, ServoFollowsThePositionSlider) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
    EXPECT_EQ(w->rudderChannelIndex, w.gyro().Record().rudderChannel());
    ASSERT_TRUE(Start(w));
    EXPECT_TRUE(PollFor([&] { return w.gyro().servoValue() == 1024; }));
    w.MoveSlider(ids::PositionSlider, 1500);
    EXPECT_TRUE(PollFor([&] { return w.gyro().servoValue() == 1500; }));
    w.MoveSlider(ids::PositionSlider, 400);
    EXPECT_TRUE(PollFor([&] { return w.gyro().servoValue() == 400; }));
    EXPECT_GT(w->streamTimer.FramesSent(), 0u);
    w.Click(ids::Enter);
    EXPECT_EQ(w.gyro().servoValue(), 1024);  // out of limit mode the servo is at neutral
}

TEST(Limit, RudderChannelChangedDuringTheProcedure) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
    ASSERT_TRUE(Start(w));
    const int oldChannel = w->rudderChannelIndex;
    w.MoveSlider(ids::PositionSlider, 1500);
    const int newChannel = (oldChannel + 5) % 16;
    w.Select(ids::RudderChannel, newChannel);
    EXPECT_EQ(w->gyro.workingRecord.rudderChannel(), newChannel);
    w.MoveSlider(ids::PositionSlider, 600);
    EXPECT_EQ(int(BusFrame.channel(newChannel)), 600);
    EXPECT_EQ(int(BusFrame.channel(oldChannel)), 1500);  // nothing clears the old one
    w.Click(ids::Enter);
}

TEST(Limit, RudderChannelOutsideTheFrame) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
    std::array<std::uint16_t, 16> before{};
    for (int i = 0; i < 16; ++i) before[std::size_t(i)] = BusFrame.channel(i);
    w.Select(ids::RudderChannel, -1);  // a list without a selection
    ASSERT_TRUE(Start(w));
    EXPECT_EQ(w->rudderChannelIndex, -1);
    w.MoveSlider(ids::PositionSlider, 1600);
    w.Click(ids::Set);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(BusFrame.channel(i), before[std::size_t(i)]);
    w.Click(ids::Enter);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(BusFrame.channel(i), before[std::size_t(i)]);
}

TEST(Limit, LimitModeOnFails) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
    ASSERT_EQ(w.gyro().setFaults("fail=FT_Write"), 0);
    w.Click(ids::Enter);
    EXPECT_EQ(w.messages.Ids(), Ids({104}));
    EXPECT_EQ(w.messages.Last()->icon, MessageIcon::Stop);
    EXPECT_TRUE(Idle(w));
    EXPECT_TRUE(w.text(ids::Status).empty());
    EXPECT_EQ(w.gyro().busFrames(), std::uint64_t(0));
    // The program goes on: once the adapter works again, so does the procedure.
    w.gyro().setFaults("");
    w.messages.Clear();
    ASSERT_TRUE(Start(w));
    w.Click(ids::Enter);
    EXPECT_EQ(w.messages.Ids(), Ids({132}));
}

TEST(Limit, LimitModeOffFailsDuringRead) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
    ASSERT_TRUE(Start(w));
    ASSERT_EQ(w.gyro().setFaults("fail=FT_Write"), 0);
    // Let the stream hit the fault first, so its failure report is still queued when the
    // Read stops the procedure.
    ASSERT_TRUE(PollFor([&] { return !w->streamTimer.Running(); }));

    w->OnRead();
    // The failed off frame is reported, then the Read goes on (and fails on its own).
    EXPECT_EQ(w.messages.Ids(), Ids({104, 103}));
    EXPECT_TRUE(Idle(w));
    // The stream's late report belongs to a procedure that is over: nothing more is shown.
    EXPECT_EQ(w.window.RunPosted(), 1);
    EXPECT_EQ(w.messages.Ids(), Ids({104, 103}));
}

TEST(Limit, StreamFailureEndsTheProcedureOnce) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
    ASSERT_TRUE(Start(w));
    w.MoveSlider(ids::PositionSlider, 1600);
    w.Click(ids::Set);
    const ParameterRecord before = w->gyro.workingRecord;
    ASSERT_EQ(w.gyro().setFaults("fail=FT_Write"), 0);

    // The failure arrives on the timer thread and is handed to the dialog thread.
    ASSERT_TRUE(w.RunPostedUntil([&] { return w->enterPressed == 0; }));

    // The stream's failure and the off frame that fails after it: one report.
    EXPECT_EQ(w.messages.Ids(), Ids({104}));
    EXPECT_EQ(w.messages.Last()->icon, MessageIcon::Stop);
    EXPECT_TRUE(Idle(w));
    EXPECT_TRUE(w.text(ids::Status).empty());
    EXPECT_EQ(w->gyro.workingRecord, before);
    w.gyro().setFaults("");
    w.messages.Clear();
    ASSERT_TRUE(Start(w));
    w.Click(ids::Enter);
}

// A failure posted by an earlier stream is not taken for the running one's.
TEST(Limit, LateFailureOfAnEarlierStreamIsDropped) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
    ASSERT_TRUE(Start(w));
    ASSERT_EQ(w.gyro().setFaults("fail=FT_Write"), 0);
    ASSERT_TRUE(PollFor([&] { return !w->streamTimer.Running(); }));
    w.gyro().setFaults("");
    w.Click(ids::Enter);  // released: the off frame goes out, message 132
    w.messages.Clear();
    ASSERT_TRUE(Start(w));  // a new stream, while the old report is still queued
    EXPECT_EQ(w.window.RunPosted(), 1);
    EXPECT_EQ(w.messages.Ids(), Ids({}));
    EXPECT_TRUE(w->streamTimer.Running());
    w.Click(ids::Enter);
}

// The limit-mode frame and the stream never overlap on the adapter: the start sends the
// frame, waits, then starts the stream; the stop kills the stream, waits, then sends the
// off frame, and only then releases the controls.
TEST(Limit, StartAndStopKeepTheAdapterToOneUser) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
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

    ASSERT_TRUE(Start(w));
    ASSERT_EQ(seen.size(), std::size_t(1));
    EXPECT_EQ(seen[0].frames, std::vector<Frame>{Frame::LimitOn});
    EXPECT_FALSE(seen[0].streaming);
    // The slot of the rudder channel holds the slider's position before the stream starts.
    EXPECT_EQ(int(BusFrame.channel(w->rudderChannelIndex)), 1024);

    w.MoveSlider(ids::PositionSlider, 1500);
    from = w.gyro().commandCount();
    seen.clear();
    w.Click(ids::Enter);  // released
    w.pause.onWait({});
    ASSERT_EQ(seen.size(), std::size_t(1));
    EXPECT_TRUE(seen[0].frames.empty());   // no off frame before the wait
    EXPECT_FALSE(seen[0].streaming);       // and no stream during it
    EXPECT_TRUE(seen[0].positionEnabled);  // the controls are released after the wait
    EXPECT_EQ(w.gyro().Frames(from), std::vector<Frame>{Frame::LimitOff});
    EXPECT_TRUE(Idle(w));
}

// A stream failure handled while the mode question is open (its box runs posted calls)
// ends the procedure; the clicked mode still decides what Yes applies and what the radios
// show.
TEST(Limit, StreamFailureDuringTheModeQuestion) {
    struct Row {
        const char* name;
        int radio;
        MessageAnswer answer;
        int flightMode, servoMode;  // afterwards; the virtual gyro starts F3C, Digital (1520)
    };
    const Row kRows[] = {
        {"3D, Yes", ids::ThreeD, MessageAnswer::Yes, 0, 2},
        {"Digital (760), Yes", ids::Digital760, MessageAnswer::Yes, 1, 3},
        {"3D, No", ids::ThreeD, MessageAnswer::No, 1, 2},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Harness w;
        ASSERT_TRUE(w.connected);
        ASSERT_TRUE(w.Read());
        ASSERT_TRUE(Start(w));
        w.messages.defaultYesNo = row.answer;
        w.messages.onMessage = [&](const ShownMessage& m) {
            if (m.id != 107) return;
            ASSERT_EQ(w.gyro().setFaults("fail=FT_Write"), 0);
            ASSERT_TRUE(w.RunPostedUntil([&] { return w->enterPressed == 0; }));
        };

        w.Click(row.radio);

        w.gyro().setFaults("");
        EXPECT_EQ(w.messages.Ids(), Ids({107, 104}));
        EXPECT_TRUE(Idle(w));
        const ParameterRecord& r = w->gyro.workingRecord;
        EXPECT_EQ(r.flightMode(), row.flightMode);
        EXPECT_EQ(r.servoMode(), row.servoMode);
        EXPECT_EQ(int(r.holdexYawRate()), row.flightMode == 1 ? 450 : 720);
        EXPECT_TRUE(w.checked(row.flightMode == 1 ? ids::F3C : ids::ThreeD));
        EXPECT_TRUE(w.checked(row.servoMode == 2 ? ids::Digital1520 : ids::Digital760));
    }
}

// A stream that fails during the second Set's pause back at neutral is reported once, and
// the procedure ends as on any stream failure, the record unchanged.
TEST(Limit, StreamFailureDuringTheSecondSetsPause) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
    ASSERT_TRUE(Start(w));
    w.MoveSlider(ids::PositionSlider, 1600);
    w.Click(ids::Set);
    w.MoveSlider(ids::PositionSlider, 500);
    const ParameterRecord before = w->gyro.workingRecord;
    w.pause.onWait([&](std::uint32_t) {
        if (w->limitStep != 1 || !w->streamTimer.Running()) return;
        ASSERT_EQ(w.gyro().setFaults("fail=FT_Write"), 0);
        ASSERT_TRUE(PollFor([&] { return !w->streamTimer.Running(); }));
    });

    w.Click(ids::Set);
    w.pause.onWait({});
    w.gyro().setFaults("");
    w.window.RunPosted();  // the stream's own report, if still queued

    EXPECT_EQ(w.messages.Ids(), Ids({104}));
    EXPECT_NE(w.text(ids::Status), Harness::String(123));
    EXPECT_TRUE(Idle(w));
    EXPECT_EQ(w->gyro.workingRecord, before);
}
