// File > Open, Save and Save As: the 85-byte settings file, the remembered path, the
// overwrite prompt and the failure messages.
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "gyro/SettingsFile.h"
#include "tests/dialog/DialogTestSupport.h"

using namespace dialogtest;

namespace {

ParameterRecord Pattern(std::uint8_t seed) {
    ParameterRecord r;
    for (std::size_t i = 0; i < r.bytes.size(); ++i)
        r.bytes[i] = static_cast<std::uint8_t>(seed + 37 * i);
    return r;
}

#ifndef _WIN32
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
#endif

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(folder)))
        names.push_back(Utf8Path(entry.path().filename()));
    return names;
}

}  // namespace

TEST(Files, RoundTripOfAllBytes) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ScratchDir dir;
    const std::string path = dir.file("all.tcf");
    // Every byte distinct from its neighbours, the checksum word and bytes 0 and 84
    // included.
    const ParameterRecord pattern = Pattern(11);
    w->gyro.workingRecord = pattern;
    w.files.saveAsChoices.push_back(path);
    w->OnFileSaveAs();
    EXPECT_EQ(w.messages.Ids(), Ids({}));
    EXPECT_EQ(ReadBytes(path), Bytes(pattern));

    w->gyro.workingRecord = Pattern(200);
    w.files.openChoices.push_back(path);
    w->OnFileOpen();
    EXPECT_EQ(w.messages.Ids(), Ids({}));
    EXPECT_EQ(w->gyro.workingRecord, pattern);
    EXPECT_TRUE(w->hasFilePath);
    EXPECT_EQ(w->filePath, path);
    // The window shows what was loaded.
    EXPECT_EQ(w.text(ids::DGain), std::to_string(pattern.dGain()));
    EXPECT_EQ(w.text(ids::IdBox), std::to_string(pattern.gyroId()));
}

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

TEST(Files, Opening) {
    enum class Kind { Empty, Short, Exact, Long, Missing, Directory };
    struct Row {
        const char* name;
        Kind kind;
        std::vector<int> messages;
        bool loads;
        bool pathRemembered;
    };
    const Row kRows[] = {
        {"empty file", Kind::Empty, {108}, false, true},
        {"84 bytes", Kind::Short, {108}, false, true},
        {"85 bytes", Kind::Exact, {}, true, true},
        {"longer file", Kind::Long, {}, true, true},
        {"missing file", Kind::Missing, {108}, false, false},
        // Linux opens a folder for reading (the read then fails); Windows refuses it at once,
        // as it refuses a missing file.
        {"a directory", Kind::Directory, {108}, false, !kWindows},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Harness w;
        ASSERT_TRUE(w.connected);
        ScratchDir dir;
        std::string path = dir.file("settings.tcf");
        const ParameterRecord inFile = Pattern(3);
        switch (row.kind) {
            case Kind::Empty:
                ASSERT_TRUE(WriteBytes(path, ""));
                break;
            case Kind::Short:
                ASSERT_TRUE(WriteBytes(path, Bytes(inFile).substr(0, 84)));
                break;
            case Kind::Exact:
                ASSERT_TRUE(WriteBytes(path, Bytes(inFile)));
                break;
            case Kind::Long:
                ASSERT_TRUE(WriteBytes(path, Bytes(inFile) + std::string(40, '\x7f')));
                break;
            case Kind::Missing:
                break;
            case Kind::Directory:
                path = dir.file("folder.tcf");
                ASSERT_TRUE(std::filesystem::create_directory(PathFromUtf8(path)));
                break;
        }
        const ParameterRecord before = Pattern(90);
        w->gyro.workingRecord = before;
        // A path remembered earlier shows whether this Open replaced it.
        w->filePath = "/earlier.tcf";
        w.files.openChoices.push_back(path);

        w->OnFileOpen();

        EXPECT_EQ(w.messages.Ids(), row.messages);
        for (const auto& m : w.messages.shown) EXPECT_EQ(m.icon, MessageIcon::Stop);
        EXPECT_EQ(w->gyro.workingRecord, row.loads ? inFile : before);
        EXPECT_EQ(w->filePath, row.pathRemembered ? path : std::string("/earlier.tcf"));
        EXPECT_EQ(w->hasFilePath, row.pathRemembered);
        EXPECT_FALSE(w->readFromGyro);
    }
}

// A shared file opens as Open opens it when it loads; otherwise Open's message, and the
// window keeps its values and its file.
TEST(Files, SharedFileOpensOnlyWhenItLoads) {
    struct Row {
        const char* name;
        std::size_t size;
        std::vector<int> messages;
        bool opens;
    };
    const Row kRows[] = {
        {"empty", 0, {108}, false},
        {"84 bytes", 84, {108}, false},
        {"85 bytes", 85, {}, true},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Harness w;
        ASSERT_TRUE(w.connected);
        ScratchDir dir;
        const std::string path = dir.file("shared.tcf");
        const ParameterRecord inFile = Pattern(5);
        ASSERT_TRUE(WriteBytes(path, Bytes(inFile).substr(0, row.size)));
        const ParameterRecord before = Pattern(90);
        w->gyro.workingRecord = before;
        w->filePath = "/earlier.tcf";
        w->hasFilePath = true;

        w->OpenSharedFile(path);

        EXPECT_EQ(w.messages.Ids(), row.messages);
        EXPECT_EQ(w->gyro.workingRecord, row.opens ? inFile : before);
        EXPECT_EQ(w->filePath, row.opens ? path : std::string("/earlier.tcf"));
        EXPECT_FALSE(w->readFromGyro);
    }
}

TEST(Files, CancelledChoosersDoNothing) {
    Harness w;
    ASSERT_TRUE(w.connected);
    const ParameterRecord before = Pattern(5);
    w->gyro.workingRecord = before;
    w->OnFileOpen();
    w->OnFileSaveAs();
    w->OnFileSave();  // no path yet: Save As, cancelled again
    EXPECT_EQ(w.files.openCalls, 1);
    EXPECT_EQ(w.files.saveAsCalls, 2);
    EXPECT_EQ(w.messages.Ids(), Ids({}));
    EXPECT_EQ(w->gyro.workingRecord, before);
    EXPECT_FALSE(w->hasFilePath);
}

TEST(Files, FailedSaves) {
    enum class Failure { FullDisk, MissingFolder, Directory, TooLarge, UnwritableFolder };
    struct Row {
        const char* name;
        Failure failure;
        int message;
    };
    static const Row kRows[] = {
        {"full disk", Failure::FullDisk, 113},
        {"folder missing", Failure::MissingFolder, 112},
        {"a directory", Failure::Directory, 112},
        {"write stops midway", Failure::TooLarge, 112},
        {"unwritable folder", Failure::UnwritableFolder, 112},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        Harness w;
        ASSERT_TRUE(w.connected);
        ScratchDir dir;
        std::string path;
        std::string old;  // an existing file's content that must survive
        bool prompts = false;
#ifndef _WIN32
        std::unique_ptr<FileSizeLimit> limit;
#endif
        switch (row.failure) {
            case Failure::FullDisk:
#ifndef _WIN32
                if (!std::filesystem::exists("/dev/full")) continue;
                path = "/dev/full";
                prompts = true;  // it exists
                break;
#else
                continue;  // no full device to write to
#endif
            case Failure::MissingFolder:
                path = dir.file("no/such/folder/x.tcf");
                break;
            case Failure::Directory:
                path = dir.file("folder.tcf");
                ASSERT_TRUE(std::filesystem::create_directory(PathFromUtf8(path)));
                prompts = !kWindows;  // a folder "exists" where it can be opened for reading
                break;
            case Failure::TooLarge:
#ifndef _WIN32
                path = dir.file("old.tcf");
                old = Bytes(Pattern(77));
                ASSERT_TRUE(WriteBytes(path, old));
                prompts = true;
                limit = std::make_unique<FileSizeLimit>(40);
                break;
#else
                continue;  // no file size limit to set
#endif
            case Failure::UnwritableFolder:
#ifndef _WIN32
                // Permission bits do not stop root, so the failure cannot be produced then.
                if (geteuid() == 0) continue;
                path = dir.file("ro/old.tcf");
                ASSERT_TRUE(std::filesystem::create_directory(dir.file("ro")));
                old = Bytes(Pattern(78));
                ASSERT_TRUE(WriteBytes(path, old));
                std::filesystem::permissions(
                    dir.file("ro"),
                    std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
                prompts = true;
                break;
#else
                continue;
#endif
        }
        w->gyro.workingRecord = Pattern(1);
        w.files.saveAsChoices.push_back(path);
        w.messages.answers = {MessageAnswer::Yes};

        w->OnFileSaveAs();
        // Save retries the remembered path without asking.
        w->OnFileSave();
#ifndef _WIN32
        limit.reset();
#endif

        std::vector<int> expected;
        if (prompts) expected.push_back(109);
        expected.push_back(row.message);
        expected.push_back(row.message);
        EXPECT_EQ(w.messages.Ids(), expected);
        EXPECT_EQ(w.messages.Last()->icon, MessageIcon::Stop);
        EXPECT_EQ(w.files.saveAsCalls, 1);
        EXPECT_TRUE(w->hasFilePath);
        EXPECT_EQ(w->filePath, path);
        if (!old.empty()) {
            EXPECT_EQ(ReadBytes(path), old);
        }
        // No temporary file is left behind.
        if (row.failure == Failure::TooLarge) {
            EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"old.tcf"});
        }
        if (row.failure == Failure::UnwritableFolder)
            std::filesystem::permissions(dir.file("ro"), std::filesystem::perms::owner_all);
    }
}

TEST(Files, SaveBeforeAnyPathActsAsSaveAs) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ScratchDir dir;
    const std::string path = dir.file("first.tcf");
    w->gyro.workingRecord = Pattern(21);
    w.files.saveAsChoices.push_back(path);
    w->OnFileSave();
    EXPECT_EQ(w.files.saveAsCalls, 1);
    EXPECT_EQ(ReadBytes(path), Bytes(Pattern(21)));
    EXPECT_EQ(w->filePath, path);

    // From now on Save writes there without a chooser and without a prompt.
    w->gyro.workingRecord = Pattern(22);
    w->OnFileSave();
    EXPECT_EQ(w.files.saveAsCalls, 1);
    EXPECT_EQ(w.messages.Ids(), Ids({}));
    EXPECT_EQ(ReadBytes(path), Bytes(Pattern(22)));
}

TEST(Files, OverwritePrompt) {
    for (const MessageAnswer answer : {MessageAnswer::Yes, MessageAnswer::No}) {
        SCOPED_TRACE(answer == MessageAnswer::Yes ? "Yes" : "No");
        Harness w;
        ASSERT_TRUE(w.connected);
        ScratchDir dir;
        const std::string path = dir.file("exists.tcf");
        const std::string old("an older file");
        ASSERT_TRUE(WriteBytes(path, old));
        w->filePath = "/earlier.tcf";
        w->gyro.workingRecord = Pattern(40);
        w.files.saveAsChoices.push_back(path);
        w.messages.answers = {answer};

        w->OnFileSaveAs();

        EXPECT_EQ(w.messages.Ids(), Ids({109}));
        const ShownMessage& prompt = w.messages.shown[0];
        EXPECT_EQ(prompt.text, Harness::String(109) + "exists.tcf" + Harness::String(110));
        EXPECT_EQ(prompt.icon, MessageIcon::Exclamation);
        EXPECT_EQ(prompt.buttons, MessageButtons::YesNo);
        if (answer == MessageAnswer::Yes) {
            EXPECT_EQ(ReadBytes(path), Bytes(Pattern(40)));
            EXPECT_EQ(w->filePath, path);
            EXPECT_TRUE(w->hasFilePath);
        } else {
            EXPECT_EQ(ReadBytes(path), old);
            EXPECT_EQ(w->filePath, "/earlier.tcf");
            EXPECT_FALSE(w->hasFilePath);
        }
    }
}

TEST(Files, OpenedFileIsUnwrittenData) {
    Harness w;
    ASSERT_TRUE(w.connected);
    ScratchDir dir;
    const std::string path = dir.file("other.tcf");
    ParameterRecord other = w.gyro().Record();
    other.setDGain(static_cast<std::uint8_t>(other.dGain() + 7));
    ASSERT_EQ(SaveSettingsFile(path, other), FileResult::Ok);
    const ParameterRecord device = w->gyro.deviceRecord;

    w.files.openChoices.push_back(path);
    w->OnFileOpen();

    EXPECT_EQ(w.messages.Ids(), Ids({}));
    EXPECT_EQ(w->gyro.workingRecord, other);
    EXPECT_EQ(w->gyro.deviceRecord, device);
    EXPECT_FALSE(w.enabled(ids::WriteButton));
    EXPECT_FALSE(w.enabled(ids::ConnectWrite));
    w->OnCancel();
    EXPECT_EQ(w.messages.Ids(), Ids({134}));
    EXPECT_FALSE(w.visible());
}
