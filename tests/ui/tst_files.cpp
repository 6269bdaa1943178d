// File > Open, Save and Save As: the 85-byte settings file, the remembered path, the
// overwrite prompt and the failure messages.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "gyro/SettingsFile.h"
#include "tests/ui/CommandsSupport.h"

using namespace uitest;

namespace {

ParameterRecord Pattern(std::uint8_t seed) {
    ParameterRecord r;
    for (std::size_t i = 0; i < r.bytes.size(); ++i)
        r.bytes[i] = static_cast<std::uint8_t>(seed + 37 * i);
    return r;
}

QByteArray Bytes(const ParameterRecord& r) {
    return QByteArray(reinterpret_cast<const char*>(r.bytes.data()), int(r.bytes.size()));
}

bool WriteFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Limits the size of any file this process writes, for the life of the object.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails with EFBIG
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, previous_);
    }

  private:
    rlimit old_{};
    sighandler_t previous_;
};

}  // namespace

class FilesTest : public QObject {
    Q_OBJECT

  public:
    static void initMain() { PrepareEnvironment(); }

  private slots:
    void roundTripOfAllBytes();
    void opening_data();
    void opening();
    void cancelledChoosersDoNothing();
    void failedSaves_data();
    void failedSaves();
    void saveBeforeAnyPathActsAsSaveAs();
    void overwritePrompt_data();
    void overwritePrompt();
    void openedFileIsUnwrittenData();
};

void FilesTest::roundTripOfAllBytes() {
    Window w;
    QVERIFY(w.connected);
    QTemporaryDir dir;
    const QString path = dir.filePath("all.tcf");
    // Every byte distinct from its neighbours, the checksum word and bytes 0 and 84
    // included.
    const ParameterRecord pattern = Pattern(11);
    w->gyro.workingRecord = pattern;
    w.files.saveAsChoices.push_back(path);
    w->OnFileSaveAs();
    QCOMPARE(w.messages.Ids(), Ids({}));
    QCOMPARE(ReadFile(path), Bytes(pattern));

    w->gyro.workingRecord = Pattern(200);
    w.files.openChoices.push_back(path);
    w->OnFileOpen();
    QCOMPARE(w.messages.Ids(), Ids({}));
    QCOMPARE(w->gyro.workingRecord, pattern);
    QVERIFY(w->hasFilePath);
    QCOMPARE(w->filePath, path);
    // The window shows what was loaded.
    QCOMPARE(w.text(ids::DGain), QString::number(pattern.dGain()));
    QCOMPARE(w.text(ids::IdBox), QString::number(pattern.gyroId()));
}

enum class FileKind { Empty, Short, Exact, Long, Missing, Directory };
Q_DECLARE_METATYPE(FileKind)

void FilesTest::opening_data() {
    QTest::addColumn<FileKind>("kind");
    QTest::addColumn<std::vector<int>>("messages");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<bool>("pathRemembered");
    QTest::newRow("empty file") << FileKind::Empty << Ids({108}) << false << true;
    QTest::newRow("84 bytes") << FileKind::Short << Ids({108}) << false << true;
    QTest::newRow("85 bytes") << FileKind::Exact << Ids({}) << true << true;
    QTest::newRow("longer file") << FileKind::Long << Ids({}) << true << true;
    QTest::newRow("missing file") << FileKind::Missing << Ids({108}) << false << false;
    QTest::newRow("a directory") << FileKind::Directory << Ids({108}) << false << true;
}

void FilesTest::opening() {
    QFETCH(FileKind, kind);
    QFETCH(std::vector<int>, messages);
    QFETCH(bool, loads);
    QFETCH(bool, pathRemembered);
    Window w;
    QVERIFY(w.connected);
    QTemporaryDir dir;
    QString path = dir.filePath("settings.tcf");
    const ParameterRecord inFile = Pattern(3);
    switch (kind) {
        case FileKind::Empty:
            QVERIFY(WriteFile(path, {}));
            break;
        case FileKind::Short:
            QVERIFY(WriteFile(path, Bytes(inFile).left(84)));
            break;
        case FileKind::Exact:
            QVERIFY(WriteFile(path, Bytes(inFile)));
            break;
        case FileKind::Long:
            QVERIFY(WriteFile(path, Bytes(inFile) + QByteArray(40, '\x7f')));
            break;
        case FileKind::Missing:
            break;
        case FileKind::Directory:
            path = dir.filePath("folder.tcf");
            QVERIFY(QDir(dir.path()).mkdir("folder.tcf"));
            break;
    }
    const ParameterRecord before = Pattern(90);
    w->gyro.workingRecord = before;
    // A path remembered earlier shows whether this Open replaced it.
    w->filePath = QStringLiteral("/earlier.tcf");
    w.files.openChoices.push_back(path);

    w->OnFileOpen();

    QCOMPARE(w.messages.Ids(), messages);
    for (const auto& m : w.messages.shown) QCOMPARE(m.icon, MessageIcon::Stop);
    QCOMPARE(w->gyro.workingRecord, loads ? inFile : before);
    QCOMPARE(w->filePath, pathRemembered ? path : QStringLiteral("/earlier.tcf"));
    QCOMPARE(w->hasFilePath, pathRemembered);
    QVERIFY(!w->readFromGyro);
}

void FilesTest::cancelledChoosersDoNothing() {
    Window w;
    QVERIFY(w.connected);
    const ParameterRecord before = Pattern(5);
    w->gyro.workingRecord = before;
    w->OnFileOpen();
    w->OnFileSaveAs();
    w->OnFileSave();  // no path yet: Save As, cancelled again
    QCOMPARE(w.files.openCalls, 1);
    QCOMPARE(w.files.saveAsCalls, 2);
    QCOMPARE(w.messages.Ids(), Ids({}));
    QCOMPARE(w->gyro.workingRecord, before);
    QVERIFY(!w->hasFilePath);
}

enum class SaveFailure { FullDisk, MissingFolder, Directory, TooLarge, UnwritableFolder };
Q_DECLARE_METATYPE(SaveFailure)

void FilesTest::failedSaves_data() {
    QTest::addColumn<SaveFailure>("failure");
    QTest::addColumn<int>("message");
    QTest::newRow("full disk") << SaveFailure::FullDisk << 113;
    QTest::newRow("folder missing") << SaveFailure::MissingFolder << 112;
    QTest::newRow("a directory") << SaveFailure::Directory << 112;
    QTest::newRow("write stops midway") << SaveFailure::TooLarge << 112;
    QTest::newRow("unwritable folder") << SaveFailure::UnwritableFolder << 112;
}

void FilesTest::failedSaves() {
    QFETCH(SaveFailure, failure);
    QFETCH(int, message);
    Window w;
    QVERIFY(w.connected);
    QTemporaryDir dir;
    QString path;
    QByteArray old;  // an existing file's content that must survive
    bool prompts = false;
    std::unique_ptr<FileSizeLimit> limit;
    switch (failure) {
        case SaveFailure::FullDisk:
            if (!QFile::exists("/dev/full")) QSKIP("/dev/full is not available");
            path = QStringLiteral("/dev/full");
            prompts = true;  // it exists
            break;
        case SaveFailure::MissingFolder:
            path = dir.filePath("no/such/folder/x.tcf");
            break;
        case SaveFailure::Directory:
            path = dir.filePath("folder.tcf");
            QVERIFY(QDir(dir.path()).mkdir("folder.tcf"));
            prompts = true;
            break;
        case SaveFailure::TooLarge:
            path = dir.filePath("old.tcf");
            old = Bytes(Pattern(77));
            QVERIFY(WriteFile(path, old));
            prompts = true;
            limit = std::make_unique<FileSizeLimit>(40);
            break;
        case SaveFailure::UnwritableFolder:
            // Permission bits do not stop root, so the failure cannot be produced then.
            if (geteuid() == 0) QSKIP("running as root: a read-only folder is still writable");
            path = dir.filePath("ro/old.tcf");
            QVERIFY(QDir(dir.path()).mkdir("ro"));
            old = Bytes(Pattern(78));
            QVERIFY(WriteFile(path, old));
            QVERIFY(QFile::setPermissions(dir.filePath("ro"), QFile::ReadOwner | QFile::ExeOwner));
            prompts = true;
            break;
    }
    w->gyro.workingRecord = Pattern(1);
    w.files.saveAsChoices.push_back(path);
    w.messages.answers = {MessageAnswer::Yes};

    w->OnFileSaveAs();
    // Save retries the remembered path without asking.
    w->OnFileSave();
    limit.reset();

    std::vector<int> expected;
    if (prompts) expected.push_back(109);
    expected.push_back(message);
    expected.push_back(message);
    QCOMPARE(w.messages.Ids(), expected);
    QCOMPARE(w.messages.Last()->icon, MessageIcon::Stop);
    QCOMPARE(w.files.saveAsCalls, 1);
    QVERIFY(w->hasFilePath);
    QCOMPARE(w->filePath, path);
    if (!old.isEmpty()) QCOMPARE(ReadFile(path), old);
    // No temporary file is left behind.
    if (failure == SaveFailure::TooLarge)
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("old.tcf")});
    if (failure == SaveFailure::UnwritableFolder)
        QFile::setPermissions(dir.filePath("ro"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void FilesTest::saveBeforeAnyPathActsAsSaveAs() {
    Window w;
    QVERIFY(w.connected);
    QTemporaryDir dir;
    const QString path = dir.filePath("first.tcf");
    w->gyro.workingRecord = Pattern(21);
    w.files.saveAsChoices.push_back(path);
    w->OnFileSave();
    QCOMPARE(w.files.saveAsCalls, 1);
    QCOMPARE(ReadFile(path), Bytes(Pattern(21)));
    QCOMPARE(w->filePath, path);

    // From now on Save writes there without a chooser and without a prompt.
    w->gyro.workingRecord = Pattern(22);
    w->OnFileSave();
    QCOMPARE(w.files.saveAsCalls, 1);
    QCOMPARE(w.messages.Ids(), Ids({}));
    QCOMPARE(ReadFile(path), Bytes(Pattern(22)));
}

void FilesTest::overwritePrompt_data() {
    QTest::addColumn<MessageAnswer>("answer");
    QTest::newRow("Yes") << MessageAnswer::Yes;
    QTest::newRow("No") << MessageAnswer::No;
}

void FilesTest::overwritePrompt() {
    QFETCH(MessageAnswer, answer);
    Window w;
    QVERIFY(w.connected);
    QTemporaryDir dir;
    const QString path = dir.filePath("exists.tcf");
    const QByteArray old("an older file");
    QVERIFY(WriteFile(path, old));
    w->filePath = QStringLiteral("/earlier.tcf");
    w->gyro.workingRecord = Pattern(40);
    w.files.saveAsChoices.push_back(path);
    w.messages.answers = {answer};

    w->OnFileSaveAs();

    QCOMPARE(w.messages.Ids(), Ids({109}));
    const ShownMessage& prompt = w.messages.shown[0];
    QCOMPARE(prompt.text, strings::text(109) + QStringLiteral("exists.tcf") + strings::text(110));
    QCOMPARE(prompt.icon, MessageIcon::Exclamation);
    QCOMPARE(prompt.buttons, MessageButtons::YesNo);
    if (answer == MessageAnswer::Yes) {
        QCOMPARE(ReadFile(path), Bytes(Pattern(40)));
        QCOMPARE(w->filePath, path);
        QVERIFY(w->hasFilePath);
    } else {
        QCOMPARE(ReadFile(path), old);
        QCOMPARE(w->filePath, QStringLiteral("/earlier.tcf"));
        QVERIFY(!w->hasFilePath);
    }
}

void FilesTest::openedFileIsUnwrittenData() {
    Window w;
    QVERIFY(w.connected);
    QTemporaryDir dir;
    const QString path = dir.filePath("other.tcf");
    ParameterRecord other = w.gyro().Record();
    other.setDGain(static_cast<std::uint8_t>(other.dGain() + 7));
    QCOMPARE(SaveSettingsFile(path.toStdString(), other), FileResult::Ok);
    const ParameterRecord device = w->gyro.deviceRecord;

    w.files.openChoices.push_back(path);
    w->OnFileOpen();

    QCOMPARE(w.messages.Ids(), Ids({}));
    QCOMPARE(w->gyro.workingRecord, other);
    QCOMPARE(w->gyro.deviceRecord, device);
    QVERIFY(!w.enabled(ids::WriteButton));
    QVERIFY(!w->Action(ids::ConnectWrite)->isEnabled());
    w->OnCancel();
    QCOMPARE(w.messages.Ids(), Ids({134}));
    QVERIFY(!w->isVisible());
}

QTEST_MAIN(FilesTest)
#include "tst_files.moc"
