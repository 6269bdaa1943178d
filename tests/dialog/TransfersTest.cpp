// The transfers between the working record and the controls: ranges, conversions, clamps,
// the direction labels, the rudder channel of the bus frame, the ID box's validation and
// the enable rules. The window never connects: the transfers need no adapter.
#include "tests/dialog/DialogTestSupport.h"

using namespace dialogtest;

TEST(Transfers, SliderRanges) {
    struct Row {
        int id, minimum, maximum, tick, start;
    };
    static const Row kRows[] = {
        {1019, 0, 20, 5, 0},      {1022, 0, 20, 5, 0},       {1025, 0, 20, 5, 0},
        {1028, 0, 20, 5, 0},      {1031, 0, 20, 5, 0},       {1034, 0, 20, 5, 0},
        {1036, -100, 100, 25, 0}, {1038, -100, 100, 25, 0},  {1040, 30, 110, 10, 30},
        {1042, 0, 50, 10, 0},     {1044, 100, 500, 50, 100}, {1046, 0, 250, 20, 0},
        {1048, 0, 100, 10, 0},    {1050, 30, 100, 10, 30},   {1058, 352, 1696, 224, 1024},
        {1063, 1, 10, 1, 1},
    };
    Harness w(false);
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.id);
        const FakeWindow::Slider& s = w.window.sliders[row.id];
        EXPECT_EQ(s.minimum, row.minimum);
        EXPECT_EQ(s.maximum, row.maximum);
        EXPECT_EQ(s.tick, row.tick);
        EXPECT_EQ(s.position, row.start);
    }
}

TEST(Transfers, SliderToLimitRaw) {
    static const int kRows[][3] = {{352, 2136, 150}, {576, 2640, 100},  {799, 3143, 50},
                                   {800, 3144, 50},  {1024, 3648, 0},   {1248, 4152, 50},
                                   {1249, 4153, 50}, {1472, 4656, 100}, {1696, 5160, 150}};
    for (const auto& row : kRows) {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(CTarvexDlg::SliderToLimitRaw(row[0]), row[1]);
        // The Position box shows the same percentage when the slider stands there.
        Harness w(false);
        w.window.SetTrackbarPos(ids::PositionSlider, 1024 == row[0] ? 1025 : 1024);
        w.MoveSlider(ids::PositionSlider, row[0]);
        EXPECT_EQ(w.number(ids::Position), row[2]);
    }
}

// The value box keeps a number the slider cannot reach; only a slider movement brings the
// slider's position into the image.
TEST(Transfers, SliderAndValueBoxDisagree) {
    Harness w(false);
    ParameterRecord r = Factory();
    r.setDGain(255);
    r.setExpNormal(-120);
    w.Show(r);
    EXPECT_EQ(w.number(1045), 255);
    EXPECT_EQ(w.position(1046), 250);
    EXPECT_EQ(w.number(1035), -120);
    EXPECT_EQ(w.position(1036), -100);
    // Placing the sliders is not a movement: nothing was stored.
    EXPECT_EQ(w.record().dGain(), 255);

    // A store started by a list or a radio takes the value boxes.
    w->StoreToImage();
    EXPECT_EQ(w.record().dGain(), 255);
    EXPECT_EQ(w.record().expNormal(), -120);

    // The first movement of any slider stores every slider's position.
    w.MoveSlider(1050, 60);
    EXPECT_EQ(w.record().baseGain(), 60);
    EXPECT_EQ(w.record().dGain(), 250);
    EXPECT_EQ(w.record().expNormal(), -100);
    EXPECT_EQ(w.number(1045), 250);
}

// A scroll that leaves the slider where it was (the handle let go in place) stores every
// slider's position, as a movement does.
TEST(Transfers, ScrollInPlaceStores) {
    Harness w(false);
    ParameterRecord r = Factory();
    r.setDGain(255);
    w.Show(r);
    w->OnSliderScroll();
    EXPECT_EQ(w.record().dGain(), 250);
    EXPECT_EQ(w.number(1045), 250);
}

TEST(Transfers, UnmatchedPirouetteCurve) {
    Harness w(false);
    ParameterRecord r = Factory();
    r.setPirouetteCurve(CurveBytes{100, 1, 2, 3, 4, 5, 6, 7});
    w.Show(r);
    EXPECT_EQ(w.number(1062), 11);
    EXPECT_EQ(w.position(1063), 10);
    // The next store of any kind writes row 10.
    w->StoreToImage();
    EXPECT_EQ(w.record().pirouetteCurve(), pirouetteTable[9]);
    EXPECT_EQ(w.number(1062), 11);  // the box keeps its value until the next refresh
}

TEST(Transfers, PirouetteRowFromSlider) {
    Harness w(false);
    w.Show(Factory());
    EXPECT_EQ(w.number(1062), 7);
    w.MoveSlider(1063, 3);
    EXPECT_EQ(w.record().pirouetteCurve(), pirouetteTable[2]);
    EXPECT_EQ(w.number(1062), 3);
}

TEST(Transfers, ResponseModeThree) {
    Harness w(false);
    ParameterRecord r = Factory();
    r.setResponseMode(3);
    w.Show(r);
    for (int id : {1014, 1015, 1016}) EXPECT_FALSE(w.checked(id)) << id;
    w->StoreToImage();
    EXPECT_EQ(w.record().responseMode(), 0);
    EXPECT_FALSE(w.checked(1014));  // the store does not refresh
}

TEST(Transfers, ServoModes) {
    static const int kRows[][3] = {{2, 1007, 2}, {3, 1008, 3}, {0, 1009, 0}, {1, 1009, 0}};
    for (const auto& row : kRows) {
        SCOPED_TRACE(row[0]);
        Harness w(false);
        ParameterRecord r = Factory();
        r.setServoMode(row[0]);
        w.Show(r);
        EXPECT_TRUE(w.checked(row[1]));
        w->StoreToImage();
        EXPECT_EQ(w.record().servoMode(), row[2]);
    }
}

TEST(Transfers, FlightModeAndReverse) {
    Harness w(false);
    ParameterRecord r = Factory();
    r.setFlightMode(0);  // 3D
    r.setGyroReverse(1);
    w.Show(r);
    EXPECT_TRUE(w.checked(1006));
    EXPECT_TRUE(w.checked(1011));
    w.window.SetRadio(1005, 1006, 1005);
    w.window.SetRadio(1010, 1011, 1010);
    w->StoreToImage();
    EXPECT_EQ(w.record().flightMode(), 1);
    EXPECT_EQ(w.record().gyroReverse(), 0);
}

TEST(Transfers, YawRateRoundsTo450) {
    Harness w(false);
    ParameterRecord r = Factory();  // F3C
    r.setHoldexYawRate(451);
    w.Show(r);
    EXPECT_EQ(w.number(1039), 100);
    w->StoreToImage();
    EXPECT_EQ(int(w.record().holdexYawRate()), 450);
}

// A record the window can show exactly comes back unchanged from a store, carried bytes,
// reserved mode bits and limits included.
TEST(Transfers, StoreKeepsWhatItDoesNotOwn) {
    Harness w(false);
    ParameterRecord r = Factory();
    r.setModeFlags(static_cast<std::uint8_t>(r.modeFlags() | 0x0C));  // reserved bits
    r.setLimitHighRaw(4944);
    r.setLimitLowRaw(2469);
    r.setNeutralPosition(1234);
    r.setParam41(77);
    r.setParam78(999);
    r.setImageChecksum(0xBEEF);
    r.setRudderChannel(15);
    r.setGainChannel(9);
    w.Show(r);
    EXPECT_EQ(w.number(1054), limitPercent(4944));
    EXPECT_EQ(w.number(1056), limitPercent(2469));
    w->StoreToImage();
    EXPECT_EQ(w.record().bytes, r.bytes);
}

TEST(Transfers, ClampsOnStore) {
    Harness w(false);
    w.Show(Factory());
    // Values outside their fields, as only the value boxes can hold them.
    w->controlResponseRight = 300;
    w->controlResponseLeft = -5;
    w->expNormal = 200;
    w->expHoldex = -200;
    w->holdexRange = 70000;
    w->baseGain = 999;
    w->ValuesToControls();
    w->StoreToImage();
    EXPECT_EQ(w.record().controlResponseRight(), 255);
    EXPECT_EQ(w.record().controlResponseLeft(), 0);
    EXPECT_EQ(w.record().expNormal(), 127);
    EXPECT_EQ(w.record().expHoldex(), -128);
    EXPECT_EQ(int(w.record().holdexRange()), 65535);
    EXPECT_EQ(w.record().baseGain(), 255);
}

TEST(Transfers, DirectionLabels) {
    struct Row {
        int mounting, reverse;
        std::vector<int> rows;  // 1017, 1020, 1023, 1026, 1029, 1032 (string ids)
        int high, low;          // 1053, 1055
    };
    const std::vector<int> upper{124, 125, 126, 127, 128, 129};   // Right, Left, Right/In, ...
    const std::vector<int> bottom{125, 124, 128, 129, 126, 127};  // Left, Right, Left/In, ...
    const Row kRows[] = {
        {0, 0, upper, 124, 125},
        {0, 1, upper, 125, 124},
        {1, 0, bottom, 125, 124},
        {1, 1, bottom, 124, 125},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.mounting * 10 + row.reverse);
        Harness w(false);
        ParameterRecord r = Factory();
        r.setGyroReverse(row.reverse);
        w.Show(r);
        w.window.SetRadio(1012, 1013, row.mounting == 0 ? 1012 : 1013);
        // What the mounting click does: pull, then the labels.
        ASSERT_TRUE(w->ControlsToValues());
        w->UpdateDirectionLabels();
        const int labelIds[] = {1017, 1020, 1023, 1026, 1029, 1032};
        for (std::size_t i = 0; i < 6; ++i)
            EXPECT_EQ(w.text(labelIds[i]), Harness::String(row.rows[i]));
        EXPECT_EQ(w.text(1053), Harness::String(row.high));
        EXPECT_EQ(w.text(1055), Harness::String(row.low));
        // The mounting surface is window state only.
        EXPECT_EQ(w.record().bytes, r.bytes);
    }
}

// Every call of ReadSliders puts the Position slider into the rudder channel, limit
// procedure or not; a program placement does not.
TEST(Transfers, RudderChannelFollowsPosition) {
    Harness w(false);
    ParameterRecord r = Factory();
    r.setRudderChannel(5);
    w.Show(r);
    BusFrame.setChannel(5, 0);
    w.MoveSlider(1058, 1300);
    EXPECT_EQ(int(BusFrame.channel(5)), 1300);
    EXPECT_EQ(w.number(1057), limitPercent(std::uint16_t(CTarvexDlg::SliderToLimitRaw(1300))));
    // Any slider's movement carries the Position value too.
    BusFrame.setChannel(5, 0);
    w.MoveSlider(1046, 100);
    EXPECT_EQ(int(BusFrame.channel(5)), 1300);
    // The Position slider is not part of the image.
    EXPECT_EQ(w.record().limitHigh(), r.limitHigh());
    EXPECT_EQ(w.record().limitLow(), r.limitLow());
    // No selection in the list writes no channel at all.
    const std::uint16_t before[2] = {BusFrame.channel(0), BusFrame.channel(15)};
    w->rudderChannelIndex = -1;
    w->ReadSliders();
    EXPECT_EQ(BusFrame.channel(0), before[0]);
    EXPECT_EQ(BusFrame.channel(15), before[1]);
}

TEST(Transfers, ChannelsFromLists) {
    Harness w(false);
    w.Show(Factory());
    EXPECT_EQ(w.window.lists[ids::GainChannel].items.size(), 16u);
    EXPECT_EQ(w.window.lists[ids::GainChannel].items.back(), "16");
    w.window.SetListSelection(1004, 15);
    w->StoreToImage();
    EXPECT_EQ(w.record().gainChannel(), 15);
    EXPECT_EQ(w.record().rudderChannel(), 1);
}

TEST(Transfers, IdBoxValidation) {
    struct Row {
        const char* name;
        const char* text;
        int stored;  // -1: refused
        const char* message;
    };
    const std::string notANumber = Harness::String(ids::ParseUint);
    const std::string range = "<range 0 65535>";
    const Row kRows[] = {
        {"number", "123", 123, ""},
        {"blanks around", " 65535 ", 65535, ""},
        {"zero", "0", 0, ""},
        {"letters", "12a", -1, notANumber.c_str()},
        {"empty", "", -1, notANumber.c_str()},
        {"negative", "-1", -1, notANumber.c_str()},
        {"too large", "65536", -1, range.c_str()},
        {"far too large", "99999999999", -1, notANumber.c_str()},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Harness w(false);
        w.Show(Factory());
        EXPECT_TRUE(w.window.ReadOnly(1001));
        // "Not using ID" makes the ID box writable at the next refresh.
        w->notUsingId = 1;
        w->RefreshFromImage();
        EXPECT_FALSE(w.window.ReadOnly(1001));
        w.window.SetText(1001, row.text);
        // A store as a list or radio change starts it; it goes on with the other values.
        w.window.SetRadio(1014, 1016, 1016);
        w->StoreToImage();
        if (row.stored >= 0) {
            EXPECT_TRUE(w.messages.shown.empty());
            EXPECT_EQ(w.record().responseMode(), 2);
            EXPECT_EQ(int(w.record().gyroId()), row.stored);
            continue;
        }
        ASSERT_EQ(w.messages.shown.size(), std::size_t(1));
        EXPECT_EQ(w.messages.shown[0].id, 0);
        EXPECT_EQ(w.messages.shown[0].text, row.message);
        EXPECT_EQ(w.messages.shown[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(int(w.record().gyroId()), 4242);
        EXPECT_EQ(w.window.focus, 1001);
        // The refused pull left every value as it was: the response mode stored is the
        // previous one, not the newly checked radio.
        EXPECT_EQ(w.record().responseMode(), 1);
    }
}

TEST(Transfers, EnableRules) {
    Harness w(false);
    EXPECT_FALSE(w.enabled(1060));
    EXPECT_FALSE(w.enabled(1051));
    EXPECT_FALSE(w.enabled(ids::ConnectWrite));
    EXPECT_TRUE(w.enabled(ids::ConnectRead));
    w->EnableGyroCommands(true);
    EXPECT_TRUE(w.enabled(1060));
    EXPECT_TRUE(w.enabled(1051));
    EXPECT_TRUE(w.enabled(ids::ConnectWrite));
}

// The program's text substitution: %1, %2 at once, an argument's own "%2" left alone.
TEST(Transfers, TextPlaceholders) {
    Harness w(false);
    EXPECT_EQ(w->Text(135, {"a%2", "b"}), "<135 a%2 b> Write anyway?");
    EXPECT_EQ(w->Text(ids::ParseIntRange, {"0", "65535"}), "<range 0 65535>");
    EXPECT_EQ(w->Text(121), "<121>");
}
