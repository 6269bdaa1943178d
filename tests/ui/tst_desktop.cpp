// The Qt window as a desktop program: the recent list's menu items in the window's
// language, the drag and drop events of settings files, and a file named on the command
// line. (What the title, the recent list and a drop decide is the behaviour's:
// tests/dialog.)
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include "gyro/SettingsFile.h"
#include "resources/window/WindowResources.h"
#include "tests/support/FileRecords.h"
#include "tests/ui/CommandsSupport.h"
#include "ui/CTarvexApp.h"

using namespace uitest;

namespace {

QString SaveFile(const QTemporaryDir& dir, const QString& name, std::uint8_t seed) {
    const QString path = dir.filePath(name);
    return SaveSettingsFile(QFile::encodeName(path).toStdString(), FileRecord(seed)) ==
                   FileResult::Ok
               ? path
               : QString();
}

QStringList RecentMenu(QtTarvexWindow& dlg) {
    QStringList texts;
    for (int i = 0; i < CTarvexDlg::kRecentFiles; ++i) {
        QAction* a = dlg.Action(ids::FileRecent1 + i);
        if (a->isVisible()) texts << (a->isEnabled() ? a->text() : "(" + a->text() + ")");
    }
    return texts;
}

enum class DropOn { Window, IdBox };

}  // namespace

Q_DECLARE_METATYPE(DropOn)

class DesktopTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() { PrepareEnvironment(); }

  private slots:
    // Each test starts with an empty recent list.
    void init() {
        QFile::remove(
            QSettings(QSettings::IniFormat, QSettings::UserScope, "tarvex", "tarvex").fileName());
    }
    void cleanup() { strings::chooseLanguage(*qApp, QStringLiteral("en")); }

    // The recent list's menu items: each opens its file, and the File menu shows the list
    // as the user's settings hold it when it opens (another Tarvex may have changed it).
    void recentMenuItems() {
        Window w;
        QVERIFY(w.connected);
        QTemporaryDir dir;
        const QString a = SaveFile(dir, "a.tcf", 1);
        const QString b = SaveFile(dir, "b.tcf", 2);
        w.dialog().OpenSettingsFile(a.toStdString());
        w.dialog().OpenSettingsFile(b.toStdString());
        QCOMPARE(RecentMenu(*w), (QStringList{"&1 b.tcf", "&2 a.tcf"}));
        QCOMPARE(w->Action(ids::FileRecent1)->toolTip(), b);

        w->Action(ids::FileRecent1 + 1)->trigger();
        QCOMPARE(QString::fromStdString(w.dialog().filePath), a);
        QCOMPARE(w.dialog().gyro.workingRecord, FileRecord(1));
        QCOMPARE(RecentMenu(*w), (QStringList{"&1 a.tcf", "&2 b.tcf"}));

        QSettings(QSettings::IniFormat, QSettings::UserScope, "tarvex", "tarvex")
            .setValue("recentFiles", QStringList{b});
        // The File menu, which holds File > Open.
        auto* file = qobject_cast<QMenu*>(w->Action(ids::FileOpen)->associatedObjects().value(0));
        QVERIFY(file != nullptr);
        emit file->aboutToShow();
        QCOMPARE(RecentMenu(*w), QStringList{"&1 b.tcf"});
        QCOMPARE(w.messages.Ids(), Ids({}));
    }

    void emptyRecentListIsTranslated_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("text");
        QTest::newRow("en") << "en"
                            << "Recent File";
        QTest::newRow("de") << "de"
                            << "Zuletzt verwendete Datei";
        QTest::newRow("ja") << "ja"
                            << "最近使ったファイル";
    }
    void emptyRecentListIsTranslated() {
        QFETCH(QString, language);
        QFETCH(QString, text);
        window_resources::Init();
        strings::chooseLanguage(*qApp, language);
        Window w;
        QCOMPARE(RecentMenu(*w), QStringList{"(" + text + ")"});
    }

    void drop_data() {
        QTest::addColumn<QStringList>("names");  // files the drag carries; "http:" a web link
        QTest::addColumn<Qt::DropActions>("actions");
        QTest::addColumn<DropOn>("target");
        QTest::addColumn<bool>("opens");
        const Qt::DropActions all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QTest::newRow("a settings file")
            << QStringList{"heli1.tcf"} << all << DropOn::Window << true;
        QTest::newRow("onto the ID box")
            << QStringList{"heli1.tcf"} << all << DropOn::IdBox << true;
        QTest::newRow("another file onto the ID box")
            << QStringList{"notes.txt"} << all << DropOn::IdBox << false;
        QTest::newRow("a web link") << QStringList{"http:"} << all << DropOn::Window << false;
        QTest::newRow("text") << QStringList{} << all << DropOn::Window << false;
        QTest::newRow("move only") << QStringList{"heli1.tcf"} << Qt::DropActions(Qt::MoveAction)
                                   << DropOn::Window << false;
    }
    void drop() {
        QFETCH(QStringList, names);
        QFETCH(Qt::DropActions, actions);
        QFETCH(DropOn, target);
        QFETCH(bool, opens);
        Window w;
        QVERIFY(w.connected);
        QTemporaryDir dir;
        QList<QUrl> urls;
        for (const QString& name : names) {
            if (name == QLatin1String("http:")) {
                urls << QUrl(QStringLiteral("http://example.org/heli1.tcf"));
                continue;
            }
            QVERIFY(!SaveFile(dir, name, 60).isEmpty());
            urls << QUrl::fromLocalFile(dir.filePath(name));
        }
        QMimeData mime;
        if (!urls.isEmpty()) mime.setUrls(urls);
        mime.setText(QStringLiteral("12345"));
        w.Click(ids::NotUsingId);  // the ID box takes text
        QVERIFY(!w.edit(ids::IdBox)->isReadOnly());
        const ParameterRecord before = w.dialog().gyro.workingRecord;
        const QString idText = w.text(ids::IdBox);
        QWidget* onto = target == DropOn::IdBox ? w->Control(ids::IdBox) : w.dlg.get();

        QDragEnterEvent enter(QPoint(5, 5), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(onto, &enter);
        QDropEvent dropped(QPointF(5, 5), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        if (enter.isAccepted()) QApplication::sendEvent(onto, &dropped);
        QCoreApplication::processEvents();

        QCOMPARE(enter.isAccepted() && enter.dropAction() == Qt::CopyAction, opens);
        QCOMPARE(w.messages.Ids(), Ids({}));
        QCOMPARE(w.dialog().gyro.workingRecord, opens ? FileRecord(60) : before);
        QCOMPARE(w.dialog().hasFilePath, opens);
        if (opens) QCOMPARE(QString::fromStdString(w.dialog().filePath), urls[0].toLocalFile());
        if (target == DropOn::IdBox && opens) QCOMPARE(w.text(ids::IdBox), "1060");
        if (!opens) QCOMPARE(w.text(ids::IdBox), idText);
    }

    // `tarvex FILE`: the program starts as usual, then opens the file as File > Open does.
    void fileFromCommandLine_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<std::vector<int>>("expected");  // the messages shown
        QTest::addColumn<QString>("title");
        QTest::newRow("a settings file") << true << Ids({}) << "Tarvex - heli1.tcf[*]";
        QTest::newRow("a missing file") << false << Ids({108}) << "Tarvex";
    }
    void fileFromCommandLine() {
        QFETCH(bool, exists);
        QFETCH(std::vector<int>, expected);
        QFETCH(QString, title);
        QTemporaryDir dir;
        const QString path = exists ? SaveFile(dir, "heli1.tcf", 70) : dir.filePath("heli1.tcf");
        qputenv("TARVEX_D2XX", VirtualGyroPath());
        Window::gyro().reset();
        FakeMessageService messages;
        FakeFileChooser files;
        CTarvexApp::Options options;
        options.file = path;
        CTarvexApp app(options, QtTarvexWindow::Services{&messages, &files});
        QString seenTitle;
        ParameterRecord seenRecord, seenDevice;
        std::vector<int> seenMessages;
        bool ran = false;
        QTimer look;
        look.setSingleShot(true);
        connect(&look, &QTimer::timeout, [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* dlg = dynamic_cast<QtTarvexWindow*>(top);
                if (dlg == nullptr || !dlg->isVisible()) continue;
                ran = true;
                seenTitle = dlg->windowTitle();
                seenRecord = dlg->Dialog().gyro.workingRecord;
                seenDevice = dlg->Dialog().gyro.deviceRecord;
                seenMessages = messages.Ids();
                dlg->reject();
            }
        });
        look.start(0);
        app.InitInstance();
        QVERIFY(ran);
        QCOMPARE(app.ExitCode(), 0);
        QCOMPARE(seenMessages, expected);
        QCOMPARE(seenTitle, title);
        QCOMPARE(seenRecord, exists ? FileRecord(70) : seenDevice);
    }
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
