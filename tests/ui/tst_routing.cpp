// What the Qt window adds to the behaviour (dialog/, tested in tests/dialog): the control
// interface reaches the right widget for each id, each user action reaches its handler
// exactly once (and the program's own placements none), the keys and the close box close
// through one check, and the limit procedure runs from the keyboard alone.
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

#include "tests/ui/CommandsSupport.h"

using namespace uitest;

class RoutingTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() { PrepareEnvironment(); }

  private slots:
    void initTestCase() { strings::chooseLanguage(*qApp, QStringLiteral("en")); }
    void cleanup() { strings::chooseLanguage(*qApp, QStringLiteral("en")); }

    // The control interface, id by id, on the widgets the ids name.
    void controlsReachTheirWidgets() {
        Window w;
        QVERIFY(w.connected);
        QtTarvexWindow& q = *w;
        DialogControls& controls = q;

        controls.SetText(ids::Status, "Schritt 1 – ä");
        QCOMPARE(w.text(ids::Status), QStringLiteral("Schritt 1 – ä"));
        QCOMPARE(controls.GetText(ids::Status), std::string("Schritt 1 – ä"));
        controls.SetNumber(ids::DGain, -12);
        QCOMPARE(w.text(ids::DGain), QStringLiteral("-12"));
        w.edit(ids::DGain)->setText(QStringLiteral(" 42 "));
        QCOMPARE(controls.GetNumber(ids::DGain), 42);
        w.edit(ids::DGain)->setText(QStringLiteral("4x"));
        QCOMPARE(controls.GetNumber(ids::DGain), 0);

        controls.SetCheck(ids::NotUsingId, true);
        QVERIFY(w.button(ids::NotUsingId)->isChecked());
        QVERIFY(controls.GetCheck(ids::NotUsingId));
        controls.SetRadio(ids::Digital1520, ids::Analog, ids::Analog);
        QVERIFY(w.button(ids::Analog)->isChecked());
        QVERIFY(!w.button(ids::Digital1520)->isChecked());
        controls.SetRadio(ids::Digital1520, ids::Analog, 0);  // none
        for (int id : {ids::Digital1520, ids::Digital760, ids::Analog})
            QVERIFY(!w.button(id)->isChecked());

        controls.SetEnabled(ids::ReadButton, false);
        QVERIFY(!w.enabled(ids::ReadButton));
        controls.SetEnabled(ids::ConnectRead, false);  // a menu command
        QVERIFY(!q.Action(ids::ConnectRead)->isEnabled());
        controls.SetReadOnly(ids::IdBox, false);
        QVERIFY(!w.edit(ids::IdBox)->isReadOnly());

        controls.SetTrackbarRange(ids::RangeSlider, 100, 500, 50);
        QCOMPARE(w.slider(ids::RangeSlider)->minimum(), 100);
        QCOMPARE(w.slider(ids::RangeSlider)->maximum(), 500);
        QCOMPARE(w.slider(ids::RangeSlider)->tickInterval(), 50);
        QCOMPARE(w.slider(ids::RangeSlider)->pageStep(), 50);
        QCOMPARE(w.slider(ids::RangeSlider)->singleStep(), 1);
        controls.SetTrackbarPos(ids::RangeSlider, 9999);
        QCOMPARE(controls.GetTrackbarPos(ids::RangeSlider), 500);

        controls.SetListItems(ids::GainChannel, {"a", "b"});
        QCOMPARE(w.combo(ids::GainChannel)->count(), 2);
        QCOMPARE(controls.GetListSelection(ids::GainChannel), -1);
        controls.SetListSelection(ids::GainChannel, 1);
        QCOMPARE(w.combo(ids::GainChannel)->currentText(), QStringLiteral("b"));
        controls.SetListSelection(ids::GainChannel, 7);
        QCOMPARE(controls.GetListSelection(ids::GainChannel), -1);

        q.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&q));
        w.edit(ids::IdBox)->setText(QStringLiteral("123"));
        controls.SetFocus(ids::IdBox);
        QCOMPARE(q.focusWidget(), q.Control(ids::IdBox));
        QCOMPARE(w.edit(ids::IdBox)->selectedText(), QStringLiteral("123"));

        controls.SetTitle("Tarvex - a[*]b.tcf", TitleMarker::Modified);
        QCOMPARE(q.windowTitle(), QStringLiteral("Tarvex - a[*][*]b.tcf[*]"));
        QVERIFY(q.isWindowModified());
        controls.SetTitle("Tarvex", TitleMarker::None);
        QCOMPARE(q.windowTitle(), QStringLiteral("Tarvex"));
        QVERIFY(!q.isWindowModified());

        controls.SetRecentMenu({{"&1 a.tcf", "/x/a.tcf"}});
        QAction* first = q.Action(ids::FileRecent1);
        QCOMPARE(first->text(), QStringLiteral("&1 a.tcf"));
        QCOMPARE(first->toolTip(), QStringLiteral("/x/a.tcf"));
        QVERIFY(first->isEnabled());
        QVERIFY(!q.Action(ids::FileRecent1 + 1)->isVisible());
        controls.SetRecentMenu({});
        QVERIFY(first->isVisible() && !first->isEnabled());
        QCOMPARE(first->text(), QStringLiteral("Recent File"));

        // The string table in the window's language, and the framework's two texts.
        QCOMPARE(controls.LoadString(117), strings::text(117).toStdString());
        QCOMPARE(controls.LoadString(ids::ParseUint),
                 std::string("Please enter a positive integer."));
        QCOMPARE(controls.LoadString(ids::ParseIntRange),
                 std::string("Please enter an integer between %1 and %2."));

        // A posted call runs later, on the window's thread.
        bool ran = false;
        controls.PostToDialogThread([&] { ran = true; });
        QVERIFY(!ran);
        QTRY_VERIFY(ran);

        // The services go to the window's message service and file chooser.
        QCOMPARE(controls.ShowMessage(7, "x", MessageIcon::Question, MessageButtons::YesNo),
                 MessageAnswer::No);
        QCOMPARE(w.messages.Last()->text, QStringLiteral("x"));
        controls.Beep();
        QCOMPARE(w.messages.beeps, 1);
        w.files.openChoices.push_back(QStringLiteral("/x/ü.tcf"));
        QCOMPARE(controls.ChooseOpenFile("/y"), std::optional<std::string>("/x/ü.tcf"));
        QCOMPARE(w.files.openFolder, QStringLiteral("/y"));
        QVERIFY(!controls.ChooseSaveAsFile());
        controls.SaveRecentFiles({"/x/ä.tcf", "/y.tcf"});
        QCOMPARE(controls.LoadRecentFiles(), (std::vector<std::string>{"/x/ä.tcf", "/y.tcf"}));
        controls.SaveRecentFiles({});

        controls.EndDialog(DialogResult::Cancel);
        QVERIFY(!q.isVisible());
        QCOMPARE(q.result(), int(QDialog::Rejected));
    }

    // A user action reaches its handler once: the handler's one message, or its one chooser.
    void userActionsReachTheirHandlersOnce_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<std::vector<int>>("messages");
        QTest::addColumn<int>("openCalls");
        QTest::addColumn<int>("saveAsCalls");
        const auto row = [](const char* action, std::vector<int> messages, int open = 0,
                            int saveAs = 0) {
            QTest::newRow(action) << QString::fromLatin1(action) << messages << open << saveAs;
        };
        row("click F3C", {107});
        row("click 3D", {107});
        row("click Digital (1520)", {107});
        row("click Digital (760)", {107});
        row("click Analog", {107});
        row("click Read", {117});
        row("click Write", {105});
        row("click Enter", {});
        row("Initialize", {106});
        row("Open", {}, 1);
        row("Restore", {}, 1);
        row("Save", {}, 0, 1);
        row("Save As", {}, 0, 1);
        row("Read command", {117});
        row("Write command", {105});
        row("Exit", {133});
    }
    void userActionsReachTheirHandlersOnce() {
        QFETCH(QString, action);
        QFETCH(std::vector<int>, messages);
        QFETCH(int, openCalls);
        QFETCH(int, saveAsCalls);
        Window w;
        QVERIFY(w.connected);
        QVERIFY(w.Read());
        w.MoveSlider(ids::DGainSlider, w.slider(ids::DGainSlider)->value() == 100 ? 90 : 100);
        const std::map<QString, int> clicks = {
            {"click F3C", ids::F3C},
            {"click 3D", ids::ThreeD},
            {"click Digital (1520)", ids::Digital1520},
            {"click Digital (760)", ids::Digital760},
            {"click Analog", ids::Analog},
            {"click Read", ids::ReadButton},
            {"click Write", ids::WriteButton},
            {"click Enter", ids::Enter},
        };
        const std::map<QString, int> commands = {
            {"Initialize", ids::FileInitialize},  {"Open", ids::FileOpen},
            {"Restore", ids::FileRestore},        {"Save", ids::FileSave},
            {"Save As", ids::FileSaveAs},         {"Read command", ids::ConnectRead},
            {"Write command", ids::ConnectWrite}, {"Exit", ids::AppExit},
        };
        const std::size_t frames = w.gyro().commandCount();
        if (clicks.count(action))
            w.Click(clicks.at(action));
        else
            w->Action(commands.at(action))->trigger();
        QCOMPARE(w.messages.Ids(), messages);
        QCOMPARE(w.files.openCalls, openCalls);
        QCOMPARE(w.files.saveAsCalls, saveAsCalls);
        if (action == QLatin1String("click Enter")) {
            // One limit-mode frame, one stream.
            QCOMPARE(w.gyro().commandCount(), frames + 1);
            QCOMPARE(w.dialog().enterPressed, 1);
            w.Click(ids::Enter);
        }
    }

    // The program's own placements reach no handler: a refresh moves sliders, radios,
    // lists and the Enter button without a message, a store or a scroll.
    void placementsReachNoHandler() {
        Window w;
        QVERIFY(w.connected);
        QVERIFY(w.Read());
        CTarvexDlg& d = w.dialog();
        ParameterRecord r = d.gyro.workingRecord;
        r.setFlightMode(0);
        r.setServoMode(0);
        r.setRudderChannel(9);
        r.setDGain(255);  // beyond the slider: a scroll would store 250
        d.gyro.workingRecord = r;
        d.RefreshFromImage();
        d.PlaceSliders();
        d.enterPressed = 1;
        d.ValuesToControls();
        d.enterPressed = 0;
        d.ValuesToControls();
        QCOMPARE(w.messages.Ids(), Ids({}));
        QCOMPARE(d.gyro.workingRecord, r);
        QVERIFY(!d.streamTimer.Running());
    }

    // The Exit command, Return away from the push buttons, Escape and the close box: one
    // check whatever the path.
    void closingPaths_data() {
        QTest::addColumn<int>("path");
        QTest::addColumn<int>("result");
        QTest::newRow("Escape") << 0 << int(QDialog::Rejected);
        QTest::newRow("close box") << 1 << int(QDialog::Rejected);
        QTest::newRow("File > Exit") << 2 << int(QDialog::Accepted);
        QTest::newRow("Return on a slider") << 3 << int(QDialog::Accepted);
        QTest::newRow("Return on the ID box") << 4 << int(QDialog::Accepted);
    }
    void closingPaths() {
        QFETCH(int, path);
        QFETCH(int, result);
        Window w;
        QVERIFY(w.connected);
        w.MoveSlider(ids::DDampingSlider, 60);  // unwritten, never read: message 134
        QSignalSpy finished(w.dlg.get(), &QDialog::finished);

        switch (path) {
            case 0:
                QTest::keyClick(w.dlg.get(), Qt::Key_Escape);
                break;
            case 1:
                w->close();
                break;
            case 2:
                w->Action(ids::AppExit)->trigger();
                break;
            case 3:
                w.slider(ids::DGainSlider)->setFocus();
                QTest::keyClick(w.slider(ids::DGainSlider), Qt::Key_Return);
                break;
            case 4:
                w.edit(ids::IdBox)->setFocus();
                QTest::keyClick(w.edit(ids::IdBox), Qt::Key_Return);
                break;
        }

        QCOMPARE(w.messages.Ids(), Ids({134}));  // one check, whatever the path
        QVERIFY(!w->isVisible());
        QCOMPARE(w->result(), result);
        QCOMPARE(finished.count(), 1);
    }

    void returnOnPushButtonDoesNotClose() {
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

    // The whole limit procedure without a mouse: the Enter and Set mnemonics press their
    // buttons and the arrow keys move the Position slider that Tab reaches.
    void keyboardOnlyLimitProcedure() {
        Window w;
        QVERIFY(w.connected);
        QVERIFY(w.Read());
        CTarvexDlg& d = w.dialog();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.dlg.get()));

        QTest::keyClick(w.dlg.get(), Qt::Key_E, Qt::AltModifier);
        QTRY_COMPARE(d.enterPressed, 1);
        QCOMPARE(w.text(ids::Status), strings::text(121));
        w->Control(ids::Enter)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // Set
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // Position
        QCOMPARE(QApplication::focusWidget(), w->Control(ids::PositionSlider));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
        QCOMPARE(w.slider(ids::PositionSlider)->value(), 1696);
        QCOMPARE(int(BusFrame.channel(d.rudderChannelIndex)), 1696);

        QTest::keyClick(w.dlg.get(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(d.limitStep, 1);
        QCOMPARE(QApplication::focusWidget(), w->Control(ids::PositionSlider));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
        QTest::keyClick(w.dlg.get(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(d.enterPressed, 0);

        QCOMPARE(w.messages.Ids(), Ids({}));
        QCOMPARE(int(d.gyro.workingRecord.limitHigh()), 5160);
        QCOMPARE(int(d.gyro.workingRecord.limitLow()), 2136);
        QCOMPARE(w.text(ids::Status), strings::text(123));
    }

    // A mnemonic's letter without Alt is only a letter: every mnemonic letter of the
    // window and its menus, in each language, pressed on a slider, a radio and a push
    // button reaches no handler and moves no focus; Alt and Read's letter then reads once.
    void bareMnemonicLettersReachNoHandler_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("focused");
        for (const char* language : {"en", "de", "ja"}) {
            QTest::addRow("%s, slider", language)
                << QString::fromLatin1(language) << int(ids::DGainSlider);
            QTest::addRow("%s, radio", language) << QString::fromLatin1(language) << int(ids::F3C);
            QTest::addRow("%s, button", language)
                << QString::fromLatin1(language) << int(ids::ReadButton);
        }
    }
    void bareMnemonicLettersReachNoHandler() {
        QFETCH(QString, language);
        QFETCH(int, focused);
        strings::chooseLanguage(*qApp, language);
        Window w;
        QVERIFY(w.connected);
        QVERIFY(w.Read());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.dlg.get()));
        QSet<QChar> letters;
        const auto add = [&](const QString& text) {
            const QKeySequence key = QKeySequence::mnemonic(text);
            if (!key.isEmpty()) letters.insert(key.toString().back().toUpper());
        };
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) add(b->text());
        for (QLabel* l : w->findChildren<QLabel*>()) add(l->text());
        for (QGroupBox* g : w->findChildren<QGroupBox*>()) add(g->title());
        for (QMenu* m : w->findChildren<QMenu*>())
            for (QAction* a : m->actions()) add(a->text());
        for (QAction* a : w->findChild<QMenuBar*>()->actions()) add(a->text());
        QVERIFY2(letters.size() >= 20, qPrintable(QString::number(letters.size())));

        // A mnemonic presses its button at once and clicks it a moment later.
        int presses = 0;
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
            connect(b, &QAbstractButton::pressed, this, [&presses] { ++presses; });
        QWidget* target = w->Control(focused);
        target->setFocus();
        QCOMPARE(QApplication::focusWidget(), target);
        const ParameterRecord record = w.dialog().gyro.workingRecord;
        const std::size_t frames = w.gyro().commandCount();
        for (const QChar letter : std::as_const(letters)) {
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key(letter.unicode()),
                                QString(letter.toLower()), Qt::NoModifier);
            QCoreApplication::processEvents();  // a queued click would run here
            QVERIFY2(presses == 0 && w.messages.shown.empty(), qPrintable(QString(letter)));
            QVERIFY2(QApplication::focusWidget() == target, qPrintable(QString(letter)));
            QVERIFY2(QApplication::activePopupWidget() == nullptr, qPrintable(QString(letter)));
        }
        QCOMPARE(w.files.openCalls + w.files.saveAsCalls, 0);
        QCOMPARE(w.gyro().commandCount(), frames);
        QCOMPARE(w.dialog().gyro.workingRecord, record);
        QCOMPARE(w.dialog().enterPressed, 0);

        QTest::keySequence(target, QKeySequence::mnemonic(w.button(ids::ReadButton)->text()));
        QTRY_COMPARE(w.messages.Ids(), Ids({117}));
        QCOMPARE(presses, 1);
        QCOMPARE(w.gyro().commandCount(), frames + 1);
    }

    // The stream's failure reaches the window from the timer thread through the window's
    // event loop, and ends the procedure once.
    void streamFailureThroughTheEventLoop() {
        Window w;
        QVERIFY(w.connected);
        QVERIFY(w.Read());
        w.Click(ids::Enter);
        QCOMPARE(w.dialog().enterPressed, 1);
        QCOMPARE(w.gyro().setFaults("fail=FT_Write"), 0);
        QTRY_COMPARE(w.dialog().enterPressed, 0);
        QCOMPARE(w.messages.Ids(), Ids({104}));
        QVERIFY(!w.button(ids::Enter)->isChecked());
        QVERIFY(!w.enabled(ids::PositionSlider));
    }
};

QTEST_MAIN(RoutingTest)
#include "tst_routing.moc"
