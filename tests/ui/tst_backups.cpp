// The backup before every Write and File > Restore Previous Settings, against the virtual
// gyro, with the state folder in a scratch folder.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "gyro/Backups.h"
#include "tests/ui/CommandsSupport.h"

using namespace uitest;

namespace {

QString BackupsDir() {
    return QDir(qEnvironmentVariable("XDG_STATE_HOME")).filePath(QStringLiteral("tarvex/backups"));
}

// The backup files, newest first.
QStringList Backups() {
    QStringList paths;
    for (const BackupEntry& e : ListBackups(QFile::encodeName(BackupsDir()).toStdString()))
        paths << QFile::decodeName(e.path.c_str());
    return paths;
}

ParameterRecord Load(const QString& path) {
    ParameterRecord r{};
    if (LoadSettingsFile(QFile::encodeName(path).toStdString(), r) != FileResult::Ok)
        r.bytes.fill(0xEE);
    return r;
}

// A Read, then an edit the Write will store.
void ReadAndEdit(Window& w) {
    QVERIFY(w.Read());
    const int damping = w.slider(ids::DDampingSlider)->value();
    w.MoveSlider(ids::DDampingSlider, damping == 60 ? 70 : 60);
}

enum class Trigger { WriteButton, ExitCheck };

// Writes the window's edits as the user would: the Write button, or Yes to the question
// when the window closes.
void Write(Window& w, Trigger trigger) {
    if (trigger == Trigger::WriteButton) {
        w.Click(ids::WriteButton);
    } else {
        w.messages.answers.push_front(MessageAnswer::Yes);
        w->OnCancel();
    }
}

}  // namespace

Q_DECLARE_METATYPE(Trigger)

class BackupsTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() { PrepareEnvironment(); }

  private slots:
    void init() { QVERIFY(QDir(BackupsDir()).removeRecursively()); }

    // Each Write keeps, in a file named by the gyro's ID, the record the last Read or
    // verified Write found; a Write retried after a failed one finds it already kept. (The
    // exit check's Write takes the same way: failedBackupAsks.)
    void writeKeepsWhatTheGyroHeld() {
        Window w;
        QVERIFY(w.connected);
        ReadAndEdit(w);
        const ParameterRecord held = w->gyro.deviceRecord;
        w.gyro().setFaults("fail=FT_Write");
        w.Click(ids::WriteButton);
        w.gyro().setFaults("");
        w.Click(ids::WriteButton);
        QCOMPARE(w.messages.Ids(), Ids({104, 105}));
        QStringList backups = Backups();
        QCOMPARE(backups.size(), 1);
        QCOMPARE(Load(backups[0]), held);
        QVERIFY(QFileInfo(backups[0]).fileName().startsWith(QString::number(held.gyroId()) + '-'));
        QCOMPARE(QFileInfo(backups[0]).absolutePath(), BackupsDir());

        const ParameterRecord written = w->gyro.deviceRecord;
        w.MoveSlider(ids::DGainSlider, written.dGain() == 200 ? 180 : 200);
        w.Click(ids::WriteButton);
        backups = Backups();
        QCOMPARE(backups.size(), 2);
        QCOMPARE(Load(backups[0]), written);
    }

    // A backup that cannot be saved asks before anything goes to the gyro.
    void failedBackupAsks_data() {
        QTest::addColumn<Trigger>("trigger");
        QTest::addColumn<MessageAnswer>("answer");
        QTest::addColumn<std::vector<int>>("messages");
        QTest::addColumn<bool>("written");
        QTest::newRow("Write, No")
            << Trigger::WriteButton << MessageAnswer::No << Ids({135}) << false;
        QTest::newRow("Write, Yes")
            << Trigger::WriteButton << MessageAnswer::Yes << Ids({135, 105}) << true;
        // The window stays open with the edits.
        QTest::newRow("exit check, No")
            << Trigger::ExitCheck << MessageAnswer::No << Ids({133, 135}) << false;
    }
    void failedBackupAsks() {
        QFETCH(Trigger, trigger);
        QFETCH(MessageAnswer, answer);
        QFETCH(std::vector<int>, messages);
        QFETCH(bool, written);
        // No folder can be made inside a file, not even by root.
        QTemporaryDir state;
        QFile blocker(state.filePath(QStringLiteral("tarvex")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QByteArray scratch = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
        Window w;
        QVERIFY(w.connected);
        ReadAndEdit(w);
        const ParameterRecord gyroBefore = w.gyro().Record();
        const ParameterRecord working = w->gyro.workingRecord;
        const std::size_t frames = w.gyro().commandCount();
        w.messages.answers = {answer};

        Write(w, trigger);
        qputenv("XDG_STATE_HOME", scratch);

        QCOMPARE(w.messages.Ids(), messages);
        const ShownMessage& question = w.messages.shown[messages[0] == 133 ? 1 : 0];
        QCOMPARE(question.icon, MessageIcon::Question);
        QCOMPARE(question.buttons, MessageButtons::YesNo);
        QVERIFY2(question.text.contains(state.filePath(QStringLiteral("tarvex/backups"))) &&
                     question.text.endsWith(QStringLiteral("Write anyway?")),
                 qPrintable(question.text));
        QCOMPARE(w.gyro().commandCount() > frames, written);
        QCOMPARE(w.gyro().Record() == gyroBefore, !written);
        QVERIFY(w->isVisible());
        QCOMPARE(w->gyro.workingRecord, working);
    }

    // File > Restore Previous Settings opens the chooser in the backups folder (made when
    // missing) and loads the chosen backup as File > Open does.
    void restoreLoadsLikeOpen() {
        Window w;
        QVERIFY(w.connected);
        QAction* restore = w->Action(ids::FileRestore);
        QVERIFY(restore != nullptr);
        restore->trigger();  // cancelled
        QCOMPARE(w.files.openCalls, 1);
        QCOMPARE(w.files.openFolder, BackupsDir());
        QVERIFY(QFileInfo(BackupsDir()).isDir());
        QVERIFY(!w->hasFilePath);

        ReadAndEdit(w);
        const ParameterRecord held = w->gyro.deviceRecord;
        w->OnWrite();
        const QString backup = Backups().value(0);
        w.files.openChoices.push_back(backup);
        w.messages.Clear();
        restore->trigger();
        QCOMPARE(w.messages.Ids(), Ids({}));
        QCOMPARE(w.files.openFolder, BackupsDir());
        QCOMPARE(w->gyro.workingRecord, held);
        QCOMPARE(w->filePath, backup);
        QVERIFY(w->hasFilePath);
        QCOMPARE(w.text(ids::DDamping), QString::number(held.dDamping()));  // shown

        // Open itself still starts where the chooser was last.
        w->OnFileOpen();
        QVERIFY(w.files.openFolder.isEmpty());
    }
};

QTEST_MAIN(BackupsTest)
#include "tst_backups.moc"
