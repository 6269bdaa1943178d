// The click and list handlers, the flight- and servo-mode changes and File > Initialize:
// what each stores or resets, and what each keeps.
#include "tests/ui/CommandsSupport.h"

using namespace uitest;

namespace {

bool Checked(Window& w, int id) {
    return w.button(id)->isChecked();
}

std::array<std::uint8_t, 40> ImageHalf(const ParameterRecord& r, std::size_t from) {
    std::array<std::uint8_t, 40> half{};
    for (std::size_t i = 0; i < half.size(); ++i) half[i] = r.imageByte(from + i);
    return half;
}

}  // namespace

class ModesTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() { PrepareEnvironment(); }

  private slots:
    void storingHandlers_data();
    void storingHandlers();
    void mountingSurfaceMovesLabelsOnly_data();
    void mountingSurfaceMovesLabelsOnly();
    void notUsingIdMakesTheIdBoxWritable();
    void modeChange_data();
    void modeChange();
    void initialize_data();
    void initialize();
};

enum class Trigger { RudderChannel, GainChannel16, GyroReverse, ResponseSlow };
Q_DECLARE_METATYPE(Trigger)

void ModesTest::storingHandlers_data() {
    QTest::addColumn<Trigger>("trigger");
    QTest::newRow("rudder channel") << Trigger::RudderChannel;
    QTest::newRow("gain channel 16") << Trigger::GainChannel16;
    QTest::newRow("gyro reverse") << Trigger::GyroReverse;
    QTest::newRow("response Slow") << Trigger::ResponseSlow;
}

void ModesTest::storingHandlers() {
    QFETCH(Trigger, trigger);
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    ParameterRecord expected = w->gyro.workingRecord;
    const QString highLabel = w.text(ids::HighLimitLabel);
    const QString lowLabel = w.text(ids::LowLimitLabel);
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
            QCOMPARE(expected.gyroReverse(), 0);
            w.Click(ids::GyroReverse);
            expected.setGyroReverse(1);
            break;
        case Trigger::ResponseSlow:
            w.Click(ids::Slow);
            expected.setResponseMode(2);
            break;
    }
    QCOMPARE(w.messages.Ids(), Ids({}));
    QCOMPARE(w->gyro.workingRecord, expected);
    if (trigger == Trigger::GainChannel16) QCOMPARE(expected.channels() >> 4, 15);
    // Only the gyro direction moves the limit labels.
    const bool swapped = trigger == Trigger::GyroReverse;
    QCOMPARE(w.text(ids::HighLimitLabel), swapped ? lowLabel : highLabel);
    QCOMPARE(w.text(ids::LowLimitLabel), swapped ? highLabel : lowLabel);
}

void ModesTest::mountingSurfaceMovesLabelsOnly_data() {
    QTest::addColumn<bool>("bottom");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<int>("highLabel");  // string id beside the high limit
    QTest::newRow("upper, normal") << false << false << 124;
    QTest::newRow("bottom, normal") << true << false << 125;
    QTest::newRow("upper, reverse") << false << true << 125;
    QTest::newRow("bottom, reverse") << true << true << 124;
}

void ModesTest::mountingSurfaceMovesLabelsOnly() {
    QFETCH(bool, bottom);
    QFETCH(bool, reverse);
    QFETCH(int, highLabel);
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    if (reverse) {
        w.Click(ids::GyroReverse);
        w->OnWrite();  // so that only the mounting click is left to judge
        w.messages.Clear();
    }
    const ParameterRecord before = w->gyro.workingRecord;

    w.Click(bottom ? ids::BottomSide : ids::UpperSide);

    QCOMPARE(w->mounting, bottom ? 1 : 0);
    QCOMPARE(w->gyro.workingRecord, before);
    QCOMPARE(w.text(ids::HighLimitLabel), strings::text(highLabel));
    QCOMPARE(w.text(ids::LowLimitLabel), strings::text(highLabel == 124 ? 125 : 124));
    QCOMPARE(w.text(ids::ControlResponse1Label), strings::text(bottom ? 125 : 124));
    QCOMPARE(w.text(ids::HoldexResponse1Label), strings::text(bottom ? 128 : 126));
    QCOMPARE(w.text(ids::HoldexResponse4Label), strings::text(bottom ? 127 : 129));
    // Nothing stored, nothing to write.
    w->OnCancel();
    QCOMPARE(w.messages.Ids(), Ids({}));
}

void ModesTest::notUsingIdMakesTheIdBoxWritable() {
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    QVERIFY(w.edit(ids::IdBox)->isReadOnly());
    w.Click(ids::NotUsingId);
    QVERIFY(!w.edit(ids::IdBox)->isReadOnly());
    QCOMPARE(w->notUsingId, 1);
    w.edit(ids::IdBox)->setText(QStringLiteral("1234"));
    w.Click(ids::NotUsingId);  // cleared again: the ID box's text is stored, then locked
    QVERIFY(w.edit(ids::IdBox)->isReadOnly());
    QCOMPARE(w->notUsingId, 0);
    QCOMPARE(w->gyro.workingRecord.gyroId(), 1234);
    QCOMPARE(w.messages.Ids(), Ids({}));
}

void ModesTest::modeChange_data() {
    QTest::addColumn<int>("radio");
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<int>("flightMode");  // expected afterwards, 1 = F3C
    QTest::addColumn<int>("servoMode");
    const auto yes = MessageAnswer::Yes, no = MessageAnswer::No;
    // The virtual gyro starts in F3C with Digital (1520).
    QTest::newRow("F3C again, Yes") << int(ids::F3C) << yes << 1 << 2;
    QTest::newRow("3D, Yes") << int(ids::ThreeD) << yes << 0 << 2;
    QTest::newRow("3D, No") << int(ids::ThreeD) << no << 1 << 2;
    QTest::newRow("Digital (760), Yes") << int(ids::Digital760) << yes << 1 << 3;
    QTest::newRow("Digital (760), No") << int(ids::Digital760) << no << 1 << 2;
    QTest::newRow("Analog, Yes") << int(ids::Analog) << yes << 1 << 0;
}

void ModesTest::modeChange() {
    QFETCH(int, radio);
    QFETCH(MessageAnswer, answer);
    QFETCH(int, flightMode);
    QFETCH(int, servoMode);
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
    QCOMPARE(w->gyro.workingRecord.flightMode(), 1);
    QCOMPARE(w->gyro.workingRecord.servoMode(), 2);
    // Edits on both halves of the image, to see what the change keeps and what it resets.
    w.MoveSlider(ids::DGainSlider, 200);            // image byte 73, reset by the mode table
    w.MoveSlider(ids::ExpHoldexSlider, 55);         // image byte 70
    w.MoveSlider(ids::BaseGainSlider, 77);          // image byte 15, kept
    w.MoveSlider(ids::ControlResponse1Slider, 13);  // image byte 30, kept
    const ParameterRecord before = w->gyro.workingRecord;
    w.messages.answers = {answer};

    w.Click(radio);

    QCOMPARE(w.messages.Ids(), Ids({107}));
    QCOMPARE(w.messages.Last()->icon, MessageIcon::Question);
    QCOMPARE(w.messages.Last()->buttons, MessageButtons::YesNo);
    const ParameterRecord& after = w->gyro.workingRecord;
    QCOMPARE(after.flightMode(), flightMode);
    QCOMPARE(after.servoMode(), servoMode);
    // The radios show the image's modes, on No the previous ones again.
    QVERIFY(Checked(w, flightMode == 1 ? ids::F3C : ids::ThreeD));
    QVERIFY(Checked(w, servoMode == 2   ? ids::Digital1520
                       : servoMode == 3 ? ids::Digital760
                                        : ids::Analog));
    if (answer == MessageAnswer::No) {
        QCOMPARE(after, before);
        return;
    }
    // Bytes 40-79 from the new mode's table; bytes 0-39 as the store left them.
    QCOMPARE(ImageHalf(after, 40), modeTables[std::size_t(modeTableIndex(after.modeFlags()))]);
    for (std::size_t j = 0; j < 40; ++j)
        if (j != 28) QCOMPARE(after.imageByte(j), before.imageByte(j));
    QCOMPARE(int(after.baseGain()), 77);
    QCOMPARE(int(after.controlResponseRight()), 13);
    QCOMPARE(after.gyroId(), before.gyroId());
    // And the window shows the reset values.
    QCOMPARE(w.text(ids::YawRate), QStringLiteral("100"));
    QCOMPARE(w.text(ids::Pirouette), QStringLiteral("7"));
    QCOMPARE(w.text(ids::DGain), QStringLiteral("150"));
    QCOMPARE(w.slider(ids::DGainSlider)->value(), 150);
    QCOMPARE(w.text(ids::ExpHoldex),
             flightMode == 1 ? QStringLiteral("-40") : QStringLiteral("-20"));
    QCOMPARE(int(after.holdexYawRate()), flightMode == 1 ? 450 : 720);
}

void ModesTest::initialize_data() {
    QTest::addColumn<MessageAnswer>("answer");
    QTest::newRow("Yes") << MessageAnswer::Yes;
    QTest::newRow("No") << MessageAnswer::No;
}

void ModesTest::initialize() {
    QFETCH(MessageAnswer, answer);
    Window w;
    QVERIFY(w.connected);
    QVERIFY(w.Read());
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
    w.edit(ids::IdBox)->setText(QStringLiteral("777"));
    w.messages.Clear();
    ParameterRecord before = w->gyro.workingRecord;
    before.bytes[0] = 0x12;  // bytes outside the image stay too
    before.bytes[84] = 0x34;
    w->gyro.workingRecord = before;
    w.messages.answers = {answer};

    w->OnFileInitialize();

    QCOMPARE(w.messages.Ids(), Ids({106}));
    QCOMPARE(w.messages.Last()->icon, MessageIcon::Question);
    QCOMPARE(w.messages.Last()->buttons, MessageButtons::YesNo);
    const ParameterRecord& after = w->gyro.workingRecord;
    // Kept either way: the record's own bytes, the mounting surface, "Not using ID" and
    // the unstored text of the ID box.
    QCOMPARE(after.bytes[0], before.bytes[0]);
    QCOMPARE(after.bytes[84], before.bytes[84]);
    QCOMPARE(after.modelCode(), before.modelCode());
    QCOMPARE(after.gyroId(), before.gyroId());
    QCOMPARE(w->mounting, 1);
    QVERIFY(Checked(w, ids::BottomSide));
    QCOMPARE(w->notUsingId, 1);
    if (answer == MessageAnswer::No) {
        QCOMPARE(after, before);
        QCOMPARE(w.text(ids::IdBox), QStringLiteral("777"));
        return;
    }
    QCOMPARE(ImageHalf(after, 0), defaultTableA);
    QCOMPARE(ImageHalf(after, 40), modeTables[0]);
    QCOMPARE(after.imageChecksum(), 0);
    QCOMPARE(after.limitHigh(), 4656);
    QCOMPARE(after.limitLow(), 2640);
    // The window shows the defaults: F3C, Normal, Digital (1520), Standard, channels 2 and
    // 3, both control responses 7, base gain 50, both limits 100 %.
    QVERIFY(Checked(w, ids::F3C));
    QVERIFY(Checked(w, ids::GyroNormal));
    QVERIFY(Checked(w, ids::Digital1520));
    QVERIFY(Checked(w, ids::Standard));
    QCOMPARE(w.combo(ids::RudderChannel)->currentText(), QStringLiteral("2"));
    QCOMPARE(w.combo(ids::GainChannel)->currentText(), QStringLiteral("3"));
    QCOMPARE(w.text(ids::ControlResponse1), QStringLiteral("7"));
    QCOMPARE(w.text(ids::ControlResponse2), QStringLiteral("7"));
    QCOMPARE(w.text(ids::BaseGain), QStringLiteral("50"));
    QCOMPARE(w.slider(ids::BaseGainSlider)->value(), 50);
    QCOMPARE(w.text(ids::HighLimit), QStringLiteral("100"));
    QCOMPARE(w.text(ids::LowLimit), QStringLiteral("100"));
    // The labels follow the kept mounting surface.
    QCOMPARE(w.text(ids::ControlResponse1Label), strings::text(125));
    // The window was not stored first: the ID box shows the image's ID again.
    QCOMPARE(w.text(ids::IdBox), QString::number(before.gyroId()));
}

QTEST_MAIN(ModesTest)
#include "tst_modes.moc"
