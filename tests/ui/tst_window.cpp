// The Qt window's controls: every id's widget and its kind, slider movements by mouse and
// keys, keyboard access, the menu, the captions in three languages, the layout, the About
// box and the icon. (The transfers themselves are the behaviour's: tests/dialog.)
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
#include "resources/window/WindowResources.h"
#include "tests/ui/UiFakes.h"
#include "ui/CAboutDlg.h"
#include "ui/QtTarvexWindow.h"
#include "ui/StringTableQt.h"

namespace {

// A window that never connects: it is initialised as the dialog's start-up does, without
// the connection.
struct Window {
    FakeMessageService messages;
    FakeFileChooser files;
    TBX3 adapter;
    std::unique_ptr<QtTarvexWindow> dlg;

    Window() {
        dlg =
            std::make_unique<QtTarvexWindow>(adapter, QtTarvexWindow::Services{&messages, &files});
        std::vector<std::string> channels;
        for (int i = 1; i <= 16; ++i) channels.push_back(std::to_string(i));
        for (int list : {ids::RudderChannel, ids::GainChannel}) dlg->SetListItems(list, channels);
        dialog().ValuesToControls();
        dialog().InitSliders();
        dialog().EnableGyroCommands(false);
    }
    QtTarvexWindow* operator->() { return dlg.get(); }
    CTarvexDlg& dialog() { return dlg->Dialog(); }
    ParameterRecord& record() { return dialog().gyro.workingRecord; }
    QSlider* slider(int id) { return qobject_cast<QSlider*>(dlg->Control(id)); }
    QLineEdit* edit(int id) { return qobject_cast<QLineEdit*>(dlg->Control(id)); }
    QAbstractButton* button(int id) { return qobject_cast<QAbstractButton*>(dlg->Control(id)); }
    int number(int id) { return edit(id)->text().toInt(); }
    // The image as after a Read: refresh, place, labels.
    void Show(const ParameterRecord& r) {
        dialog().gyro.workingRecord = r;
        dialog().RefreshFromImage();
        dialog().PlaceSliders();
        dialog().UpdateDirectionLabels();
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

    // No push button is the window's default, so Return away from the buttons is the OK
    // command; on a focused button Return clicks that button.
    void noDefaultButton() {
        Window w;
        w.dialog().EnableGyroCommands(true);
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

    // Tab follows the layout: left column, response setting, right column, Read, Write; each
    // group of radios is one stop, at its checked radio.
    void tabOrderFollowsLayout() {
        Window w;
        w.Show(Factory());
        w.dialog().EnableGyroCommands(true);
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
        const QVector<int> expected = {1001, 1003, 1004, 1005, 1007, 1010, 1012, 1015, 1019, 1022,
                                       1025, 1028, 1031, 1034, 1063, 1036, 1038, 1040, 1042, 1044,
                                       1046, 1048, 1050, 1051, 1052, 1058, 1059, 1060};
        QCOMPARE(focusable, expected);
    }

    // Tab (or Shift+Tab) enters a group of radios at its checked one, wherever it stands in
    // the group; the arrows then move within the group.
    void tabEntersRadioGroupAtItsChecked_data() {
        QTest::addColumn<int>("modeFlags");
        QTest::addColumn<int>("from");
        QTest::addColumn<bool>("backwards");
        QTest::addColumn<int>("focused");
        QTest::addColumn<int>("arrow");  // towards the radio before, in the group's direction
        // Flags: F3C/3D bit 7, Reverse bit 6, servo bits 5-4, response bits 1-0.
        QTest::newRow("3D, from Gain") << 0x21 << 1004 << false << 1006 << int(Qt::Key_Up);
        QTest::newRow("Analog, from the flight mode")
            << 0x81 << 1005 << false << 1009 << int(Qt::Key_Up);
        QTest::newRow("Reverse, from the servo mode")
            << 0xE1 << 1007 << false << 1011 << int(Qt::Key_Up);
        QTest::newRow("Standard, back from Control Response")
            << 0xA1 << 1019 << true << 1015 << int(Qt::Key_Left);
    }
    void tabEntersRadioGroupAtItsChecked() {
        QFETCH(int, modeFlags);
        QFETCH(int, from);
        QFETCH(bool, backwards);
        QFETCH(int, focused);
        QFETCH(int, arrow);
        Window w;
        ParameterRecord r = Factory();
        r.setModeFlags(static_cast<std::uint8_t>(modeFlags));
        w.Show(r);
        w.dlg->show();
        w.dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.dlg.get()));
        w->Control(from)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                        backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(QApplication::focusWidget(), w->Control(focused));
        QVERIFY(w.button(focused)->isChecked());
        // The arrow still reaches the radio before, which Tab passes by.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(arrow));
        QCOMPARE(QApplication::focusWidget(), w->Control(focused - 1));
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
            QVERIFY(w.dialog().ControlsToValues());
            w.dialog().UpdateDirectionLabels();
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
