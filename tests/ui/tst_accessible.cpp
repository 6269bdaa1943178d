// The window driven through the accessibility interface, as a screen reader or a voice
// control tool drives it: every control's accessible action or value change does what the
// user's hand does (same frames on the wire, same messages, same state), a disabled or
// read-only control refuses, and the menu items and the status line speak plainly.
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <algorithm>

#include "tests/ui/CommandsSupport.h"
#include "ui/WindowAccessibility.h"

using namespace uitest;

namespace {

// Where a row starts: what the user has done before the action.
enum class Setup {
    Connected,  // the window just opened
    Read,       // after a Read
    Edited,     // after a Read and a slider movement
    Procedure,  // after a Read, Enter pressed, the Position slider at 1400
};

void Prepare(Window& w, Setup setup) {
    QVERIFY(w.connected);
    if (setup == Setup::Connected) return;
    QVERIFY(w.Read());
    if (setup == Setup::Edited) w.MoveSlider(ids::BaseGainSlider, 77);
    if (setup == Setup::Procedure) {
        w.Click(ids::Enter);
        w.MoveSlider(ids::PositionSlider, 1400);
    }
    w.messages.Clear();
}

// Everything a user or the gyro could tell apart after an action.
struct Outcome {
    QByteArray frames;  // every command frame the gyro received, in order
    int limitMode = 0;
    std::vector<int> messages;
    int beeps = 0;
    QByteArray working, device;
    QStringList controls;
    bool visible = false;
};

QStringList ControlStates(Window& w) {
    QStringList states;
    for (int id = ids::IdBox; id <= ids::PirouetteSlider; ++id) {
        QWidget* c = w->Control(id);
        QString s = QString::number(id) + (c->isEnabled() ? u'+' : u'-');
        if (auto* b = qobject_cast<QAbstractButton*>(c))
            s += b->isChecked() ? QStringLiteral("checked") : QStringLiteral("clear");
        else if (auto* slider = qobject_cast<QSlider*>(c))
            s += QString::number(slider->value());
        else if (auto* list = qobject_cast<QComboBox*>(c))
            s += QString::number(list->currentIndex());
        else if (auto* e = qobject_cast<QLineEdit*>(c))
            s += e->text() + (e->isReadOnly() ? u'r' : u'w');
        states << s;
    }
    return states;
}

Outcome Observe(Window& w) {
    Outcome o;
    VirtualGyro& g = Window::gyro();
    for (std::size_t i = 0; i < g.commandCount(); ++i) {
        std::array<std::uint8_t, 17> f{};
        g.commandFrame(i, f.data());
        o.frames.append(reinterpret_cast<const char*>(f.data()), 17);
    }
    o.limitMode = g.limitMode();
    o.messages = w.messages.Ids();
    o.beeps = w.messages.beeps;
    const auto bytes = [](const ParameterRecord& r) {
        return QByteArray(reinterpret_cast<const char*>(r.bytes.data()), qsizetype(r.bytes.size()));
    };
    o.working = bytes(w.dialog().gyro.workingRecord);
    o.device = bytes(w.dialog().gyro.deviceRecord);
    o.controls = ControlStates(w);
    o.visible = w->isVisible();
    return o;
}

void CompareOutcomes(const Outcome& byAccess, const Outcome& byHand) {
    QCOMPARE(byAccess.messages, byHand.messages);
    QCOMPARE(byAccess.beeps, byHand.beeps);
    QCOMPARE(byAccess.frames.toHex(' '), byHand.frames.toHex(' '));
    QCOMPARE(byAccess.limitMode, byHand.limitMode);
    QCOMPARE(byAccess.working.toHex(' '), byHand.working.toHex(' '));
    QCOMPARE(byAccess.device.toHex(' '), byHand.device.toHex(' '));
    QCOMPARE(byAccess.controls, byHand.controls);
    QCOMPARE(byAccess.visible, byHand.visible);
}

// The accessible interface of a menu command, reached as an assistive tool reaches it:
// from the menu bar through its menu.
QAccessibleInterface* MenuItem(Window& w, int command) {
    QAction* action = w->Action(command);
    for (QMenu* menu : w->findChildren<QMenu*>()) {
        if (!menu->actions().contains(action)) continue;
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(menu);
        for (int i = 0; list && i < list->childCount(); ++i)
            if (list->child(i)->object() == action) return list->child(i);
    }
    return nullptr;
}

// A modal box the action opens (About) is closed as soon as it shows, which for an
// accessible action is only once the event loop has turned.
void CloseModalSoon() {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
            poll->deleteLater();
        }
    });
    poll->start(5);
}

// The window's announcements, heard as an assistive tool would hear them.
struct Announcements {
    static inline std::vector<std::pair<QObject*, QAccessible::Event>> events;
    static void Record(QAccessibleEvent* event) {
        events.emplace_back(event->object(), event->type());
    }
    Announcements() {
        events.clear();
        window_access::ObserveAnnouncements(&Announcements::Record);
    }
    ~Announcements() { window_access::ObserveAnnouncements(nullptr); }
    Announcements(const Announcements&) = delete;
    Announcements& operator=(const Announcements&) = delete;
    static int Count(QObject* object, QAccessible::Event type) {
        return int(std::count(events.begin(), events.end(), std::make_pair(object, type)));
    }
};

// The kinds of control the rows reach.
enum class Kind { Button, Slider, List, ValueBox, Menu };

Kind KindOf(Window& w, int target, bool menu) {
    if (menu) return Kind::Menu;
    QWidget* c = w->Control(target);
    if (qobject_cast<QAbstractButton*>(c)) return Kind::Button;
    if (qobject_cast<QSlider*>(c)) return Kind::Slider;
    if (qobject_cast<QComboBox*>(c)) return Kind::List;
    return Kind::ValueBox;
}

// What the user's hand does with a control. A value box takes nothing from the hand.
void ByHand(Window& w, int target, bool menu, int value) {
    switch (KindOf(w, target, menu)) {
        case Kind::Button:
            w.Click(target);
            break;
        case Kind::Slider:
            w.MoveSlider(target, value);
            break;
        case Kind::List:
            w.Select(target, value);
            break;
        case Kind::Menu:
            w->Action(target)->trigger();
            break;
        case Kind::ValueBox:
            break;
    }
}

// The same through the accessibility interface: the control's first offered action, its
// value, the list's popup chosen from with the keys, or a new text for a box.
void ByAccess(Window& w, int target, bool menu, int value) {
    QAccessibleInterface* a =
        menu ? MenuItem(w, target) : QAccessible::queryAccessibleInterface(w->Control(target));
    QVERIFY(a);
    switch (KindOf(w, target, menu)) {
        case Kind::Button:
        case Kind::Menu: {
            QVERIFY(a->actionInterface());
            const QStringList names = a->actionInterface()->actionNames();
            if (!names.isEmpty()) a->actionInterface()->doAction(names.first());
            // The action runs once the event loop turns.
            QCoreApplication::processEvents();
            break;
        }
        case Kind::Slider:
            QVERIFY(a->valueInterface());
            a->valueInterface()->setCurrentValue(value);
            break;
        case Kind::List: {
            QComboBox* list = w.combo(target);
            a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            QCoreApplication::processEvents();
            if (!list->view()->isVisible()) break;  // refused
            QAbstractItemView* popup = list->view();
            QTest::keyClick(popup, Qt::Key_Home);
            for (int i = 0; i < value; ++i) QTest::keyClick(popup, Qt::Key_Down);
            QTest::keyClick(popup, Qt::Key_Return);
            QVERIFY(!list->view()->isVisible());
            break;
        }
        case Kind::ValueBox:
            a->setText(QAccessible::Value, QStringLiteral("99"));
            if (QAccessibleEditableTextInterface* edit = a->editableTextInterface())
                edit->replaceText(0, a->textInterface()->characterCount(), QStringLiteral("98"));
            break;
    }
}

// A screen reader's choice in a closed list: the action of the popup's item (its Toggle).
void ByItem(Window& w, int target, int index) {
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(w->Control(target));
    QVERIFY(list && list->childCount() == 1);
    QAccessibleInterface* item = list->child(0)->child(index);
    QVERIFY(item && item->actionInterface());
    QCOMPARE(item->text(QAccessible::Name), w.combo(target)->itemText(index));
    item->actionInterface()->doAction(item->actionInterface()->actionNames().value(0));
    QCoreApplication::processEvents();
}

// The ways a user reaches a control.
enum class Channel { Hand, Access, Key, Mnemonic, Item };

// The keyboard: Space on the focused button, or Alt and the caption's mnemonic, which
// clicks a moment later.
void ByKeyboard(Window& w, int target, Channel channel) {
    QAbstractButton* button = w.button(target);
    QVERIFY(button);
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.dlg.get()));
    if (channel == Channel::Key) {
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
        return;
    }
    const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
    QVERIFY(!mnemonic.isEmpty());
    QTest::keyClick(w.dlg.get(), mnemonic[0].key(), Qt::AltModifier);
    QTRY_VERIFY(!button->isDown());
}

Outcome Run(Setup setup, int target, bool menu, int value, const std::deque<MessageAnswer>& answers,
            Channel channel) {
    Window w;
    Prepare(w, setup);
    w.messages.answers = answers;
    if (menu && target == ids::AppAbout) CloseModalSoon();
    switch (channel) {
        case Channel::Hand:
            ByHand(w, target, menu, value);
            break;
        case Channel::Access:
            ByAccess(w, target, menu, value);
            break;
        case Channel::Key:
        case Channel::Mnemonic:
            ByKeyboard(w, target, channel);
            break;
        case Channel::Item:
            ByItem(w, target, value);
            break;
    }
    return Observe(w);
}

}  // namespace

class AccessibleTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() { PrepareEnvironment(); }

  private slots:
    void initTestCase() { strings::chooseLanguage(*qApp, QStringLiteral("en")); }
    void cleanup() { strings::chooseLanguage(*qApp, QStringLiteral("en")); }

    // Every control kind, every radio group and every menu command: the accessible way and
    // the hand's way end in the same place.
    void accessibleActionDoesWhatTheHandDoes_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("menu");
        QTest::addColumn<int>("value");  // slider position or list index
        QTest::addColumn<MessageAnswer>("answer");
        const auto yes = MessageAnswer::Yes, no = MessageAnswer::No;
        struct Row {
            const char* name;
            Setup setup;
            int target;
            bool menu;
            int value;
            MessageAnswer answer;
        };
        const Row rows[] = {
            {"check button Enter", Setup::Read, ids::Enter, false, 0, yes},
            {"check button Enter, released", Setup::Procedure, ids::Enter, false, 0, yes},
            {"check button Not using ID", Setup::Read, ids::NotUsingId, false, 0, yes},
            {"push button Read", Setup::Connected, ids::ReadButton, false, 0, yes},
            {"push button Write", Setup::Edited, ids::WriteButton, false, 0, yes},
            {"push button Set", Setup::Procedure, ids::Set, false, 0, yes},
            {"Flight Mode F3C again, Yes", Setup::Edited, ids::F3C, false, 0, yes},
            {"Flight Mode 3D, Yes", Setup::Edited, ids::ThreeD, false, 0, yes},
            {"Flight Mode 3D, No", Setup::Edited, ids::ThreeD, false, 0, no},
            {"Servo Mode Digital (760), Yes", Setup::Edited, ids::Digital760, false, 0, yes},
            {"Servo Mode Analog, No", Setup::Edited, ids::Analog, false, 0, no},
            {"Gyro Reverse Reverse", Setup::Edited, ids::GyroReverse, false, 0, yes},
            {"Gyro Reverse Normal again", Setup::Edited, ids::GyroNormal, false, 0, yes},
            {"Mounting Surface Bottom side", Setup::Read, ids::BottomSide, false, 0, yes},
            {"Mounting Surface Upper side again", Setup::Read, ids::UpperSide, false, 0, yes},
            {"response Mode Fast", Setup::Edited, ids::Fast, false, 0, yes},
            {"response Mode Slow", Setup::Edited, ids::Slow, false, 0, yes},
            {"response Mode Standard again", Setup::Edited, ids::Standard, false, 0, yes},
            {"combo box Rudder", Setup::Read, ids::RudderChannel, false, 5, yes},
            {"combo box Gain", Setup::Read, ids::GainChannel, false, 15, yes},
            {"slider D gain", Setup::Read, ids::DGainSlider, false, 200, yes},
            {"slider Pirouette", Setup::Read, ids::PirouetteSlider, false, 3, yes},
            {"slider Position, in the procedure", Setup::Procedure, ids::PositionSlider, false,
             1500, yes},
            {"value box D gain", Setup::Read, ids::DGain, false, 0, yes},
            {"value box ID, read-only", Setup::Read, ids::IdBox, false, 0, yes},
            {"menu File Initialize, Yes", Setup::Edited, ids::FileInitialize, true, 0, yes},
            {"menu File Open", Setup::Read, ids::FileOpen, true, 0, yes},
            {"menu File Save", Setup::Read, ids::FileSave, true, 0, yes},
            {"menu File Save As", Setup::Read, ids::FileSaveAs, true, 0, yes},
            {"menu File Exit", Setup::Read, ids::AppExit, true, 0, yes},
            {"menu Connect Read", Setup::Connected, ids::ConnectRead, true, 0, yes},
            {"menu Connect Write", Setup::Edited, ids::ConnectWrite, true, 0, yes},
            {"menu Help About", Setup::Read, ids::AppAbout, true, 0, yes},
        };
        for (const Row& r : rows)
            QTest::newRow(r.name) << r.setup << r.target << r.menu << r.value << r.answer;
    }
    void accessibleActionDoesWhatTheHandDoes() {
        QFETCH(Setup, setup);
        QFETCH(int, target);
        QFETCH(bool, menu);
        QFETCH(int, value);
        QFETCH(MessageAnswer, answer);
        const Outcome byHand = Run(setup, target, menu, value, {answer}, Channel::Hand);
        const Outcome byAccess = Run(setup, target, menu, value, {answer}, Channel::Access);
        CompareOutcomes(byAccess, byHand);
    }

    // An item of a closed list chosen through its own action is the hand's choice of it:
    // the same record, controls and frames, the handler once. (After the Read the lists
    // stand at 2 and 3, so each row changes the choice.)
    void listItemActionChoosesIt_data() {
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("index");
        QTest::newRow("Rudder 5") << int(ids::RudderChannel) << 4;
        QTest::newRow("Gain 16") << int(ids::GainChannel) << 15;
        QTest::newRow("Rudder 1") << int(ids::RudderChannel) << 0;
    }
    void listItemActionChoosesIt() {
        QFETCH(int, target);
        QFETCH(int, index);
        const Outcome byHand = Run(Setup::Read, target, false, index, {}, Channel::Hand);
        const Outcome byItem = Run(Setup::Read, target, false, index, {}, Channel::Item);
        CompareOutcomes(byItem, byHand);
    }

    // An accessible action returns before any of it has run, so the assistive tool waits
    // for nothing; once the event loop turns it has done what one click does, once.
    void actionRunsWhenTheLoopTurns_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("menu");
        QTest::newRow("push button Read") << Setup::Connected << int(ids::ReadButton) << false;
        QTest::newRow("push button Write") << Setup::Edited << int(ids::WriteButton) << false;
        QTest::newRow("check button Enter") << Setup::Read << int(ids::Enter) << false;
        QTest::newRow("push button Set") << Setup::Procedure << int(ids::Set) << false;
        QTest::newRow("radio 3D") << Setup::Edited << int(ids::ThreeD) << false;
        QTest::newRow("menu File Initialize") << Setup::Edited << int(ids::FileInitialize) << true;
        QTest::newRow("menu Connect Read") << Setup::Connected << int(ids::ConnectRead) << true;
        QTest::newRow("combo box Rudder") << Setup::Read << int(ids::RudderChannel) << false;
    }
    void actionRunsWhenTheLoopTurns() {
        QFETCH(Setup, setup);
        QFETCH(int, target);
        QFETCH(bool, menu);
        const Outcome byHand = Run(setup, target, menu, 0, {MessageAnswer::Yes}, Channel::Hand);
        Window w;
        Prepare(w, setup);
        w.messages.answers = {MessageAnswer::Yes};
        const Outcome before = Observe(w);
        QAccessibleInterface* a =
            menu ? MenuItem(w, target) : QAccessible::queryAccessibleInterface(w->Control(target));
        QVERIFY(a && a->actionInterface());
        const QStringList names = a->actionInterface()->actionNames();
        QVERIFY(!names.isEmpty());
        a->actionInterface()->doAction(names.first());
        CompareOutcomes(Observe(w), before);
        QComboBox* list = menu ? nullptr : w.combo(target);
        if (list) QVERIFY(!list->view()->isVisible());
        QCoreApplication::processEvents();
        if (list) {
            // A list's action opens its popup, as a click does; nothing else changes.
            QVERIFY(list->view()->isVisible());
            list->hidePopup();
            CompareOutcomes(Observe(w), before);
            return;
        }
        CompareOutcomes(Observe(w), byHand);
    }

    // Each Press is one click, in order of arrival: two Presses before the loop turns do
    // what two clicks do. A Press whose turn comes while a modal box blocks the window (the
    // first Press's message, a file chooser) is refused, as the mouse is then.
    void secondPress_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("menu");
        QTest::addColumn<bool>("blocked");
        QTest::newRow("Enter twice: start, release")
            << Setup::Read << int(ids::Enter) << false << false;
        QTest::newRow("Set twice: first point, same side")
            << Setup::Procedure << int(ids::Set) << false << false;
        QTest::newRow("Read twice") << Setup::Connected << int(ids::ReadButton) << false << false;
        QTest::newRow("Read while a box is open")
            << Setup::Connected << int(ids::ReadButton) << false << true;
        QTest::newRow("menu Write while a box is open")
            << Setup::Edited << int(ids::ConnectWrite) << true << true;
        QTest::newRow("list Rudder while a box is open")
            << Setup::Read << int(ids::RudderChannel) << false << true;
    }
    void secondPress() {
        QFETCH(Setup, setup);
        QFETCH(int, target);
        QFETCH(bool, menu);
        QFETCH(bool, blocked);
        const auto press = [&](Window& w) {
            QAccessibleInterface* a =
                menu ? MenuItem(w, target)
                     : QAccessible::queryAccessibleInterface(w->Control(target));
            QVERIFY(a && a->actionInterface());
            a->actionInterface()->doAction(a->actionInterface()->actionNames().value(0));
        };
        if (blocked) {
            Window w;
            Prepare(w, setup);
            const Outcome before = Observe(w);
            QDialog box(w.dlg.get());
            box.setWindowModality(Qt::ApplicationModal);
            box.show();
            QCOMPARE(QApplication::activeModalWidget(), &box);
            press(w);
            QCoreApplication::processEvents();
            box.close();
            QCoreApplication::processEvents();
            CompareOutcomes(Observe(w), before);
            if (QComboBox* list = menu ? nullptr : w.combo(target))
                QVERIFY(!list->view()->isVisible());
            return;
        }
        Outcome byHand;
        {
            Window w;
            Prepare(w, setup);
            ByHand(w, target, menu, 0);
            ByHand(w, target, menu, 0);
            byHand = Observe(w);
        }
        Window w;
        Prepare(w, setup);
        press(w);
        press(w);
        QCoreApplication::processEvents();
        CompareOutcomes(Observe(w), byHand);
    }

    // The keys and the mnemonics reach the same handlers, once, as the click.
    void keyboardDoesWhatTheHandDoes_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("target");
        QTest::addColumn<Channel>("channel");
        QTest::addColumn<MessageAnswer>("answer");
        const auto key = Channel::Key, mnemonic = Channel::Mnemonic;
        const auto yes = MessageAnswer::Yes, no = MessageAnswer::No;
        QTest::newRow("Space on Enter") << Setup::Read << int(ids::Enter) << key << yes;
        QTest::newRow("Alt+E, Enter") << Setup::Read << int(ids::Enter) << mnemonic << yes;
        QTest::newRow("Alt+S, Set") << Setup::Procedure << int(ids::Set) << mnemonic << yes;
        QTest::newRow("Alt+R, Read") << Setup::Connected << int(ids::ReadButton) << mnemonic << yes;
        QTest::newRow("Space on Write") << Setup::Edited << int(ids::WriteButton) << key << yes;
        QTest::newRow("Space on 3D, No") << Setup::Edited << int(ids::ThreeD) << key << no;
        QTest::newRow("Space on F3C again") << Setup::Edited << int(ids::F3C) << key << yes;
        QTest::newRow("Space on Reverse") << Setup::Edited << int(ids::GyroReverse) << key << yes;
        QTest::newRow("Space on Bottom side") << Setup::Read << int(ids::BottomSide) << key << yes;
        QTest::newRow("Space on Slow") << Setup::Edited << int(ids::Slow) << key << yes;
    }
    void keyboardDoesWhatTheHandDoes() {
        QFETCH(Setup, setup);
        QFETCH(int, target);
        QFETCH(Channel, channel);
        QFETCH(MessageAnswer, answer);
        const Outcome byHand = Run(setup, target, false, 0, {answer}, Channel::Hand);
        const Outcome byKeyboard = Run(setup, target, false, 0, {answer}, channel);
        CompareOutcomes(byKeyboard, byHand);
    }

    // A disabled control, or a box the user cannot type into, takes no value and runs
    // nothing through the accessibility interface either.
    void disabledControlRefuses_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("menu");
        QTest::addColumn<int>("value");
        QTest::newRow("slider Position, no procedure")
            << Setup::Read << int(ids::PositionSlider) << false << 1300;
        QTest::newRow("check button Enter, before Read")
            << Setup::Connected << int(ids::Enter) << false << 0;
        QTest::newRow("push button Set, no procedure")
            << Setup::Read << int(ids::Set) << false << 0;
        QTest::newRow("push button Write, before Read")
            << Setup::Connected << int(ids::WriteButton) << false << 0;
        QTest::newRow("menu Connect Write, before Read")
            << Setup::Connected << int(ids::ConnectWrite) << true << 0;
        QTest::newRow("combo box Rudder, disabled")
            << Setup::Read << int(ids::RudderChannel) << false << 3;
        QTest::newRow("value box Position") << Setup::Read << int(ids::Position) << false << 0;
        QTest::newRow("label box") << Setup::Read << int(ids::HighLimitLabel) << false << 0;
        QTest::newRow("status line") << Setup::Read << int(ids::Status) << false << 0;
    }
    void disabledControlRefuses() {
        QFETCH(Setup, setup);
        QFETCH(int, target);
        QFETCH(bool, menu);
        QFETCH(int, value);
        Window w;
        Prepare(w, setup);
        if (!menu) {
            QWidget* c = w->Control(target);
            // The window never disables its lists; the rule holds for them all the same.
            if (qobject_cast<QComboBox*>(c)) c->setEnabled(false);
            auto* box = qobject_cast<QLineEdit*>(c);
            QVERIFY(!c->isEnabled() || (box && box->isReadOnly()));
        }
        const Outcome before = Observe(w);
        ByAccess(w, target, menu, value);
        QCoreApplication::processEvents();
        CompareOutcomes(Observe(w), before);
    }

    // The ID box, once "Not using ID" opened it, takes a text as the keyboard would give it.
    void writableIdBoxTakesText() {
        Window w;
        Prepare(w, Setup::Read);
        w.Click(ids::NotUsingId);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w->Control(ids::IdBox));
        QVERIFY(a->editableTextInterface());
        a->editableTextInterface()->replaceText(0, a->textInterface()->characterCount(),
                                                QStringLiteral("4321"));
        QCOMPARE(w.text(ids::IdBox), QStringLiteral("4321"));
        w.Click(ids::Slow);
        QCOMPARE(int(w.dialog().gyro.workingRecord.gyroId()), 4321);
    }

    // The status line is named by its prompt and tells assistive tools of each new one,
    // once, wherever the focus is.
    void statusLineAnnouncesItsPrompt() {
        Window w;
        Prepare(w, Setup::Read);
        QWidget* status = w->Control(ids::Status);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(status);
        QCOMPARE(a->role(), QAccessible::StatusBar);
        QCOMPARE(a->text(QAccessible::Name), status->accessibleName());  // no prompt yet
        Announcements heard;
        w.Click(ids::Enter);
        QCOMPARE(w.text(ids::Status), strings::text(121));
        QCOMPARE(a->text(QAccessible::Name), strings::text(121));
        QCOMPARE(Announcements::Count(status, QAccessible::NameChanged), 1);
        // A transfer that leaves the prompt as it is says nothing.
        w.dialog().ValuesToControls();
        QCOMPARE(Announcements::Count(status, QAccessible::NameChanged), 1);
        w.MoveSlider(ids::PositionSlider, 1400);
        w.Click(ids::Set);
        QCOMPARE(a->text(QAccessible::Name), strings::text(122));
        QCOMPARE(Announcements::Count(status, QAccessible::NameChanged), 2);
    }

    // Each value box and slider tells its range, and its unit where it has one, in the
    // window's language.
    void rangesInTheWindowsLanguage_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("dGain");     // 1045 and 1046
        QTest::addColumn<QString>("yawRate");   // 1039 and 1040
        QTest::addColumn<QString>("position");  // 1057
        QTest::newRow("en") << "en"
                            << "0 to 250"
                            << "30 to 110 percent"
                            << "0 to 150 percent";
        QTest::newRow("de") << "de"
                            << "0 bis 250"
                            << "30 bis 110 Prozent"
                            << "0 bis 150 Prozent";
        QTest::newRow("ja") << "ja"
                            << "0 から 250"
                            << "30 から 110 パーセント"
                            << "0 から 150 パーセント";
    }
    void rangesInTheWindowsLanguage() {
        QFETCH(QString, language);
        QFETCH(QString, dGain);
        QFETCH(QString, yawRate);
        QFETCH(QString, position);
        strings::chooseLanguage(*qApp, language);
        Window w;
        const auto description = [&w](int id) {
            return QAccessible::queryAccessibleInterface(w->Control(id))
                ->text(QAccessible::Description);
        };
        QCOMPARE(description(ids::DGain), dGain);
        QCOMPARE(description(ids::DGainSlider), dGain);
        QCOMPARE(description(ids::YawRate), yawRate);
        QCOMPARE(description(ids::YawRateSlider), yawRate);
        QCOMPARE(description(ids::Position), position);
        // Every slider, and the value box beside each, says where it ends.
        for (QSlider* slider : w->findChildren<QSlider*>()) {
            const QString text = description(slider->objectName().mid(1).toInt());
            QVERIFY2(text.contains(QString::number(slider->minimum())) &&
                         text.contains(QString::number(slider->maximum())),
                     qPrintable(slider->objectName() + u' ' + text));
        }
        for (int id : {ids::ControlResponse1, ids::ControlResponse2, ids::HoldexResponse1,
                       ids::HoldexResponse2, ids::HoldexResponse3, ids::HoldexResponse4,
                       ids::ExpNormal, ids::ExpHoldex, ids::HoldexGain, ids::Range, ids::DDamping,
                       ids::BaseGain, ids::Pirouette, ids::HighLimit, ids::LowLimit}) {
            QVERIFY2(!description(id).isEmpty(), qPrintable(QString::number(id)));
        }
    }

    // A list tells its chosen item as its name and its text, and is labelled by its
    // caption, in every language; a new choice changes both.
    void listsTellTheirChoice_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << "en";
        QTest::newRow("de") << "de";
        QTest::newRow("ja") << "ja";
    }
    void listsTellTheirChoice() {
        QFETCH(QString, language);
        strings::chooseLanguage(*qApp, language);
        Window w;
        Prepare(w, Setup::Read);
        for (int id : {ids::RudderChannel, ids::GainChannel}) {
            w.Select(id, id == ids::RudderChannel ? 1 : 12);
            const QString chosen =
                id == ids::RudderChannel ? QStringLiteral("2") : QStringLiteral("13");
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w->Control(id));
            QCOMPARE(a->text(QAccessible::Name), chosen);
            QCOMPARE(a->text(QAccessible::Value), chosen);
            QVERIFY(a->textInterface());
            QCOMPARE(a->textInterface()->text(0, a->textInterface()->characterCount()), chosen);
            // Labelled by the caption beside it (and by its group).
            QStringList labels;
            for (const auto& [label, relation] : a->relations(QAccessible::Label))
                if (qobject_cast<QLabel*>(label->object()))
                    labels << label->text(QAccessible::Name);
            QCOMPARE(labels, QStringList{w->Control(id)->accessibleName()});
            QVERIFY(!labels.first().isEmpty());
        }
    }

    // Menu items and titles are named without mnemonic or shortcut text, in every language.
    void menuItemNames_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << "en";
        QTest::newRow("de") << "de";
        QTest::newRow("ja") << "ja";
    }
    void menuItemNames() {
        QFETCH(QString, language);
        strings::chooseLanguage(*qApp, language);
        Window w;
        const int commands[] = {ids::FileInitialize, ids::FileOpen, ids::FileSave,
                                ids::FileSaveAs,     ids::AppExit,  ids::ConnectRead,
                                ids::ConnectWrite,   ids::AppAbout};
        for (int command : commands) {
            QAccessibleInterface* item = MenuItem(w, command);
            QVERIFY(item);
            QString expected = w->Action(command)->text();
            if (const qsizetype tab = expected.indexOf(u'\t'); tab >= 0) expected.truncate(tab);
            expected.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
            QCOMPARE(item->text(QAccessible::Name), expected.trimmed());
            QVERIFY(!expected.isEmpty());
        }
        // The menu bar's titles likewise.
        QAccessibleInterface* bar =
            QAccessible::queryAccessibleInterface(w->findChild<QMenuBar*>());
        QCOMPARE(bar->childCount(), 3);
        for (int i = 0; i < bar->childCount(); ++i) {
            const QString name = bar->child(i)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty() && !name.contains(u'(') && !name.contains(u'&'),
                     qPrintable(name));
        }
        if (language == QStringLiteral("en"))
            QCOMPARE(MenuItem(w, ids::AppExit)->text(QAccessible::Name), QStringLiteral("Exit"));
    }
};

QTEST_MAIN(AccessibleTest)
#include "tst_accessible.moc"
