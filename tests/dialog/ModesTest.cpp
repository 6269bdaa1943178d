// The click and list handlers, the flight- and servo-mode changes and File > Initialize:
// what each stores or resets, and what each keeps.
#include "tests/dialog/DialogTestSupport.h"

using namespace dialogtest;

namespace {

std::array<std::uint8_t, 40> ImageHalf(const ParameterRecord& r, std::size_t from) {
    std::array<std::uint8_t, 40> half{};
    for (std::size_t i = 0; i < half.size(); ++i) half[i] = r.imageByte(from + i);
    return half;
}

}  // namespace

TEST(Modes, StoringHandlers) {
    enum class Trigger { RudderChannel, GainChannel16, GyroReverse, ResponseSlow };
    for (const Trigger trigger : {Trigger::RudderChannel, Trigger::GainChannel16,
                                  Trigger::GyroReverse, Trigger::ResponseSlow}) {
        SCOPED_TRACE(int(trigger));
        Harness w;
        ASSERT_TRUE(w.connected);
        ASSERT_TRUE(w.Read());
        ParameterRecord expected = w->gyro.workingRecord;
        const std::string highLabel = w.text(ids::HighLimitLabel);
        const std::string lowLabel = w.text(ids::LowLimitLabel);
        switch (trigger) {
            case Trigger::RudderChannel: {
                const int channel = (expected.rudderChannel() + 3) % 16;
                w.Select(ids::RudderChannel, channel);
                expected.setRudderChannel(channel);
                break;
            }
            case Trigger::GainChannel16:
                w.Select(ids::GainChannel, 15);
                expected.setGainChannel(15);
                break;
            case Trigger::GyroReverse:
                ASSERT_EQ(expected.gyroReverse(), 0);
                w.Click(ids::GyroReverse);
                expected.setGyroReverse(1);
                break;
            case Trigger::ResponseSlow:
                w.Click(ids::Slow);
                expected.setResponseMode(2);
                break;
        }
        EXPECT_EQ(w.messages.Ids(), Ids({}));
        EXPECT_EQ(w->gyro.workingRecord, expected);
        if (trigger == Trigger::GainChannel16) {
            EXPECT_EQ(expected.channels() >> 4, 15);
        }
        // Only the gyro direction moves the limit labels.
        const bool swapped = trigger == Trigger::GyroReverse;
        EXPECT_EQ(w.text(ids::HighLimitLabel), swapped ? lowLabel : highLabel);
        EXPECT_EQ(w.text(ids::LowLimitLabel), swapped ? highLabel : lowLabel);
    }
}

TEST(Modes, MountingSurfaceMovesLabelsOnly) {
    struct Row {
        bool bottom;
        bool reverse;
        int highLabel;  // string id beside the high limit
    };
    static const Row kRows[] = {
        {false, false, 124}, {true, false, 125}, {false, true, 125}, {true, true, 124}};
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::string(row.bottom ? "bottom" : "upper") +
                     (row.reverse ? ", reverse" : ", normal"));
        Harness w;
        ASSERT_TRUE(w.connected);
        ASSERT_TRUE(w.Read());
        if (row.reverse) {
            w.Click(ids::GyroReverse);
            w->OnWrite();  // so that only the mounting click is left to judge
            w.messages.Clear();
        }
        const ParameterRecord before = w->gyro.workingRecord;

        w.Click(row.bottom ? ids::BottomSide : ids::UpperSide);

        EXPECT_EQ(w->mounting, row.bottom ? 1 : 0);
        EXPECT_EQ(w->gyro.workingRecord, before);
        EXPECT_EQ(w.text(ids::HighLimitLabel), Harness::String(row.highLabel));
        EXPECT_EQ(w.text(ids::LowLimitLabel), Harness::String(row.highLabel == 124 ? 125 : 124));
        EXPECT_EQ(w.text(ids::ControlResponse1Label), Harness::String(row.bottom ? 125 : 124));
        EXPECT_EQ(w.text(ids::HoldexResponse1Label), Harness::String(row.bottom ? 128 : 126));
        EXPECT_EQ(w.text(ids::HoldexResponse4Label), Harness::String(row.bottom ? 127 : 129));
        // Nothing stored, nothing to write.
        w->OnCancel();
        EXPECT_EQ(w.messages.Ids(), Ids({}));
    }
}

TEST(Modes, NotUsingIdMakesTheIdBoxWritable) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ASSERT_TRUE(w.Read());
    EXPECT_TRUE(w.window.ReadOnly(ids::IdBox));
    w.Click(ids::NotUsingId);
    EXPECT_FALSE(w.window.ReadOnly(ids::IdBox));
    EXPECT_EQ(w->notUsingId, 1);
    w.window.SetText(ids::IdBox, "1234");
    w.Click(ids::NotUsingId);  // cleared again: the ID box's text is stored, then locked
    EXPECT_TRUE(w.window.ReadOnly(ids::IdBox));
    EXPECT_EQ(w->notUsingId, 0);
    EXPECT_EQ(w->gyro.workingRecord.gyroId(), 1234);
    EXPECT_EQ(w.messages.Ids(), Ids({}));
}

// The question is asked on every click of a mode radio, the one already selected included.
TEST(Modes, ModeChange) {
    struct Row {
        const char* name;
        int radio;
        MessageAnswer answer;
        int flightMode;  // expected afterwards, 1 = F3C
        int servoMode;
    };
    const auto yes = MessageAnswer::Yes, no = MessageAnswer::No;
    // The virtual gyro starts in F3C with Digital (1520).
    const Row kRows[] = {
        {"F3C again, Yes", ids::F3C, yes, 1, 2},
        {"F3C again, No", ids::F3C, no, 1, 2},
        {"3D, Yes", ids::ThreeD, yes, 0, 2},
        {"3D, No", ids::ThreeD, no, 1, 2},
        {"Digital (1520) again, Yes", ids::Digital1520, yes, 1, 2},
        {"Digital (760), Yes", ids::Digital760, yes, 1, 3},
        {"Digital (760), No", ids::Digital760, no, 1, 2},
        {"Analog, Yes", ids::Analog, yes, 1, 0},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Harness w;
        ASSERT_TRUE(w.connected);
        ASSERT_TRUE(w.Read());
        ASSERT_EQ(w->gyro.workingRecord.flightMode(), 1);
        ASSERT_EQ(w->gyro.workingRecord.servoMode(), 2);
        // Edits on both halves of the image, to see what the change keeps and resets.
        w.MoveSlider(ids::DGainSlider, 200);            // image byte 73, reset by the table
        w.MoveSlider(ids::ExpHoldexSlider, 55);         // image byte 70
        w.MoveSlider(ids::BaseGainSlider, 77);          // image byte 15, kept
        w.MoveSlider(ids::ControlResponse1Slider, 13);  // image byte 30, kept
        const ParameterRecord before = w->gyro.workingRecord;
        w.messages.answers = {row.answer};

        w.Click(row.radio);

        EXPECT_EQ(w.messages.Ids(), Ids({107}));
        EXPECT_EQ(w.messages.Last()->icon, MessageIcon::Question);
        EXPECT_EQ(w.messages.Last()->buttons, MessageButtons::YesNo);
        const ParameterRecord& after = w->gyro.workingRecord;
        EXPECT_EQ(after.flightMode(), row.flightMode);
        EXPECT_EQ(after.servoMode(), row.servoMode);
        // The radios show the image's modes, on No the previous ones again.
        EXPECT_TRUE(w.checked(row.flightMode == 1 ? ids::F3C : ids::ThreeD));
        EXPECT_TRUE(w.checked(row.servoMode == 2   ? ids::Digital1520
                              : row.servoMode == 3 ? ids::Digital760
                                                   : ids::Analog));
        if (row.answer == MessageAnswer::No) {
            EXPECT_EQ(after, before);
            continue;
        }
        // Bytes 40-79 from the new mode's table; bytes 0-39 as the store left them.
        EXPECT_EQ(ImageHalf(after, 40), modeTables[std::size_t(modeTableIndex(after.modeFlags()))]);
        for (std::size_t j = 0; j < 40; ++j)
            if (j != 28) {
                EXPECT_EQ(after.imageByte(j), before.imageByte(j)) << j;
            }
        EXPECT_EQ(int(after.baseGain()), 77);
        EXPECT_EQ(int(after.controlResponseRight()), 13);
        EXPECT_EQ(after.gyroId(), before.gyroId());
        // And the window shows the reset values.
        EXPECT_EQ(w.text(ids::YawRate), "100");
        EXPECT_EQ(w.text(ids::Pirouette), "7");
        EXPECT_EQ(w.text(ids::DGain), "150");
        EXPECT_EQ(w.position(ids::DGainSlider), 150);
        EXPECT_EQ(w.text(ids::ExpHoldex), row.flightMode == 1 ? "-40" : "-20");
        EXPECT_EQ(int(after.holdexYawRate()), row.flightMode == 1 ? 450 : 720);
    }
}

TEST(Modes, Initialize) {
    for (const MessageAnswer answer : {MessageAnswer::Yes, MessageAnswer::No}) {
        SCOPED_TRACE(answer == MessageAnswer::Yes ? "Yes" : "No");
        Harness w;
        ASSERT_TRUE(w.connected);
        ASSERT_TRUE(w.Read());
        // Move away from the defaults everywhere the user can.
        w.messages.answers = {MessageAnswer::Yes};
        w.Click(ids::ThreeD);
        w.Click(ids::GyroReverse);
        w.Click(ids::Fast);
        w.Select(ids::RudderChannel, 9);
        w.Select(ids::GainChannel, 12);
        w.MoveSlider(ids::BaseGainSlider, 90);
        w.Click(ids::BottomSide);
        w.Click(ids::NotUsingId);
        w.window.SetText(ids::IdBox, "777");
        w.messages.Clear();
        ParameterRecord before = w->gyro.workingRecord;
        before.bytes[0] = 0x12;  // bytes outside the image stay too
        before.bytes[84] = 0x34;
        w->gyro.workingRecord = before;
        w.messages.answers = {answer};

        w->OnFileInitialize();

        EXPECT_EQ(w.messages.Ids(), Ids({106}));
        EXPECT_EQ(w.messages.Last()->icon, MessageIcon::Question);
        EXPECT_EQ(w.messages.Last()->buttons, MessageButtons::YesNo);
        const ParameterRecord& after = w->gyro.workingRecord;
        // Kept either way: the record's own bytes, the mounting surface, "Not using ID"
        // and the unstored text of the ID box.
        EXPECT_EQ(after.bytes[0], before.bytes[0]);
        EXPECT_EQ(after.bytes[84], before.bytes[84]);
        EXPECT_EQ(after.modelCode(), before.modelCode());
        EXPECT_EQ(after.gyroId(), before.gyroId());
        EXPECT_EQ(w->mounting, 1);
        EXPECT_TRUE(w.checked(ids::BottomSide));
        EXPECT_EQ(w->notUsingId, 1);
        if (answer == MessageAnswer::No) {
            EXPECT_EQ(after, before);
            EXPECT_EQ(w.text(ids::IdBox), "777");
            continue;
        }
        EXPECT_EQ(ImageHalf(after, 0), defaultTableA);
        EXPECT_EQ(ImageHalf(after, 40), modeTables[0]);
        EXPECT_EQ(after.imageChecksum(), 0);
        EXPECT_EQ(after.limitHigh(), 4656);
        EXPECT_EQ(after.limitLow(), 2640);
        // The window shows the defaults: F3C, Normal, Digital (1520), Standard, channels 2
        // and 3, both control responses 7, base gain 50, both limits 100 %.
        EXPECT_TRUE(w.checked(ids::F3C));
        EXPECT_TRUE(w.checked(ids::GyroNormal));
        EXPECT_TRUE(w.checked(ids::Digital1520));
        EXPECT_TRUE(w.checked(ids::Standard));
        EXPECT_EQ(w.window.lists[ids::RudderChannel].selection, 1);  // "2"
        EXPECT_EQ(w.window.lists[ids::GainChannel].selection, 2);    // "3"
        EXPECT_EQ(w.text(ids::ControlResponse1), "7");
        EXPECT_EQ(w.text(ids::ControlResponse2), "7");
        EXPECT_EQ(w.text(ids::BaseGain), "50");
        EXPECT_EQ(w.position(ids::BaseGainSlider), 50);
        EXPECT_EQ(w.text(ids::HighLimit), "100");
        EXPECT_EQ(w.text(ids::LowLimit), "100");
        // The labels follow the kept mounting surface.
        EXPECT_EQ(w.text(ids::ControlResponse1Label), Harness::String(125));
        // The window was not stored first: the ID box shows the image's ID again.
        EXPECT_EQ(w.text(ids::IdBox), std::to_string(before.gyroId()));
    }
}
