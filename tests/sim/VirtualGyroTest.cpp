// The virtual gyro seen from the line: its exported D2XX calls, driven directly, and its
// control functions. The gyro runs in fast mode (no line delays) unless a test says else.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gyro/ParameterRecord.h"
#include "link/D2xx.h"
#include "tests/sim/SimTestSupport.h"
#include "tests/support/VirtualGyro.h"

namespace {

namespace fs = std::filesystem;
using namespace simtest;

// The record a factory-fresh virtual gyro holds: defaults, mode table 0, ID 4242, sealed.
Record FactoryRecord() {
    ParameterRecord r;
    r.setModelCode(0x80);
    r.setGyroId(4242);
    for (std::size_t j = 0; j < 40; ++j) r.setImageByte(j, defaultTableA[j]);
    for (std::size_t j = 0; j < 40; ++j) r.setImageByte(40 + j, modeTables[0][j]);
    Record out{};
    std::copy(r.bytes.begin(), r.bytes.end(), out.begin());
    Seal(out);
    return out;
}

class VirtualGyroTest : public ::testing::Test {
  protected:
    void SetUp() override {
        temp_ = MakeTempDir();
        savedHome_ = GetEnv("HOME");
        savedXdg_ = GetEnv("XDG_STATE_HOME");
        savedLocal_ = GetEnv("LOCALAPPDATA");
        vg_ = &VirtualGyro::Fresh();
        ft_ = BindFt(*vg_);
    }
    void TearDown() override {
        if (handle_) ft_.FT_Close(handle_);
        vg_->setFaults("");
        RestoreEnv("HOME", savedHome_);
        RestoreEnv("XDG_STATE_HOME", savedXdg_);
        RestoreEnv("LOCALAPPDATA", savedLocal_);
        std::error_code ec;
        fs::remove_all(temp_, ec);
    }

    // Opens the adapter and sets the line: the gyro's own setting unless told otherwise.
    void OpenLine(ULONG baud = 9600, UCHAR bits = FT_BITS_8, UCHAR stop = FT_STOP_BITS_2,
                  UCHAR parity = FT_PARITY_EVEN) {
        ASSERT_EQ(ft_.FT_Open(0, &handle_), FT_OK);
        ASSERT_EQ(ft_.FT_SetBaudRate(handle_, baud), FT_OK);
        ASSERT_EQ(ft_.FT_SetTimeouts(handle_, 1000, 1000), FT_OK);
        ASSERT_EQ(ft_.FT_SetDataCharacteristics(handle_, bits, stop, parity), FT_OK);
    }
    FT_STATUS Send(const Bytes& bytes) {
        DWORD written = 0;
        Bytes copy = bytes;
        return ft_.FT_Write(handle_, copy.data(), static_cast<DWORD>(copy.size()), &written);
    }
    // Everything that has come back, up to max bytes.
    Bytes Receive(std::size_t max = 4096) {
        Bytes buffer(max);
        DWORD got = 0;
        EXPECT_EQ(ft_.FT_Read(handle_, buffer.data(), static_cast<DWORD>(max), &got), FT_OK);
        buffer.resize(got);
        return buffer;
    }
    // Sends a frame and returns what came back.
    Bytes Exchange(const Bytes& bytes) {
        EXPECT_EQ(Send(bytes), FT_OK);
        return Receive();
    }
    void WritePages(const Record& record, std::uint16_t id, const std::vector<int>& pages) {
        for (int p : pages) ASSERT_EQ(Exchange(PageFrame(record, id, p)).size(), 17u);
    }
    std::string StateFile(const std::string& name = "vgyro.state") const {
        return (temp_ / name).string();
    }
    // Points the gyro at a state file (or "none") and renews it.
    void UseState(const std::string& path) {
        ::setenv("TARVEX_VGYRO_STATE", path.c_str(), 1);
        vg_->reset();
    }

    fs::path temp_;
    std::optional<std::string> savedHome_, savedXdg_, savedLocal_;
    VirtualGyro* vg_ = nullptr;
    FtTable ft_{};
    FT_HANDLE handle_ = nullptr;
};

// ---- The adapter -------------------------------------------------------------------------

TEST_F(VirtualGyroTest, ExportsAllNamesAndRefusesTheOnesNeverCalled) {
#define TARVEX_CHECK_EXPORT(name, params) EXPECT_NE(vg_->symbol(#name), nullptr) << #name;
    TARVEX_D2XX_ENTRY_POINTS(TARVEX_CHECK_EXPORT)
#undef TARVEX_CHECK_EXPORT
    OpenLine();
    DWORD version = 0, queued = 0;
    EXPECT_EQ(ft_.FT_GetLibraryVersion(&version), FT_NOT_SUPPORTED);
    EXPECT_EQ(ft_.FT_GetQueueStatus(handle_, &queued), FT_NOT_SUPPORTED);
    EXPECT_EQ(ft_.FT_ResetDevice(handle_), FT_NOT_SUPPORTED);
    EXPECT_EQ(ft_.FT_SetLatencyTimer(handle_, 2), FT_NOT_SUPPORTED);
}

TEST_F(VirtualGyroTest, ListsOneAdapterAtIndexZero) {
    char text[64] = {};
    EXPECT_EQ(ft_.FT_ListDevices(reinterpret_cast<PVOID>(0), text,
                                 FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION),
              FT_OK);
    EXPECT_STREQ(text, "TBX-3 (virtual)");
    EXPECT_EQ(ft_.FT_ListDevices(reinterpret_cast<PVOID>(1), text,
                                 FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION),
              FT_DEVICE_NOT_FOUND);
    DWORD count = 7;
    EXPECT_EQ(ft_.FT_ListDevices(&count, nullptr, 0x80000000), FT_OK);
    EXPECT_EQ(count, 1u);
    FT_HANDLE other = nullptr;
    EXPECT_EQ(ft_.FT_Open(1, &other), FT_DEVICE_NOT_FOUND);
}

TEST_F(VirtualGyroTest, OpensAgainWhileOpenAndAfterClose) {
    FT_HANDLE first = nullptr, second = nullptr, third = nullptr;
    ASSERT_EQ(ft_.FT_Open(0, &first), FT_OK);
    ASSERT_EQ(ft_.FT_Open(0, &second), FT_OK);
    EXPECT_EQ(first, second);
    ASSERT_EQ(ft_.FT_Close(first), FT_OK);
    EXPECT_EQ(ft_.FT_SetBaudRate(first, 9600), FT_INVALID_HANDLE);
    EXPECT_EQ(ft_.FT_Close(first), FT_INVALID_HANDLE);
    ASSERT_EQ(ft_.FT_Open(0, &third), FT_OK);
    EXPECT_EQ(ft_.FT_SetBaudRate(third, 9600), FT_OK);
    EXPECT_EQ(vg_->openCount(), 3);
    handle_ = third;
}

// The gyro answers only on 9600 baud, 8 data bits, even parity, 2 stop bits.
TEST_F(VirtualGyroTest, AnswersOnlyOnItsLineSetting) {
    struct Case {
        const char* name;
        ULONG baud;
        UCHAR bits, stop, parity;
        bool answers;
    };
    const Case cases[] = {
        {"9600 8E2", 9600, 8, FT_STOP_BITS_2, FT_PARITY_EVEN, true},
        {"19200 8E2", 19200, 8, FT_STOP_BITS_2, FT_PARITY_EVEN, false},
        {"9600 8N2", 9600, 8, FT_STOP_BITS_2, FT_PARITY_NONE, false},
        {"9600 8E1", 9600, 8, FT_STOP_BITS_1, FT_PARITY_EVEN, false},
        {"9600 7E2", 9600, 7, FT_STOP_BITS_2, FT_PARITY_EVEN, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vg_->reset();
        OpenLine(c.baud, c.bits, c.stop, c.parity);
        const Bytes back = Exchange(ReadRequest());
        EXPECT_EQ(back.size(), c.answers ? 101u : 0u);
        EXPECT_EQ(vg_->commandCount(), c.answers ? 1u : 0u);
        std::uint32_t baud = 0;
        int bits = 0, stop = 0, parity = 0;
        vg_->line(&baud, &bits, &stop, &parity);
        EXPECT_EQ(baud, c.baud);
        EXPECT_EQ(bits, c.bits);
        EXPECT_EQ(stop, c.stop);
        EXPECT_EQ(parity, c.parity);
        ASSERT_EQ(ft_.FT_Close(handle_), FT_OK);
        handle_ = nullptr;
    }
    // Opened afresh, the line is the driver's default 8N1 until it is set.
    ASSERT_EQ(ft_.FT_Open(0, &handle_), FT_OK);
    EXPECT_TRUE(Exchange(ReadRequest()).empty());
}

TEST_F(VirtualGyroTest, EchoesEveryByteWritten) {
    OpenLine();
    const Bytes burst(1000, 0x55);
    EXPECT_EQ(Exchange(burst), burst);
    const Bytes bus = BusFrameBytes(1, 1024);
    EXPECT_EQ(Exchange(bus), bus);
    const Bytes noise = {0x9F, 1, 2};
    EXPECT_EQ(Exchange(noise), noise);
    // Purge drops what has come back; reading takes what is there and no more.
    ASSERT_EQ(Send(burst), FT_OK);
    ASSERT_EQ(ft_.FT_Purge(handle_, FT_PURGE_RX), FT_OK);
    EXPECT_TRUE(Receive().empty());
    ASSERT_EQ(Send(noise), FT_OK);
    EXPECT_EQ(Receive(2), Bytes({0x9F, 1}));
    EXPECT_EQ(Receive(), Bytes({2}));
    EXPECT_EQ(vg_->commandCount(), 0u);  // neither a 3-byte nor a 1000-byte write is a frame
}

TEST_F(VirtualGyroTest, AnswersAReadRequestWithItsRecord) {
    OpenLine();
    const Bytes request = ReadRequest(/*id=*/777);  // any ID is answered
    const Bytes reply = Exchange(request);
    ASSERT_EQ(reply.size(), 101u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 17), request);
    const Record factory = FactoryRecord();
    EXPECT_EQ(reply[17], 0xA1);
    EXPECT_EQ(reply[18], 0x80);
    EXPECT_EQ(reply[19] << 8 | reply[20], 4242);
    EXPECT_TRUE(std::equal(reply.begin() + 21, reply.end(), factory.begin() + 4));
    EXPECT_EQ(ReplySum(reply), 0);
    EXPECT_EQ(vg_->record(), factory);
}

// ---- Frames ------------------------------------------------------------------------------

// The program's frames as they go out in a Read, a Write with its read-back, the two
// limit-mode frames and one more Read, starting from a gyro object whose working record is
// all zero but the model code. Each is classified by its restored flags byte, held bits
// included.
TEST_F(VirtualGyroTest, ClassifiesTheProgramsFrameSequence) {
    struct Step {
        const char* name;
        const char* wire;
        std::uint8_t flags, sum;
        bool replies;
        int limitMode;
    };
    const Step steps[] = {
        {"Read(true)", "9F 00 01 00 00 00 00 00 00 00 00 00 00 00 00 E0 9E", 0x07, 0x79, true, 0},
        {"page 0", "9F 00 01 00 00 00 00 00 00 00 00 00 00 00 00 97 E9", 0xE9, 0x97, false, 0},
        {"page 1", "9F 00 01 00 00 80 00 00 00 00 00 00 00 00 00 91 6F", 0x89, 0xF6, false, 0},
        {"page 2", "9F 00 01 00 00 40 00 00 00 00 00 00 00 00 00 91 AF", 0x89, 0xF5, false, 0},
        {"page 3", "9F 00 01 00 00 C0 00 00 00 00 00 00 00 00 00 91 2F", 0x89, 0xF4, false, 0},
        {"page 4", "9F 00 01 00 00 20 00 00 00 00 00 00 00 00 00 91 CF", 0x89, 0xF3, false, 0},
        {"page 5", "9F 00 01 00 00 A0 00 00 00 00 00 00 00 00 00 91 4F", 0x89, 0xF2, false, 0},
        {"page 6", "9F 00 01 00 00 60 00 00 00 00 00 00 00 00 00 91 8F", 0x89, 0xF1, false, 0},
        {"page 7", "9F 00 01 00 00 E0 00 00 00 00 00 00 00 00 00 91 0F", 0x89, 0xF0, false, 0},
        {"page 8", "9F 00 01 00 00 10 00 00 00 00 00 00 00 00 00 91 F7", 0x89, 0xEF, false, 0},
        {"closing", "9F 00 01 00 00 00 00 00 00 00 00 00 00 00 00 01 00", 0x80, 0x00, false, 0},
        {"Read(true)", "9F 00 01 00 00 00 00 00 00 00 00 00 00 00 00 E0 9E", 0x07, 0x79, true, 0},
        {"limit on", "9F 00 01 00 00 00 00 00 00 00 00 00 00 00 00 8F F1", 0xF1, 0x8F, false, 1},
        {"limit off", "9F 00 01 00 00 00 00 00 00 00 00 00 00 00 00 91 EF", 0x89, 0xF7, false, 0},
        {"Read(true)", "9F 00 01 00 00 00 00 00 00 00 00 00 00 00 00 E1 9F", 0x87, 0xF9, true, 0},
    };
    OpenLine();
    std::size_t i = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.name) + " (step " + std::to_string(i) + ")");
        const Bytes wire = Hex(s.wire);
        const Bytes back = Exchange(wire);
        ASSERT_EQ(back.size(), s.replies ? 101u : 17u);
        EXPECT_EQ(Bytes(back.begin(), back.begin() + 17), wire);
        const auto decoded = vg_->command(i++);
        EXPECT_EQ(decoded[15], s.flags);
        EXPECT_EQ(decoded[16], s.sum);
        EXPECT_EQ(vg_->limitMode(), s.limitMode);
        if (s.replies && i > 1) {
            // After the closing frame the gyro holds what the pages carried: ID 0, an
            // all-zero image, whose checksum word is 0 as well.
            EXPECT_TRUE(std::all_of(back.begin() + 19, back.end(), [](auto b) { return b == 0; }));
        }
    }
    Record expected{};
    expected[1] = 0x80;
    EXPECT_EQ(vg_->record(), expected);
}

TEST_F(VirtualGyroTest, CommitsOnlyAfterAllNinePages) {
    // A record unlike the factory one: image byte j is 3 j + 1, the pad byte 0x77.
    Record sent{};
    sent[1] = 0x80;
    for (std::size_t j = 0; j < 80; ++j) sent[4 + j] = static_cast<std::uint8_t>(3 * j + 1);
    sent[84] = 0x77;
    struct Case {
        const char* name;
        std::vector<int> pages;
        bool commits;
    };
    const Case cases[] = {
        {"all nine", {0, 1, 2, 3, 4, 5, 6, 7, 8}, true},
        {"backwards, with repeats", {8, 7, 6, 6, 5, 4, 3, 2, 1, 0, 0}, true},
        {"a page 9 is no page", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, true},
        {"page 8 missing", {0, 1, 2, 3, 4, 5, 6, 7}, false},
        {"page 0 missing", {1, 2, 3, 4, 5, 6, 7, 8}, false},
        {"none", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vg_->reset();
        OpenLine();
        WritePages(sent, 1234, c.pages);
        EXPECT_EQ(Exchange(ClosingFrame()).size(), 17u);
        const Record held = vg_->record();
        if (c.commits) {
            EXPECT_EQ(held[2] << 8 | held[3], 1234);  // the ID the pages carried
            EXPECT_TRUE(std::equal(held.begin() + 6, held.begin() + 84, sent.begin() + 6));
            EXPECT_EQ(ImageSum(held), 0);  // the gyro sealed its checksum word
            EXPECT_EQ(held[84], 0);        // the pad byte stays out
        } else {
            EXPECT_EQ(held, FactoryRecord());
        }
        ft_.FT_Close(handle_);
        handle_ = nullptr;
    }

    // A closing frame drops what was staged, stored or not.
    vg_->reset();
    OpenLine();
    WritePages(sent, 1234, {0, 1, 2, 3, 4, 5, 6, 7});
    Exchange(ClosingFrame());
    WritePages(sent, 1234, {8});
    Exchange(ClosingFrame());
    EXPECT_EQ(vg_->record(), FactoryRecord());
}

TEST_F(VirtualGyroTest, IgnoresFramesWithABadChecksum) {
    OpenLine();
    Record sent = FactoryRecord();
    sent[4 + 73] = 99;  // D gain
    // Echoed, but not answered, not obeyed.
    EXPECT_EQ(Exchange(Corrupt(ReadRequest())).size(), 17u);
    Exchange(Corrupt(LimitModeFrame(true)));
    EXPECT_EQ(vg_->limitMode(), 0);
    Exchange(LimitModeFrame(true));
    Exchange(Corrupt(ReadRequest()));
    EXPECT_EQ(vg_->limitMode(), 1) << "an ignored frame does not end the limit mode";
    // A bad page is not staged, so the closing frame stores nothing.
    for (int p = 0; p < 9; ++p) {
        const Bytes page = PageFrame(sent, 4242, p);
        Exchange(p == 4 ? Corrupt(page) : page);
    }
    Exchange(ClosingFrame());
    EXPECT_EQ(vg_->record(), FactoryRecord());
    // A bad closing frame leaves the staged pages waiting for a good one.
    WritePages(sent, 4242, {0, 1, 2, 3, 4, 5, 6, 7, 8});
    Exchange(Corrupt(ClosingFrame()));
    EXPECT_EQ(vg_->record(), FactoryRecord());
    Exchange(ClosingFrame());
    EXPECT_EQ(vg_->record()[4 + 73], 99);
}

// ---- The servo ---------------------------------------------------------------------------

TEST_F(VirtualGyroTest, ServoFollowsTheRudderChannelInLimitModeOnly) {
    OpenLine();
    const int rudder = 1;  // the factory channels byte 0x21: rudder "2"
    Exchange(BusFrameBytes(rudder, 1696));
    EXPECT_EQ(vg_->servoValue(), 1024) << "outside the limit mode bus frames move nothing";
    Exchange(LimitModeFrame(true));
    ASSERT_EQ(vg_->limitMode(), 1);
    struct Case {
        int value, percent;
    };
    for (const Case c : {Case{1696, 150}, Case{352, -150}, Case{1024, 0}, Case{1100, 16},
                         Case{900, -27}, Case{2047, 228}}) {
        SCOPED_TRACE(c.value);
        Exchange(BusFrameBytes(rudder, c.value));
        EXPECT_EQ(vg_->servoValue(), c.value);
        EXPECT_EQ(vg_->servoPercent(), c.percent);
    }
    Exchange(BusFrameBytes(rudder + 1, 1500));  // the gain channel moves; the rudder reads 0
    EXPECT_EQ(vg_->servoValue(), 0);
    EXPECT_EQ(vg_->busFrames(), 8u);
    // Any read request ends the limit mode and the servo goes back to neutral.
    EXPECT_EQ(Exchange(ReadRequest()).size(), 101u);
    EXPECT_EQ(vg_->limitMode(), 0);
    EXPECT_EQ(vg_->servoValue(), 1024);
    EXPECT_EQ(vg_->servoPercent(), 0);
}

TEST_F(VirtualGyroTest, ServoUsesTheStoredRudderChannel) {
    Record record = FactoryRecord();
    record[4 + 29] = 0x2F;  // rudder "16"
    Seal(record);
    vg_->setRecord(record.data());
    OpenLine();
    Exchange(LimitModeFrame(true));
    Exchange(BusFrameBytes(1, 400));
    EXPECT_EQ(vg_->servoValue(), 0);
    Exchange(BusFrameBytes(15, 1600));
    EXPECT_EQ(vg_->servoValue(), 1600);
}

// ---- The state file ----------------------------------------------------------------------

TEST_F(VirtualGyroTest, KeepsItsSettingsInTheStateFile) {
    const std::string path = (temp_ / "deeper" / "still" / "vgyro.state").string();
    UseState(path);
    EXPECT_EQ(vg_->loadState(), 0) << "no file yet: factory state";
    EXPECT_FALSE(fs::exists(path));
    OpenLine();
    Record sent = FactoryRecord();
    sent[4 + 15] = 77;  // base gain
    WritePages(sent, 1234, {0, 1, 2, 3, 4, 5, 6, 7, 8});
    Exchange(ClosingFrame());
    const Record written = vg_->record();
    EXPECT_EQ(ReadFile(path), Bytes(written.begin(), written.end()));
    vg_->reset();  // a fresh gyro in memory; the file stays
    EXPECT_EQ(vg_->record(), FactoryRecord());
    EXPECT_EQ(vg_->loadState(), 1);
    EXPECT_EQ(vg_->record(), written);
    EXPECT_EQ(vg_->record()[4 + 15], 77);
    // Nothing is left behind but the file itself.
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(path).parent_path()),
                            fs::directory_iterator()),
              1);
}

TEST_F(VirtualGyroTest, TakesTheFactoryStateForAnUnusableFile) {
    Record good = FactoryRecord();
    good[4 + 15] = 60;
    Seal(good);
    struct Case {
        const char* name;
        Bytes content;
        bool taken;
    };
    auto with = [&](std::size_t at, std::uint8_t v) {
        Bytes b(good.begin(), good.end());
        b[at] = v;
        return b;
    };
    Bytes shortFile(good.begin(), good.end() - 1);
    Bytes longFile(good.begin(), good.end());
    longFile.push_back(0);
    const Case cases[] = {
        {"good", Bytes(good.begin(), good.end()), true},
        {"short", shortFile, false},
        {"long", longFile, false},
        {"empty", {}, false},
        {"checksum off", with(4 + 20, static_cast<std::uint8_t>(good[24] + 1)), false},
        {"model 0x81", with(1, 0x81), false},
        {"reserved byte set", with(0, 1), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = StateFile(std::string(c.name) + ".state");
        WriteFile(path, c.content);
        UseState(path);
        EXPECT_EQ(vg_->loadState(), c.taken ? 1 : 0);
        EXPECT_EQ(vg_->record(), c.taken ? good : FactoryRecord());
    }
    UseState("none");
    EXPECT_EQ(vg_->loadState(), 0);
}

TEST_F(VirtualGyroTest, StateFileIsInTheUsersStateFolderUnlessNone) {
    struct Case {
        const char* name;
        bool xdg;
        fs::path expected;
    };
    const Case cases[] = {
        {"XDG_STATE_HOME", true, temp_ / "xdg" / "tarvex" / "vgyro.state"},
#ifdef _WIN32
        {"LOCALAPPDATA", false, temp_ / "home" / "tarvex" / "vgyro.state"},
#else
        {"HOME", false, temp_ / "home" / ".local" / "state" / "tarvex" / "vgyro.state"},
#endif
        {"none", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(temp_ / "home");
        fs::remove_all(temp_ / "xdg");
        if (c.expected.empty()) {
            ::setenv("TARVEX_VGYRO_STATE", "none", 1);
        } else {
            ::unsetenv("TARVEX_VGYRO_STATE");
        }
        ::setenv("HOME", (temp_ / "home").string().c_str(), 1);
        ::setenv("LOCALAPPDATA", (temp_ / "home").string().c_str(), 1);
        if (c.xdg) {
            ::setenv("XDG_STATE_HOME", (temp_ / "xdg").string().c_str(), 1);
        } else {
            ::unsetenv("XDG_STATE_HOME");
        }
        vg_->reset();
        Record record = FactoryRecord();
        record[4 + 30] = 3;
        Seal(record);
        vg_->setRecord(record.data());
        if (c.expected.empty()) {
            EXPECT_TRUE(fs::is_empty(temp_)) << "memory only";
        } else {
            EXPECT_EQ(ReadFile(c.expected.string()), Bytes(record.begin(), record.end()));
        }
    }
}

// ---- Faults ------------------------------------------------------------------------------

// The calls the adapter makes are failed end to end; here the others.
TEST_F(VirtualGyroTest, NamedCallsFail) {
    OpenLine();
    ASSERT_EQ(vg_->setFaults("fail=FT_Close,fail=FT_GetLibraryVersion"), 0);
    DWORD version = 0;
    EXPECT_EQ(ft_.FT_GetLibraryVersion(&version), FT_IO_ERROR);
    EXPECT_EQ(ft_.FT_Close(handle_), FT_IO_ERROR);
    EXPECT_EQ(Exchange(ReadRequest()).size(), 101u) << "still open";
    char text[64];
    DWORD count = 5;
    ASSERT_EQ(vg_->setFaults("no-device"), 0);
    EXPECT_EQ(ft_.FT_ListDevices(&count, nullptr, 0x80000000), FT_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(ft_.FT_ListDevices(nullptr, text, 0x40000002), FT_DEVICE_NOT_FOUND);
}

// What a read request gets back under each fault of the reply.
TEST_F(VirtualGyroTest, SpoilsTheReplyAsTold) {
    struct Case {
        const char* faults;
        std::size_t length;
        std::uint8_t header, model;
        int sum;  // -1: a partial image sums to anything
    };
    const Case cases[] = {
        {"", 101, 0xA1, 0x80, 0},
        {"no-reply", 17, 0, 0, 0},
        {"cut=0", 0, 0, 0, 0},
        {"cut=10", 10, 0, 0, 0},
        {"cut=17", 17, 0, 0, 0},
        {"cut=18", 18, 0xA1, 0, 0},
        {"cut=60", 60, 0xA1, 0x80, -1},
        {"cut=500", 101, 0xA1, 0x80, 0},
        {"bad-header", 101, 0xA2, 0x80, 0},
        {"bad-sum", 101, 0xA1, 0x80, 1},
        {"model=0x81", 101, 0xA1, 0x81, 0},
        {"model=129, bad-sum", 101, 0xA1, 0x81, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        vg_->reset();
        ASSERT_EQ(vg_->setFaults(c.faults), 0);
        OpenLine();
        const Bytes request = ReadRequest();
        Bytes reply = Exchange(request);
        ASSERT_EQ(reply.size(), c.length);
        EXPECT_TRUE(std::equal(reply.begin(), reply.begin() + std::min<std::size_t>(17, c.length),
                               request.begin()));
        reply.resize(101, 0);  // as the program's zero-filled buffer would hold it
        EXPECT_EQ(reply[17], c.header);
        EXPECT_EQ(reply[18], c.model);
        if (c.sum >= 0) {
            EXPECT_EQ(ReplySum(reply), c.sum);
        }
        // Other echoes are never cut.
        EXPECT_EQ(Exchange(ClosingFrame()).size(), 17u);
        ft_.FT_Close(handle_);
        handle_ = nullptr;
    }
}

TEST_F(VirtualGyroTest, StoresADifferentDGainWhenTold) {
    ASSERT_EQ(vg_->setFaults("store-differs"), 0);
    OpenLine();
    Record sent = FactoryRecord();
    sent[4 + 73] = 200;
    WritePages(sent, 4242, {0, 1, 2, 3, 4, 5, 6, 7, 8});
    Exchange(ClosingFrame());
    const Record held = vg_->record();
    EXPECT_EQ(held[4 + 73], 201);
    EXPECT_EQ(ImageSum(held), 0);
}

TEST_F(VirtualGyroTest, WritesFailAfterTheirCount) {
    ASSERT_EQ(vg_->setFaults("write-fails-after=3"), 0);
    OpenLine();
    const std::vector<FT_STATUS> expected = {FT_OK, FT_OK, FT_OK, FT_IO_ERROR, FT_IO_ERROR};
    std::vector<FT_STATUS> got;
    for (std::size_t i = 0; i < expected.size(); ++i) got.push_back(Send(ReadRequest()));
    EXPECT_EQ(got, expected);
    EXPECT_EQ(vg_->commandCount(), 3u);
    // Setting the faults again starts the count afresh.
    ASSERT_EQ(vg_->setFaults("write-fails-after=1"), 0);
    EXPECT_EQ(Send(ReadRequest()), FT_OK);
    EXPECT_EQ(Send(ReadRequest()), FT_IO_ERROR);
}

TEST_F(VirtualGyroTest, UnplugsAfterItsBusFrames) {
    ASSERT_EQ(vg_->setFaults("unplug-after=2"), 0);
    OpenLine();
    EXPECT_EQ(Send(BusFrameBytes(1, 1024)), FT_OK);
    EXPECT_EQ(Send(ReadRequest()), FT_OK) << "command frames do not count";
    EXPECT_EQ(Send(BusFrameBytes(1, 1024)), FT_OK);
    EXPECT_EQ(Send(BusFrameBytes(1, 1024)), FT_DEVICE_NOT_FOUND);
    std::uint8_t buffer[8];
    DWORD count = 0;
    EXPECT_EQ(ft_.FT_Read(handle_, buffer, 8, &count), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(ft_.FT_Purge(handle_, FT_PURGE_RX), FT_DEVICE_NOT_FOUND);
    char text[64];
    EXPECT_EQ(ft_.FT_ListDevices(nullptr, text, 0x40000002), FT_DEVICE_NOT_FOUND);
    FT_HANDLE again = nullptr;
    EXPECT_EQ(ft_.FT_Open(0, &again), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(ft_.FT_Close(handle_), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(ft_.FT_Close(handle_), FT_DEVICE_NOT_FOUND) << "closed already";
    handle_ = nullptr;
    EXPECT_EQ(vg_->busFrames(), 2u);
    vg_->reset();  // plugged in again
    OpenLine();
    EXPECT_EQ(Exchange(ReadRequest()).size(), 101u);
}

TEST_F(VirtualGyroTest, RefusesAFaultListItCannotRead) {
    ASSERT_EQ(vg_->setFaults(" no-reply , cut=5 "), 0);
    for (const char* bad : {"bogus", "fail=FT_Nothing", "fail=", "cut=", "cut=x", "cut=-1",
                            "model=0x100", "no-reply=1", "write-fails-after", "no-reply,bogus"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(vg_->setFaults(bad), -1);
    }
    OpenLine();
    EXPECT_EQ(Exchange(ReadRequest()).size(), 5u) << "the earlier faults still hold";
    EXPECT_EQ(vg_->setFaults(nullptr), 0);
    EXPECT_EQ(Exchange(ReadRequest()).size(), 101u);
}

TEST_F(VirtualGyroTest, TakesFaultsFromTheEnvironment) {
    ::setenv("TARVEX_VGYRO_FAULTS", "bad-header,fail=FT_Purge", 1);
    vg_->reset();
    ::unsetenv("TARVEX_VGYRO_FAULTS");
    OpenLine();
    EXPECT_EQ(ft_.FT_Purge(handle_, FT_PURGE_RX), FT_IO_ERROR);
    EXPECT_EQ(Exchange(ReadRequest())[17], 0xA2);
    vg_->reset();
    EXPECT_EQ(ft_.FT_Purge(handle_, FT_PURGE_RX), FT_OK);
}

// ---- Line timing and threads -------------------------------------------------------------

TEST_F(VirtualGyroTest, WithLineTimingAReadWaitsForTheReply) {
    ::unsetenv("TARVEX_VGYRO_FAST");
    vg_->reset();
    OpenLine();
    ASSERT_EQ(ft_.FT_SetTimeouts(handle_, 1, 1000), FT_OK);
    // The reply's last byte is 126 ms away: a 1 ms read cannot have it.
    ASSERT_EQ(Send(ReadRequest()), FT_OK);
    const Bytes early = Receive(101);
    EXPECT_LT(early.size(), 101u);
    // A read with time to spare waits for the rest, whatever was taken before.
    ASSERT_EQ(ft_.FT_SetTimeouts(handle_, 5000, 1000), FT_OK);
    Bytes rest = Receive(101 - early.size());
    Bytes reply = early;
    reply.insert(reply.end(), rest.begin(), rest.end());
    ASSERT_EQ(reply.size(), 101u);
    EXPECT_EQ(reply[17], 0xA1);
    EXPECT_EQ(ReplySum(reply), 0);
}

TEST_F(VirtualGyroTest, StreamAndCommandsFromTwoThreads) {
    OpenLine();
    Exchange(LimitModeFrame(true));
    constexpr int kFrames = 300;
    std::atomic<bool> failed{false};
    std::thread stream([&] {
        for (int i = 0; i < kFrames; ++i) {
            Bytes frame = BusFrameBytes(1, 352 + i);
            DWORD written = 0;
            if (ft_.FT_Write(handle_, frame.data(), 25, &written) != FT_OK) failed = true;
        }
    });
    for (int i = 0; i < 50; ++i) {
        Record record{};
        vg_->getRecord(record.data());
        vg_->servoPercent();
        std::uint8_t buffer[64];
        DWORD got = 0;
        if (ft_.FT_Read(handle_, buffer, sizeof buffer, &got) != FT_OK) failed = true;
    }
    stream.join();
    EXPECT_FALSE(failed);
    EXPECT_EQ(vg_->busFrames(), static_cast<std::uint64_t>(kFrames));
    EXPECT_EQ(vg_->servoValue(), 352 + kFrames - 1);
}

}  // namespace
