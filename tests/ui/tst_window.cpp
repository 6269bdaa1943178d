// The window's controls and the transfers between the working record and the controls:
// ranges, conversions, clamps, the direction labels, the rudder channel of the bus frame,
// the ID box's validation, keyboard access and the captions in three languages.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "gyro/BusFrame.h"
#include "ui/StringTableQt.h"
#include "resources/window/WindowResources.h"
#include "tests/ui/UiFakes.h"
#include "ui/CAboutDlg.h"
#include "ui/CTarvexDlg.h"

namespace {

// A window that never connects: the transfers need no adapter. It is initialised as the
// dialog's start-up does, without the connection.
struct Window {
    FakeMessageService messages;
    FakeFileChooser files;
    TBX3 adapter;
    std::unique_ptr<CTarvexDlg> dlg;

    Window() {
        dlg = std::make_unique<CTarvexDlg>(adapter, CTarvexDlg::Services{&messages, &files});
        dlg->ValuesToControls();
        dlg->InitSliders();
        dlg->EnableGyroCommands(false);
    }
    CTarvexDlg* operator->() { return dlg.get(); }
    ParameterRecord& record() { return dlg->gyro.workingRecord; }
    QSlider* slider(int id) { return qobject_cast<QSlider*>(dlg->Control(id)); }
    QLineEdit* edit(int id) { return qobject_cast<QLineEdit*>(dlg->Control(id)); }
    QAbstractButton* button(int id) { return qobject_cast<QAbstractButton*>(dlg->Control(id)); }
    int number(int id) { return edit(id)->text().toInt(); }
    // The image as after a Read: refresh, place, labels.
    void Show(const ParameterRecord& r) {
        dlg->gyro.workingRecord = r;
        dlg->RefreshFromImage();
        dlg->PlaceSliders();
        dlg->UpdateDirectionLabels();
    }
};

// A factory record with the F3C table, Standard response, channels 2 and 3.
ParameterRecord Factory() {
    ParameterRecord r;
    r.setModelCode(ParameterRecord::kModelCodeKR640);
    r.setGyroId(4242);
    resetToDefaults(r);
    return r;
}

const int kAllIds[] = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013,
                       1014, 1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026,
                       1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039,
                       1040, 1041, 1042, 1043, 1044, 1045, 1046, 1047, 1048, 1049, 1050, 1051, 1052,
                       1053, 1054, 1055, 1056, 1057, 1058, 1059, 1060, 1061, 1062, 1063};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        IsolateUserSettings();
    }

  private slots:
    void initTestCase() {
        window_resources::Init();
        strings::chooseLanguage(*qApp, QStringLiteral("en"));
    }
    void cleanup() { strings::chooseLanguage(*qApp, QStringLiteral("en")); }

    void everyControlIsFoundByItsId() {
        Window w;
        for (int id : kAllIds) {
            QWidget* byName = w.dlg->findChild<QWidget*>(QStringLiteral("c%1").arg(id));
            QVERIFY2(byName != nullptr, qPrintable(QString::number(id)));
            QCOMPARE(w->Control(id), byName);
        }
        QVERIFY(w->Control(1000) == nullptr);
        QVERIFY(w->Control(1064) == nullptr);
    }

    void controlKinds() {
        Window w;
        const int valueBoxes[] = {1018, 1021, 1024, 1027, 1030, 1033, 1035, 1037, 1039,
                                  1041, 1043, 1045, 1047, 1049, 1054, 1056, 1057, 1062};
        for (int id : valueBoxes) {
            QLineEdit* e = w.edit(id);
            QVERIFY2(e && e->isReadOnly() && e->hasFrame(), qPrintable(QString::number(id)));
            QVERIFY(e->alignment() & Qt::AlignRight);
        }
        for (int id : {1017, 1020, 1023, 1026, 1029, 1032, 1053, 1055}) {
            QLineEdit* e = w.edit(id);
            QVERIFY2(e && e->isReadOnly() && !e->hasFrame(), qPrintable(QString::number(id)));
            QVERIFY(e->alignment() & Qt::AlignRight);
            QCOMPARE(e->focusPolicy(), Qt::NoFocus);
        }
        QVERIFY(w.edit(1061)->isReadOnly() && w.edit(1061)->hasFrame());
        QVERIFY(w.edit(1001)->hasFrame());
        for (int id : {1019, 1022, 1025, 1028, 1031, 1034, 1036, 1038, 1040, 1042, 1044, 1046, 1048,
                       1050, 1058, 1063}) {
            QSlider* s = w.slider(id);
            QVERIFY2(s, qPrintable(QString::number(id)));
            QCOMPARE(s->orientation(), Qt::Horizontal);
            QCOMPARE(s->tickPosition(), QSlider::TicksAbove);
        }
        QVERIFY(qobject_cast<QCheckBox*>(w->Control(1002)));
        QVERIFY(qobject_cast<QPushButton*>(w->Control(1051))->isCheckable());
        for (int id : {1003, 1004}) {
            auto* list = qobject_cast<QComboBox*>(w->Control(id));
            QCOMPARE(list->count(), 16);
            QCOMPARE(list->itemText(0), QStringLiteral("1"));
            QCOMPARE(list->itemText(15), QStringLiteral("16"));
        }
        w.dlg->show();
        // "Not using ID" exists but nothing shows it.
        QVERIFY(!w->Control(1002)->isVisible());
        QVERIFY(w->Control(1001)->isVisible());
    }

    void sliderRanges_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("tick");
        QTest::addColumn<int>("start");
        const int rows[][5] = {
            {1019, 0, 20, 5, 0},      {1022, 0, 20, 5, 0},       {1025, 0, 20, 5, 0},
            {1028, 0, 20, 5, 0},      {1031, 0, 20, 5, 0},       {1034, 0, 20, 5, 0},
            {1036, -100, 100, 25, 0}, {1038, -100, 100, 25, 0},  {1040, 30, 110, 10, 30},
            {1042, 0, 50, 10, 0},     {1044, 100, 500, 50, 100}, {1046, 0, 250, 20, 0},
            {1048, 0, 100, 10, 0},    {1050, 30, 100, 10, 30},   {1058, 352, 1696, 224, 1024},
            {1063, 1, 10, 1, 1},
        };
        for (const auto& r : rows)
            QTest::addRow("%d", r[0]) << r[0] << r[1] << r[2] << r[3] << r[4];
    }
    void sliderRanges() {
        QFETCH(int, id);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, tick);
        QFETCH(int, start);
        Window w;
        QSlider* s = w.slider(id);
        QCOMPARE(s->minimum(), minimum);
        QCOMPARE(s->maximum(), maximum);
        QCOMPARE(s->tickInterval(), tick);
        QCOMPARE(s->value(), start);
    }

    void sliderToLimitRaw_data() {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("percent");
        const int rows[][3] = {{352, 2136, 150}, {576, 2640, 100},  {799, 3143, 50},
                               {800, 3144, 50},  {1024, 3648, 0},   {1248, 4152, 50},
                               {1249, 4153, 50}, {1472, 4656, 100}, {1696, 5160, 150}};
        for (const auto& r : rows) QTest::addRow("%d", r[0]) << r[0] << r[1] << r[2];
    }
    void sliderToLimitRaw() {
        QFETCH(int, position);
        QFETCH(int, raw);
        QFETCH(int, percent);
        QCOMPARE(CTarvexDlg::SliderToLimitRaw(position), raw);
        // The Position box shows the same percentage when the slider stands there.
        Window w;
        w.slider(1058)->setValue(position);
        QCOMPARE(w.number(1057), percent);
    }

    // The value box keeps a number the slider cannot reach; only a slider movement brings
    // the slider's position into the image.
    void sliderAndValueBoxDisagree() {
        Window w;
        ParameterRecord r = Factory();
        r.setDGain(255);
        r.setExpNormal(-120);
        w.Show(r);
        QCOMPARE(w.number(1045), 255);
        QCOMPARE(w.slider(1046)->value(), 250);
        QCOMPARE(w.number(1035), -120);
        QCOMPARE(w.slider(1036)->value(), -100);
        // Placing the sliders is not a movement: nothing was stored.
        QCOMPARE(w.record().dGain(), 255);

        // A store started by a list or a radio takes the value boxes.
        w->StoreToImage();
        QCOMPARE(w.record().dGain(), 255);
        QCOMPARE(w.record().expNormal(), -120);

        // The first movement of any slider stores every slider's position.
        w.slider(1050)->setValue(60);
        QCOMPARE(w.record().baseGain(), 60);
        QCOMPARE(w.record().dGain(), 250);
        QCOMPARE(w.record().expNormal(), -100);
        QCOMPARE(w.number(1045), 250);
    }

    // Taking a slider's handle and letting it go where it was is a scroll too: it stores
    // every slider's position, as a movement does.
    void handleReleasedInPlaceStores() {
        Window w;
        ParameterRecord r = Factory();
        r.setDGain(255);
        w.Show(r);
        w.dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.dlg.get()));
        QSlider* s = w.slider(1048);  // D damp., already where its value is
        QStyleOptionSlider option;
        option.initFrom(s);
        option.orientation = s->orientation();
        option.minimum = s->minimum();
        option.maximum = s->maximum();
        option.sliderPosition = option.sliderValue = s->value();
        option.rect = s->rect();
        const QPoint handle =
            s->style()
                ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, s)
                .center();
        const int before = s->value();
        QTest::mousePress(s, Qt::LeftButton, {}, handle);
        QTest::mouseRelease(s, Qt::LeftButton, {}, handle);
        QCOMPARE(s->value(), before);
        QCOMPARE(w.record().dGain(), 250);
        QCOMPARE(w.number(1045), 250);
    }

    void keyboardMovementStores() {
        Window w;
        w.Show(Factory());
        QSlider* gain = w.slider(1042);
        const int before = gain->value();
        QTest::keyClick(gain, Qt::Key_Right);
        QCOMPARE(w.record().holdexGain(), before + 1);
        QCOMPARE(w.number(1041), before + 1);
    }

    void unmatchedPirouetteCurve() {
        Window w;
        ParameterRecord r = Factory();
        r.setPirouetteCurve(CurveBytes{100, 1, 2, 3, 4, 5, 6, 7});
        w.Show(r);
        QCOMPARE(w.number(1062), 11);
        QCOMPARE(w.slider(1063)->value(), 10);
        // The next store of any kind writes row 10.
        w->StoreToImage();
        QCOMPARE(w.record().pirouetteCurve(), pirouetteTable[9]);
        QCOMPARE(w.number(1062), 11);  // the box keeps its value until the next refresh
    }

    void pirouetteRowFromSlider() {
        Window w;
        w.Show(Factory());
        QCOMPARE(w.number(1062), 7);
        w.slider(1063)->setValue(3);
        QCOMPARE(w.record().pirouetteCurve(), pirouetteTable[2]);
        QCOMPARE(w.number(1062), 3);
    }

    void responseModeThree() {
        Window w;
        ParameterRecord r = Factory();
        r.setResponseMode(3);
        w.Show(r);
        for (int id : {1014, 1015, 1016}) QVERIFY(!w.button(id)->isChecked());
        w->StoreToImage();
        QCOMPARE(w.record().responseMode(), 0);
        QVERIFY(w.button(1014)->isChecked() == false);  // the store does not refresh
    }

    void servoModes_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("checkedId");
        QTest::addColumn<int>("storedBack");
        QTest::newRow("Digital 1520") << 2 << 1007 << 2;
        QTest::newRow("Digital 760") << 3 << 1008 << 3;
        QTest::newRow("Analog") << 0 << 1009 << 0;
        QTest::newRow("servo mode 1") << 1 << 1009 << 0;
    }
    void servoModes() {
        QFETCH(int, stored);
        QFETCH(int, checkedId);
        QFETCH(int, storedBack);
        Window w;
        ParameterRecord r = Factory();
        r.setServoMode(stored);
        w.Show(r);
        QVERIFY(w.button(checkedId)->isChecked());
        w->StoreToImage();
        QCOMPARE(w.record().servoMode(), storedBack);
    }

    void flightModeAndReverse() {
        Window w;
        ParameterRecord r = Factory();
        r.setFlightMode(0);  // 3D
        r.setGyroReverse(1);
        w.Show(r);
        QVERIFY(w.button(1006)->isChecked());
        QVERIFY(w.button(1011)->isChecked());
        w.button(1005)->setChecked(true);
        w.button(1010)->setChecked(true);
        w->StoreToImage();
        QCOMPARE(w.record().flightMode(), 1);
        QCOMPARE(w.record().gyroReverse(), 0);
    }

    void yawRateRoundsTo450() {
        Window w;
        ParameterRecord r = Factory();  // F3C
        r.setHoldexYawRate(451);
        w.Show(r);
        QCOMPARE(w.number(1039), 100);
        w->StoreToImage();
        QCOMPARE(int(w.record().holdexYawRate()), 450);
    }

    // A record the window can show exactly comes back unchanged from a store, carried
    // bytes, reserved mode bits and limits included.
    void storeKeepsWhatItDoesNotOwn() {
        Window w;
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
        QCOMPARE(w.number(1054), limitPercent(4944));
        QCOMPARE(w.number(1056), limitPercent(2469));
        w->StoreToImage();
        QCOMPARE(w.record().bytes, r.bytes);
    }

    void clampsOnStore() {
        Window w;
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
        QCOMPARE(w.record().controlResponseRight(), 255);
        QCOMPARE(w.record().controlResponseLeft(), 0);
        QCOMPARE(w.record().expNormal(), 127);
        QCOMPARE(w.record().expHoldex(), -128);
        QCOMPARE(int(w.record().holdexRange()), 65535);
        QCOMPARE(w.record().baseGain(), 255);
    }

    void directionLabels_data() {
        QTest::addColumn<int>("mounting");
        QTest::addColumn<int>("reverse");
        QTest::addColumn<QStringList>("rows");  // 1017, 1020, 1023, 1026, 1029, 1032
        QTest::addColumn<QString>("high");      // 1053
        QTest::addColumn<QString>("low");       // 1055
        const QStringList upper{"Right", "Left", "Right/In", "Right/Out", "Left/In", "Left/Out"};
        const QStringList bottom{"Left", "Right", "Left/In", "Left/Out", "Right/In", "Right/Out"};
        QTest::newRow("upper, normal") << 0 << 0 << upper << "Right"
                                       << "Left";
        QTest::newRow("upper, reverse") << 0 << 1 << upper << "Left"
                                        << "Right";
        QTest::newRow("bottom, normal") << 1 << 0 << bottom << "Left"
                                        << "Right";
        QTest::newRow("bottom, reverse") << 1 << 1 << bottom << "Right"
                                         << "Left";
    }
    void directionLabels() {
        QFETCH(int, mounting);
        QFETCH(int, reverse);
        QFETCH(QStringList, rows);
        QFETCH(QString, high);
        QFETCH(QString, low);
        Window w;
        ParameterRecord r = Factory();
        r.setGyroReverse(reverse);
        w.Show(r);
        w.button(mounting == 0 ? 1012 : 1013)->setChecked(true);
        // What the mounting click does: pull, then the labels.
        QVERIFY(w->ControlsToValues());
        w->UpdateDirectionLabels();
        const int ids[] = {1017, 1020, 1023, 1026, 1029, 1032};
        for (int i = 0; i < 6; ++i) QCOMPARE(w.edit(ids[i])->text(), rows[i]);
        QCOMPARE(w.edit(1053)->text(), high);
        QCOMPARE(w.edit(1055)->text(), low);
        // The mounting surface is window state only.
        QCOMPARE(w.record().bytes, r.bytes);
    }

    // Every call of ReadSliders puts the Position slider into the rudder channel, limit
    // procedure or not; a program placement under a signal blocker does not.
    void rudderChannelFollowsPosition() {
        Window w;
        ParameterRecord r = Factory();
        r.setRudderChannel(5);
        w.Show(r);
        BusFrame.setChannel(5, 0);
        w.slider(1058)->setValue(1300);
        QCOMPARE(int(BusFrame.channel(5)), 1300);
        QCOMPARE(w.number(1057), limitPercent(CTarvexDlg::SliderToLimitRaw(1300)));
        // Any slider's movement carries the Position value too.
        BusFrame.setChannel(5, 0);
        w.slider(1046)->setValue(100);
        QCOMPARE(int(BusFrame.channel(5)), 1300);
        // The Position slider is not part of the image.
        QCOMPARE(w.record().limitHigh(), r.limitHigh());
        QCOMPARE(w.record().limitLow(), r.limitLow());
        // No selection in the list writes no channel at all.
        const std::uint16_t before[2] = {BusFrame.channel(0), BusFrame.channel(15)};
        w->rudderChannelIndex = -1;
        w->ReadSliders();
        QCOMPARE(BusFrame.channel(0), before[0]);
        QCOMPARE(BusFrame.channel(15), before[1]);
    }

    void channelsFromLists() {
        Window w;
        w.Show(Factory());
        qobject_cast<QComboBox*>(w->Control(1004))->setCurrentIndex(15);
        w->StoreToImage();
        QCOMPARE(w.record().gainChannel(), 15);
        QCOMPARE(w.record().rudderChannel(), 1);
    }

    void idBoxValidation_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stored");  // -1: refused
        QTest::addColumn<QString>("message");
        QTest::newRow("number") << "123" << 123 << "";
        QTest::newRow("blanks around") << " 65535 " << 65535 << "";
        QTest::newRow("zero") << "0" << 0 << "";
        QTest::newRow("letters") << "12a" << -1 << "Please enter a positive integer.";
        QTest::newRow("empty") << "" << -1 << "Please enter a positive integer.";
        QTest::newRow("negative") << "-1" << -1 << "Please enter a positive integer.";
        QTest::newRow("too large")
            << "65536" << -1 << "Please enter an integer between 0 and 65535.";
        QTest::newRow("far too large") << "99999999999" << -1 << "Please enter a positive integer.";
    }
    void idBoxValidation() {
        QFETCH(QString, text);
        QFETCH(int, stored);
        QFETCH(QString, message);
        Window w;
        w.dlg->show();
        w.Show(Factory());
        QVERIFY(w.edit(1001)->isReadOnly());
        // "Not using ID" makes the ID box writable at the next refresh.
        w->notUsingId = 1;
        w->RefreshFromImage();
        QVERIFY(!w.edit(1001)->isReadOnly());
        w.edit(1001)->setText(text);
        // A store as a list or radio change starts it; it goes on with the other values.
        w.button(1016)->setChecked(true);
        w->StoreToImage();
        if (stored >= 0) {
            QVERIFY(w.messages.shown.empty());
            QCOMPARE(w.record().responseMode(), 2);
            QCOMPARE(int(w.record().gyroId()), stored);
            return;
        }
        QCOMPARE(w.messages.shown.size(), std::size_t(1));
        QCOMPARE(w.messages.shown[0].id, 0);
        QCOMPARE(w.messages.shown[0].text, message);
        QCOMPARE(w.messages.shown[0].icon, MessageIcon::Exclamation);
        QCOMPARE(int(w.record().gyroId()), 4242);
        QCOMPARE(w.dlg->focusWidget(), w->Control(1001));
        // The refused pull left every value as it was: the response mode stored is the
        // previous one, not the newly checked radio.
        QCOMPARE(w.record().responseMode(), 1);
    }

    void enableRules() {
        Window w;
        w.dlg->show();
        QVERIFY(!w->Control(1060)->isEnabled());
        QVERIFY(!w->Control(1051)->isEnabled());
        QVERIFY(!w->Action(ids::ConnectWrite)->isEnabled());
        QVERIFY(w->Action(ids::ConnectRead)->isEnabled());
        w->EnableGyroCommands(true);
        QVERIFY(w->Control(1060)->isEnabled());
        QVERIFY(w->Control(1051)->isEnabled());
        QVERIFY(w->Action(ids::ConnectWrite)->isEnabled());
    }

    // No push button is the window's default, so Return away from the buttons is the OK
    // command; on a focused button Return clicks that button.
    void noDefaultButton() {
        Window w;
        w->EnableGyroCommands(true);
        w.dlg->show();
        QCoreApplication::processEvents();
        for (QPushButton* b : w.dlg->findChildren<QPushButton*>())
            QVERIFY2(!b->isDefault(), qPrintable(b->objectName()));
        auto* enter = qobject_cast<QPushButton*>(w->Control(ids::Enter));
        QSignalSpy clicked(enter, &QPushButton::clicked);
        enter->setFocus();
        QTest::keyClick(enter, Qt::Key_Return);
        QCOMPARE(clicked.count(), 1);
    }

    void menuCommands_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shortcut");
        QTest::newRow("initialize") << 57600 << "&Initialize..."
                                    << "";
        QTest::newRow("open") << 57601 << "&Open..."
                              << "Ctrl+O";
        QTest::newRow("restore") << 32781 << "&Restore Previous Settings…"
                                 << "";
        QTest::newRow("save") << 57603 << "&Save"
                              << "Ctrl+S";
        QTest::newRow("save as") << 57604 << "Save &As..."
                                 << "";
        QTest::newRow("exit") << 57665 << "E&xit\tAlt+F4"
                              << "";
        QTest::newRow("read") << 32771 << "&Read"
                              << "Ctrl+R";
        QTest::newRow("write") << 32772 << "&Write"
                               << "Ctrl+W";
        QTest::newRow("about") << 57664 << "&About"
                               << "";
    }
    void menuCommands() {
        QFETCH(int, command);
        QFETCH(QString, text);
        QFETCH(QString, shortcut);
        Window w;
        QAction* action = w->Action(command);
        QVERIFY(action);
        QCOMPARE(action->text(), text);
        QCOMPARE(action->shortcut(), QKeySequence(shortcut));
        QCOMPARE(action->data().toInt(), command);
    }

    void menuBarOrder() {
        Window w;
        auto* bar = w.dlg->findChild<QMenuBar*>();
        QVERIFY(bar);
        QStringList titles;
        for (QAction* a : bar->actions()) titles << a->text();
        QCOMPARE(titles, (QStringList{"&File", "&Connect", "&Help"}));
    }

    // Tab follows the layout: left column, response setting, right column, Read, Write.
    void tabOrderFollowsLayout() {
        Window w;
        w->EnableGyroCommands(true);
        w.dlg->show();
        QVector<int> order;
        QWidget* start = w->Control(1001);
        QWidget* next = start;
        do {
            const QString name = next->objectName();
            if (name.startsWith(u'c')) order << name.mid(1).toInt();
            next = next->nextInFocusChain();
        } while (next != start);
        // The focusable controls in the order Tab reaches them.
        QVector<int> focusable;
        for (int id : order) {
            QWidget* c = w->Control(id);
            if (c->focusPolicy() & Qt::TabFocus && c->isVisible()) focusable << id;
        }
        const QVector<int> expected = {1001, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010,
                                       1011, 1012, 1013, 1014, 1015, 1016, 1019, 1022, 1025,
                                       1028, 1031, 1034, 1063, 1036, 1038, 1040, 1042, 1044,
                                       1046, 1048, 1050, 1051, 1052, 1058, 1059, 1060};
        QCOMPARE(focusable, expected);
    }

    // Alt and a caption's letter move the focus to the control it names.
    void mnemonicsMoveFocus_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("focused");
        QTest::newRow("Rudder") << int(Qt::Key_U) << 1003;
        QTest::newRow("Gain list") << int(Qt::Key_G) << 1004;
        QTest::newRow("Flight Mode, 3D checked") << int(Qt::Key_L) << 1006;
        QTest::newRow("Control Response") << int(Qt::Key_N) << 1019;
        QTest::newRow("Pirouette") << int(Qt::Key_P) << 1063;
        QTest::newRow("Yaw Rate") << int(Qt::Key_T) << 1040;
        QTest::newRow("D gain") << int(Qt::Key_D) << 1046;
        QTest::newRow("Base Gain") << int(Qt::Key_B) << 1050;
    }
    void mnemonicsMoveFocus() {
        QFETCH(int, key);
        QFETCH(int, focused);
        Window w;
        ParameterRecord r = Factory();
        r.setFlightMode(0);
        w.Show(r);
        w.dlg->show();
        w.dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.dlg.get()));
        QTest::keyClick(w.dlg.get(), Qt::Key(key), Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), w->Control(focused));
        // Focus alone changes nothing.
        QCOMPARE(w.record().bytes, r.bytes);
        QVERIFY(w.messages.shown.empty());
    }

    void accessibleNamesAndBuddies() {
        for (const char* language : {"de", "ja"}) {
            strings::chooseLanguage(*qApp, QString::fromLatin1(language));
            Window w;
            for (int id : kAllIds) {
                const QString where = QString::fromLatin1(language) + u' ' + QString::number(id);
                QVERIFY2(!w->Control(id)->accessibleName().isEmpty(), qPrintable(where));
                QVERIFY2(!w->Control(id)->accessibleName().contains(u'&'), qPrintable(where));
            }
        }
        strings::chooseLanguage(*qApp, QStringLiteral("en"));
        Window w;
        for (int id : kAllIds) {
            QVERIFY2(!w->Control(id)->accessibleName().isEmpty(), qPrintable(QString::number(id)));
            QVERIFY2(!w->Control(id)->accessibleName().contains(u'&'),
                     qPrintable(QString::number(id)));
        }
        QCOMPARE(w->Control(1059)->accessibleName(), QStringLiteral("Read"));
        QCOMPARE(w->Control(1019)->accessibleName(), QStringLiteral("Control Response, row 1"));
        QCOMPARE(w->Control(1040)->accessibleName(), QStringLiteral("Holdex setting Yaw Rate"));
        QCOMPARE(w->Control(1046)->accessibleName(), QStringLiteral("D gain"));
        // Every caption label leads to its control.
        for (QLabel* label : w.dlg->findChildren<QLabel*>()) {
            QVERIFY2(label->buddy() != nullptr, qPrintable(label->text()));
        }
        // The value boxes and sliders share their names, so a reader tells them by role.
        QCOMPARE(w->Control(1045)->accessibleName(), w->Control(1046)->accessibleName());
    }

    void mnemonicsAreUnique() {
        for (const char* language : {"en", "de", "ja"}) {
            strings::chooseLanguage(*qApp, QString::fromLatin1(language));
            Window w;
            QMap<QChar, QString> seen;
            auto add = [&](const QString& text) {
                const QKeySequence key = QKeySequence::mnemonic(text);
                if (key.isEmpty()) return;
                const QChar letter = key.toString().back().toUpper();
                QVERIFY2(!seen.contains(letter),
                         qPrintable(QStringLiteral("%1: '%2' and '%3'")
                                        .arg(QLatin1String(language), seen.value(letter), text)));
                seen.insert(letter, text);
            };
            for (QAbstractButton* b : w.dlg->findChildren<QAbstractButton*>()) add(b->text());
            for (QLabel* l : w.dlg->findChildren<QLabel*>()) add(l->text());
            for (QGroupBox* g : w.dlg->findChildren<QGroupBox*>()) add(g->title());
            for (QAction* a : w.dlg->findChild<QMenuBar*>()->actions()) add(a->text());
            QVERIFY(seen.size() >= 19);
        }
    }

    void captionsInThreeLanguages_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QString>("responseGroup");
        QTest::addColumn<QString>("upperSide");
        QTest::addColumn<QString>("readMenu");
        QTest::addColumn<QString>("connectMenu");
        QTest::addColumn<QString>("right");
        QTest::newRow("en") << "en"
                            << "&Read"
                            << "Response Setting"
                            << "Upper side"
                            << "&Read"
                            << "&Connect"
                            << "Right";
        QTest::newRow("de") << "de"
                            << "&Lesen"
                            << "Reaktions Einstellung Heckrotor"
                            << "Normal"
                            << "Lesen(&R)"
                            << "Lesen(&C)"
                            << "Rechts";
        QTest::newRow("ja") << "ja"
                            << "読み込み(&R)"
                            << "レスポンス設定"
                            << "上面"
                            << "読み込み(&R)"
                            << "接続(&C)"
                            << "右";
    }
    void captionsInThreeLanguages() {
        QFETCH(QString, language);
        QFETCH(QString, read);
        QFETCH(QString, responseGroup);
        QFETCH(QString, upperSide);
        QFETCH(QString, readMenu);
        QFETCH(QString, connectMenu);
        QFETCH(QString, right);
        QCOMPARE(strings::chooseLanguage(*qApp, language), language);
        Window w;
        w.Show(Factory());
        QCOMPARE(w.button(1059)->text(), read);
        QCOMPARE(w.dlg->findChild<QGroupBox*>("gResponseSetting")->title(), responseGroup);
        QCOMPARE(w.button(1012)->text(), upperSide);
        QCOMPARE(w->Action(ids::ConnectRead)->text(), readMenu);
        QCOMPARE(w.dlg->findChild<QMenuBar*>()->actions().at(1)->text(), connectMenu);
        QCOMPARE(w.edit(1017)->text(), right);
        QCOMPARE(w.dlg->windowTitle(), QStringLiteral("Tarvex"));
    }

    // A language chosen while the window is open reaches every caption.
    void languageChangeRetranslates() {
        Window w;
        QCOMPARE(w.button(1060)->text(), QStringLiteral("&Write"));
        strings::chooseLanguage(*qApp, QStringLiteral("de"));
        QCoreApplication::processEvents();
        QCOMPARE(w.button(1060)->text(), QStringLiteral("&Schreiben"));
        QCOMPARE(w->Action(ids::FileOpen)->text(), QStringLiteral("Öffnen(&O)"));
        QCOMPARE(w->Action(ids::FileRestore)->text(),
                 QStringLiteral("Vorherige Einstellungen wiederherstellen(&R)"));
        QCOMPARE(w->Control(1060)->accessibleName(), QStringLiteral("Schreiben"));
    }

    // Nothing clipped or overlapping, in any language: every caption gets at least the
    // room it asks for, every direction text fits its box, and no two controls overlap.
    void layoutFitsEveryLanguage() {
        for (const char* language : {"en", "de", "ja"}) {
            strings::chooseLanguage(*qApp, QString::fromLatin1(language));
            Window w;
            w.dlg->show();
            w.dlg->resize(w.dlg->sizeHint().expandedTo(QSize(980, 700)));
            w.Show(Factory());
            w.button(1013)->setChecked(true);  // the longer texts of some languages
            QVERIFY(w->ControlsToValues());
            w->UpdateDirectionLabels();
            QCoreApplication::processEvents();
            const QString where = QString::fromLatin1(language);
            for (QWidget* c : w.dlg->findChildren<QWidget*>()) {
                if (!c->isVisible()) continue;
                if (qobject_cast<QAbstractButton*>(c) || qobject_cast<QLabel*>(c) ||
                    qobject_cast<QGroupBox*>(c)) {
                    QVERIFY2(c->width() >= c->minimumSizeHint().width(),
                             qPrintable(where + QLatin1Char(' ') + c->objectName()));
                }
            }
            for (int id : {1017, 1020, 1023, 1026, 1029, 1032, 1053, 1055}) {
                QLineEdit* e = w.edit(id);
                QVERIFY2(e->fontMetrics().horizontalAdvance(e->text()) < e->width() - 4,
                         qPrintable(where + QLatin1Char(' ') + e->text()));
            }
            for (int a : kAllIds) {
                QWidget* ca = w->Control(a);
                if (!ca->isVisible()) continue;
                const QRect ra(ca->mapTo(w.dlg.get(), QPoint(0, 0)), ca->size());
                QVERIFY2(w.dlg->rect().contains(ra), qPrintable(where + QString::number(a)));
                for (int b : kAllIds) {
                    QWidget* cb = w->Control(b);
                    if (b <= a || !cb->isVisible()) continue;
                    const QRect rb(cb->mapTo(w.dlg.get(), QPoint(0, 0)), cb->size());
                    QVERIFY2(!ra.intersects(rb),
                             qPrintable(QStringLiteral("%1: %2 and %3").arg(where).arg(a).arg(b)));
                }
            }
        }
    }

    void aboutBox() {
        Window w;
        w.dlg->show();
        QString title, texts;
        bool hadIcon = false;
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
            QVERIFY(about);
            title = about->windowTitle();
            for (QLabel* l : about->findChildren<QLabel*>()) {
                texts += l->text() + QLatin1Char('\n');
                hadIcon = hadIcon || !l->pixmap().isNull();
            }
            // OK closes it.
            auto* ok = about->findChild<QPushButton*>();
            QVERIFY(ok);
            QCOMPARE(ok->text(), QStringLiteral("OK"));
            ok->click();
        });
        w->Action(ids::AppAbout)->trigger();
        QCOMPARE(title, QStringLiteral("Version information Norvell Tarvex"));
        QVERIFY(texts.contains(QStringLiteral("Norvell Tarvex Version 1.0\n")));
        QVERIFY(hadIcon);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void iconLoads() {
        Window w;
        QVERIFY(!w->icon.isNull());
        QVERIFY(!w->icon.pixmap(32, 32).isNull());
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
