// Start-up of the Qt program: the accelerators, and the program's exit status, options and
// display check as a whole process. (The connection at initialisation and the enabled
// states it leaves are the behaviour's: tests/dialog.)
#include <dlfcn.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "RecordingPause.h"
#include "resources/window/WindowResources.h"
#include "tests/ui/UiFakes.h"
#include "ui/CTarvexApp.h"
#include "ui/QtTarvexWindow.h"
#include "ui/StringTableQt.h"

namespace {

const QByteArray kVirtualGyro = TARVEX_VGYRO_PATH;
const QString kProgram = QStringLiteral(TARVEX_PROGRAM_PATH);

// The virtual gyro's fault switch, from the same library file the adapter loads.
int SetFaults(const char* faults) {
    static auto* set = [] {
        void* lib = dlopen(kVirtualGyro.constData(), RTLD_NOW | RTLD_LOCAL);
        return lib ? reinterpret_cast<int (*)(const char*)>(dlsym(lib, "vgyro_set_faults"))
                   : nullptr;
    }();
    return set ? set(faults) : -1;
}

struct Window {
    FakeMessageService messages;
    FakeFileChooser files;
    TBX3 adapter;
    std::unique_ptr<QtTarvexWindow> dlg;
    bool initialised = false;

    explicit Window(const QByteArray& driver) {
        qputenv("TARVEX_D2XX", driver);
        dlg =
            std::make_unique<QtTarvexWindow>(adapter, QtTarvexWindow::Services{&messages, &files});
        initialised = dlg->OnInitDialog();
    }
    bool enabled(int id) const { return dlg->Control(id)->isEnabled(); }
};

struct Run {
    int exitCode = -1;
    QString out, err;
};

using Variables = QList<std::pair<QString, QString>>;

// display false: no display of any kind (DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM and
// XDG_SESSION_TYPE unset). displayVariables: of those, only these set.
Run RunProgram(const QStringList& arguments, const QByteArray& driver = kVirtualGyro,
               const QByteArray& faults = {}, bool display = true,
               const Variables& displayVariables = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!display || !displayVariables.isEmpty()) {
        for (const char* name :
             {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"})
            env.remove(QString::fromLatin1(name));
    }
    for (const auto& [name, value] : displayVariables) env.insert(name, value);
    env.insert(QStringLiteral("TARVEX_VGYRO_FAST"), QStringLiteral("1"));
    env.insert(QStringLiteral("TARVEX_VGYRO_STATE"), QStringLiteral("none"));
    env.insert(QStringLiteral("TARVEX_D2XX"), QString::fromLocal8Bit(driver));
    if (faults.isEmpty())
        env.remove(QStringLiteral("TARVEX_VGYRO_FAULTS"));
    else
        env.insert(QStringLiteral("TARVEX_VGYRO_FAULTS"), QString::fromLatin1(faults));
    process.setProcessEnvironment(env);
    process.start(kProgram, arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;  // a hang counts as failure: exit code -1
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("TARVEX_VGYRO_FAST", "1");
        qputenv("TARVEX_VGYRO_STATE", "none");
        qunsetenv("TARVEX_VGYRO_FAULTS");
        IsolateUserSettings();
    }

  private slots:
    void initTestCase() {
        window_resources::Init();
        strings::chooseLanguage(*qApp, QStringLiteral("en"));
    }
    void cleanup() { SetFaults(""); }

    // Ctrl+W does nothing while Write is grayed; Ctrl+R reads and makes Write available.
    void accelerators() {
        RecordingPause pause;
        Window w(kVirtualGyro);
        QVERIFY(w.initialised);
        w.dlg->show();
        w.dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.dlg.get()));
        QTest::keyClick(w.dlg.get(), Qt::Key_W, Qt::ControlModifier);
        QVERIFY(w.messages.shown.empty());
        QTest::keyClick(w.dlg.get(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(w.messages.Ids(), std::vector<int>{117});
        QVERIFY(w.enabled(ids::WriteButton));
        QVERIFY(w.enabled(ids::Enter));
        QVERIFY(w.dlg->Action(ids::ConnectWrite)->isEnabled());
        QTest::keyClick(w.dlg.get(), Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(w.messages.Ids(), (std::vector<int>{117, 105}));
    }

    // The application object ends the program after the message when the driver is
    // missing: no window stays open, and the exit status says so.
    void applicationWithoutDriver() {
        qputenv("TARVEX_D2XX", "/nonexistent/libftd2xx.so");
        CTarvexApp::Options options;
        options.unattended = true;  // the message goes to standard error
        CTarvexApp app(options);
        QVERIFY(!app.InitInstance());
        QCOMPARE(app.ExitCode(), 1);
        for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY(!w->isVisible());
    }

    void programExitStatus_data() {
        QTest::addColumn<QByteArray>("driver");
        QTest::addColumn<QByteArray>("faults");
        QTest::addColumn<QString>("message");
        QTest::newRow("no driver") << QByteArray("/nonexistent/libftd2xx.so") << QByteArray()
                                   << "message 118 (error): The device driver for TBX-3 is "
                                      "not installed.";
        QTest::newRow("no adapter") << kVirtualGyro << QByteArray("no-device")
                                    << "message 119 (error): A TBX-3 is not connected.";
    }
    void programExitStatus() {
        QFETCH(QByteArray, driver);
        QFETCH(QByteArray, faults);
        QFETCH(QString, message);
        const Run run = RunProgram(
            {QStringLiteral("--unattended"), QStringLiteral("--language"), QStringLiteral("en")},
            driver, faults);
        QVERIFY2(run.exitCode > 0, qPrintable(run.err));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
    }

    void programOptions() {
        Run run = RunProgram({QStringLiteral("--version")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.trimmed(), QStringLiteral("Tarvex " TARVEX_VERSION));

        run = RunProgram({QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        for (const char* option : {"--simulate", "--driver", "--language", "--version"})
            QVERIFY2(run.out.contains(QLatin1String(option)), option);
        QVERIFY(!run.out.contains(QLatin1String("--screenshot")));
        QVERIFY(!run.out.contains(QLatin1String("--unattended")));

        run = RunProgram({QStringLiteral("--language"), QStringLiteral("fr")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QLatin1String("fr")));

        run = RunProgram({QStringLiteral("--bogus")});
        QCOMPARE(run.exitCode, 2);
    }

    // The options are read before Qt's platform plugin starts: --help and --version work
    // without a display, a start without one says so in one line, and Qt's own options
    // still reach Qt. One settings file may follow the options; more is a usage error.
    void commandLineBeforeDisplay_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");  // the start of standard output, or none
        QTest::addColumn<QString>("err");  // the whole of standard error ("*": anything)
        const QString usage =
            QStringLiteral("Usage: tarvex [options] [file]\nTry 'tarvex --help'.\n");
        QTest::newRow("--help") << QStringList{"--help"} << false << 0
                                << "Usage: tarvex [options] [file]\n"
                                << "";
        QTest::newRow("--version")
            << QStringList{"--version"} << false << 0 << "Tarvex " TARVEX_VERSION "\n"
            << "";
        QTest::newRow("no display")
            << QStringList{"--simulate"} << false << 1 << ""
            << "tarvex: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY "
               "is set)\n";
        QTest::newRow("Qt's -platform option")
            << QStringList{"-platform", "offscreen", "--unattended", "--driver",
                           "/nonexistent/d.so"}
            << false << 1 << ""
            << "*message 118";
        QTest::newRow("two files") << QStringList{"a.tcf", "b.tcf"} << true << 2 << ""
                                   << "tarvex: unexpected argument 'b.tcf'\n" + usage;
        QTest::newRow("an option after the file")
            << QStringList{"a.tcf", "--language", "de"} << true << 2 << ""
            << "tarvex: unexpected argument '--language'\n" + usage;
    }
    void commandLineBeforeDisplay() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run run = RunProgram(arguments, kVirtualGyro, {}, display);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.startsWith(out), qPrintable(run.out));
        if (err.startsWith(u'*'))
            QVERIFY2(run.err.contains(err.mid(1)), qPrintable(run.err));
        else
            QCOMPARE(run.err, err);
    }

    // A DISPLAY where no X server answers (a stale DISPLAY over SSH, an X server gone): one
    // line naming it and exit status 1, before Qt's platform plugin would abort.
    void unreachableDisplay_data() {
        QTest::addColumn<QString>("platform");
        QTest::newRow("Qt's default platform") << QString();
        QTest::newRow("QT_QPA_PLATFORM=xcb") << QStringLiteral("xcb");
    }
    void unreachableDisplay() {
        QFETCH(QString, platform);
        int number = 97;
        while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))) ++number;
        const QString display = QStringLiteral(":%1").arg(number);
        Variables variables{{QStringLiteral("DISPLAY"), display}};
        if (!platform.isEmpty()) variables.append({QStringLiteral("QT_QPA_PLATFORM"), platform});
        const Run run =
            RunProgram({QStringLiteral("--simulate")}, kVirtualGyro, {}, true, variables);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err,
                 QStringLiteral("tarvex: cannot open display '%1': no X server answers there\n")
                     .arg(display));
        QVERIFY(run.out.isEmpty());
    }

    // A Wayland display where no compositor listens (a compositor gone, a WAYLAND_DISPLAY
    // copied from another session), wherever Qt would try Wayland: one line naming it and
    // exit status 1, before Qt's platform plugins would abort. The socket is asked in
    // XDG_RUNTIME_DIR, or at an absolute path; a platform Qt tries next may still start.
    void unreachableWaylandDisplay_data() {
        QTest::addColumn<Variables>("variables");   // "%d": the runtime folder, "%x": a dead X
        QTest::addColumn<bool>("staleSocketFile");  // a file where the socket would be
        QTest::addColumn<QString>("err");           // "*": contains
        const QString line = QStringLiteral(
            "tarvex: cannot open display '%1': no Wayland compositor answers there\n");
        const QString wayland9 = line.arg(QStringLiteral("wayland-9"));
        const std::pair<QString, QString> name{QStringLiteral("WAYLAND_DISPLAY"),
                                               QStringLiteral("wayland-9")};
        QTest::newRow("QT_QPA_PLATFORM=wayland")
            << Variables{name, {"QT_QPA_PLATFORM", "wayland"}} << false << wayland9;
        QTest::newRow("a Wayland session")
            << Variables{name, {"XDG_SESSION_TYPE", "wayland"}} << false << wayland9;
        QTest::newRow("WAYLAND_DISPLAY alone") << Variables{name} << false << wayland9;
        QTest::newRow("a socket file nobody listens on") << Variables{name} << true << wayland9;
        QTest::newRow("no X display to fall back on either")
            << Variables{name, {"DISPLAY", "%x"}} << false << wayland9;
        QTest::newRow("an absolute path")
            << Variables{{"WAYLAND_DISPLAY", "%d/wayland-9"}, {"QT_QPA_PLATFORM", "wayland"}}
            << true << line.arg(QStringLiteral("%d/wayland-9"));
        QTest::newRow("wayland-0 without WAYLAND_DISPLAY")
            << Variables{{"QT_QPA_PLATFORM", "wayland"}} << false
            << line.arg(QStringLiteral("wayland-0"));
        QTest::newRow("another platform after wayland starts")
            << Variables{name, {"QT_QPA_PLATFORM", "wayland;offscreen"}} << false << "*message 118";
    }
    void unreachableWaylandDisplay() {
        QFETCH(Variables, variables);
        QFETCH(bool, staleSocketFile);
        QFETCH(QString, err);
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        if (staleSocketFile) {
            QFile file(runtime.filePath(QStringLiteral("wayland-9")));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        int number = 97;
        while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))) ++number;
        const auto place = [&](QString text) {
            return text.replace(QLatin1String("%d"), runtime.path())
                .replace(QLatin1String("%x"), QStringLiteral(":%1").arg(number));
        };
        for (auto& variable : variables) variable.second = place(variable.second);
        variables.append({QStringLiteral("XDG_RUNTIME_DIR"), runtime.path()});
        const Run run = RunProgram({QStringLiteral("--unattended"), QStringLiteral("--driver"),
                                    QStringLiteral("/nonexistent/d.so")},
                                   kVirtualGyro, {}, true, variables);
        QCOMPARE(run.exitCode, 1);
        if (err.startsWith(u'*'))
            QVERIFY2(run.err.contains(err.mid(1)), qPrintable(run.err));
        else
            QCOMPARE(run.err, place(err));
        QVERIFY(run.out.isEmpty());
    }

    // The file argument becomes an absolute path; Qt's options and "--" are no file.
    void fileArgument_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("file");
        QTest::newRow("none") << QStringList{} << "";
        QTest::newRow("relative") << QStringList{"heli1.tcf"} << "heli1.tcf";
        QTest::newRow("after options")
            << QStringList{"--language", "de", "-style", "fusion", "/tmp/h.tcf"} << "/tmp/h.tcf";
        QTest::newRow("after --") << QStringList{"--", "-odd.tcf"} << "-odd.tcf";
    }
    void fileArgument() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, file);
        CTarvexApp::Options options;
        int exitCode = -1;
        QVERIFY(CTarvexApp::ParseOptions(QStringList{"tarvex"} + arguments, options, exitCode));
        QCOMPARE(options.file, file.isEmpty() ? QString() : QDir::current().absoluteFilePath(file));
    }

    // --simulate finds the virtual gyro beside the program, whatever TARVEX_D2XX said;
    // the hidden screenshot option reads it and saves the window.
    void simulateAndScreenshot() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString png = dir.filePath(QStringLiteral("window.png"));
        const Run run = RunProgram({QStringLiteral("--simulate"), QStringLiteral("--language"),
                                    QStringLiteral("de"), QStringLiteral("--screenshot"), png},
                                   "/nonexistent/libftd2xx.so");
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.err.contains(QStringLiteral("message 117 (information): Daten eingelesen.")),
                 qPrintable(run.err));
        QImage image(png);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= 980 && image.height() >= 600);
    }

    void driverOption() {
        const Run run = RunProgram({QStringLiteral("--unattended"), QStringLiteral("--driver"),
                                    QStringLiteral("/nonexistent/other.so"),
                                    QStringLiteral("--language"), QStringLiteral("en")},
                                   kVirtualGyro);
        // --driver wins over the environment: the named library does not exist.
        QVERIFY(run.exitCode > 0);
        QVERIFY2(run.err.contains(QLatin1String("message 118")), qPrintable(run.err));
    }

    // --adapter opens the virtual gyro (serial VGYRO0001) by its serial number; another
    // serial is the connection failure.
    void adapterOption() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString png = dir.filePath(QStringLiteral("window.png"));
        Run run = RunProgram({QStringLiteral("--adapter"), QStringLiteral("VGYRO0001"),
                              QStringLiteral("--language"), QStringLiteral("en"),
                              QStringLiteral("--screenshot"), png});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.err.contains(QLatin1String("message 117")), qPrintable(run.err));

        run = RunProgram({QStringLiteral("--unattended"), QStringLiteral("--adapter"),
                          QStringLiteral("VGYRO0002"), QStringLiteral("--language"),
                          QStringLiteral("en")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QLatin1String("message 119")), qPrintable(run.err));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
