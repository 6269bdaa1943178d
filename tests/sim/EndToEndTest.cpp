// The program's own adapter, gyro object and commands against the virtual gyro: the real
// loader binds the library, the transactions cross the virtual line, and every fault the
// gyro can play ends in the failure the commands report for it. Waits are recorded, not
// slept.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <typeindex>
#include <vector>

#include "gyro/BusFrame.h"
#include "gyro/Commands.h"
#include "gyro/KR640.h"
#include "gyro/StreamTimer.h"
#include "link/TBX3.h"
#include "tests/support/RecordingPause.h"
#include "tests/support/VirtualGyro.h"

namespace {

using Record = std::array<std::uint8_t, 85>;

// Record bytes 1..83 (model code, ID, image) of the virtual gyro and of a record agree.
bool SameAsGyro(const ParameterRecord& record, const Record& gyro) {
    return std::equal(gyro.begin() + 1, gyro.begin() + 84, record.bytes.begin() + 1);
}

// Waits for a condition that another thread makes true; false after five seconds.
bool Eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class EndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        vg_ = &VirtualGyro::Fresh();
        for (auto& slot : BusFrame.channelValues) slot = 0;
    }
    void TearDown() override { vg_->setFaults(""); }

    // The connect step of the program, on an adapter of the test's own.
    void Connect() {
        adapter_ = std::make_unique<TBX3>();
        adapter_->Initialize();
        adapter_->Open();
        gyro_ = std::make_unique<KR640>(*adapter_);
    }

    VirtualGyro* vg_ = nullptr;
    RecordingPause pause_;
    std::unique_ptr<TBX3> adapter_;
    std::unique_ptr<KR640> gyro_;
};

TEST_F(EndToEndTest, ReadFetchesTheGyrosRecord) {
    ASSERT_NO_THROW(Connect());
    std::uint32_t baud = 0;
    int bits = 0, stop = 0, parity = 0;
    vg_->line(&baud, &bits, &stop, &parity);
    EXPECT_EQ(baud, 9600u);
    EXPECT_EQ(bits, FT_BITS_8);
    EXPECT_EQ(stop, FT_STOP_BITS_2);
    EXPECT_EQ(parity, FT_PARITY_EVEN);

    ASSERT_NO_THROW(RunReadCommand(*gyro_));
    EXPECT_TRUE(SameAsGyro(gyro_->deviceRecord, vg_->record()));
    EXPECT_EQ(gyro_->workingRecord, gyro_->deviceRecord);
    EXPECT_EQ(gyro_->deviceRecord.gyroId(), 4242);
    EXPECT_EQ(gyro_->deviceRecord.modeFlags(), 0xA9);
    EXPECT_EQ(pause_.waits(), std::vector<std::uint32_t>({500}));
}

// What --simulate does: the virtual gyro's library is found beside the program (the test
// runs from the build's bin folder, as the program does) and read through it.
TEST_F(EndToEndTest, SimulateFindsTheVirtualGyroBesideTheProgram) {
    const std::string beside = D2xxDriver::FindBesideProgram(D2xxDriver::kVirtualGyroFile);
    ASSERT_FALSE(beside.empty()) << D2xxDriver::kVirtualGyroFile << " not found";
    EXPECT_TRUE(std::filesystem::equivalent(PathFromUtf8(beside),
                                            std::filesystem::absolute(TARVEX_VGYRO_PATH)));
    ::setenv("TARVEX_D2XX", beside.c_str(), 1);
    ASSERT_NO_THROW(Connect());
    ASSERT_NO_THROW(RunReadCommand(*gyro_));
    EXPECT_TRUE(SameAsGyro(gyro_->deviceRecord, vg_->record()));
}

TEST_F(EndToEndTest, ReadEditWriteVerifies) {
    ASSERT_NO_THROW(Connect());
    ASSERT_NO_THROW(RunReadCommand(*gyro_));
    for (const bool notUsingId : {false, true}) {
        SCOPED_TRACE(notUsingId ? "not using ID" : "using ID");
        pause_.clear();
        gyro_->workingRecord.setBaseGain(notUsingId ? 81 : 80);
        gyro_->workingRecord.setDGain(120);
        gyro_->workingRecord.setExpNormal(-30);
        EXPECT_NO_THROW(RunWriteCommand(*gyro_, notUsingId));
        const ParameterRecord& held = gyro_->deviceRecord;
        EXPECT_EQ(held.baseGain(), notUsingId ? 81 : 80);
        EXPECT_EQ(held.dGain(), 120);
        EXPECT_EQ(held.expNormal(), -30);
        EXPECT_TRUE(SameAsGyro(held, vg_->record()));
        std::vector<std::uint32_t> waits(9, 100);
        waits.push_back(500);
        EXPECT_EQ(pause_.waits(), waits);
    }
}

// With line timing the reply trickles in behind the echo; the adapter's read, with its
// 1000 ms time-out, waits for all of it.
TEST_F(EndToEndTest, ReadOverATimedLine) {
    ::unsetenv("TARVEX_VGYRO_FAST");
    vg_->reset();
    ASSERT_NO_THROW(Connect());
    ASSERT_NO_THROW(gyro_->Read(true));
    EXPECT_TRUE(SameAsGyro(gyro_->deviceRecord, vg_->record()));
}

// A settings file from another gyro, opened after a Read and written: the gyro takes its ID
// and settings, seals its own checksum word, and the read-back agrees.
TEST_F(EndToEndTest, FileFromAnotherGyroWritesAndVerifies) {
    ASSERT_NO_THROW(Connect());
    ASSERT_NO_THROW(RunReadCommand(*gyro_));
    ParameterRecord file = gyro_->workingRecord;
    file.setGyroId(1234);
    file.setFlightMode(0);
    for (std::size_t j = 0; j < 40; ++j) file.setImageByte(40 + j, modeTables[2][j]);
    file.setImageChecksum(0);  // as a reset to defaults leaves it
    gyro_->workingRecord = file;
    ASSERT_NO_THROW(RunWriteCommand(*gyro_));
    const Record held = vg_->record();
    EXPECT_EQ(held[2] << 8 | held[3], 1234);
    EXPECT_TRUE(recordsEqual(gyro_->deviceRecord, file));
    EXPECT_NE(gyro_->deviceRecord.imageChecksum(), 0) << "the gyro's own checksum word";
    // And the next Read brings the same back.
    ASSERT_NO_THROW(RunReadCommand(*gyro_));
    EXPECT_EQ(gyro_->workingRecord.gyroId(), 1234);
    EXPECT_EQ(gyro_->workingRecord.holdexYawRate(), 720);
}

TEST_F(EndToEndTest, LimitModeAndBusFramesMoveTheServo) {
    ASSERT_NO_THROW(Connect());
    ASSERT_NO_THROW(RunReadCommand(*gyro_));
    const int rudder = gyro_->workingRecord.rudderChannel();
    const Record before = vg_->record();

    ASSERT_NO_THROW(gyro_->SetLimitMode(true));
    EXPECT_EQ(vg_->limitMode(), 1);
    struct Step {
        std::uint16_t value;
        int percent;
    };
    for (const Step s : {Step{1696, 150}, Step{352, -150}, Step{1200, 39}, Step{1024, 0}}) {
        SCOPED_TRACE(s.value);
        BusFrame.setChannel(rudder, s.value);
        ASSERT_NO_THROW(StreamTimerProc(*adapter_));
        EXPECT_EQ(vg_->servoValue(), s.value);
        EXPECT_EQ(vg_->servoPercent(), s.percent);
    }
    BusFrame.setChannel(rudder, 1500);
    StreamTimerProc(*adapter_);

    // The stop routine's limit-mode-off frame looks like a page 0 to the gyro: it leaves
    // the limit mode and changes nothing stored.
    ASSERT_NO_THROW(gyro_->SetLimitMode(false));
    EXPECT_EQ(vg_->limitMode(), 0);
    EXPECT_EQ(vg_->servoValue(), 1024);
    StreamTimerProc(*adapter_);
    EXPECT_EQ(vg_->servoValue(), 1024) << "outside the limit mode frames move nothing";
    ASSERT_NO_THROW(RunReadCommand(*gyro_));
    EXPECT_EQ(vg_->record(), before);

    // After the second limit point the stream stops without a limit-mode-off frame; the next
    // Read takes the gyro out of the limit mode, and a Write still verifies.
    ASSERT_NO_THROW(gyro_->SetLimitMode(true));
    ASSERT_NO_THROW(RunReadCommand(*gyro_));
    EXPECT_EQ(vg_->limitMode(), 0);
    ASSERT_TRUE(setLimitHigh(gyro_->workingRecord, 4800));
    ASSERT_TRUE(setLimitLow(gyro_->workingRecord, 2500));
    EXPECT_NO_THROW(RunWriteCommand(*gyro_));
    EXPECT_EQ(vg_->record()[4 + 2] << 8 | vg_->record()[4 + 3], 4800);
}

TEST_F(EndToEndTest, StreamTimerDrivesTheServo) {
    ASSERT_NO_THROW(Connect());
    ASSERT_NO_THROW(RunReadCommand(*gyro_));
    const int rudder = gyro_->workingRecord.rudderChannel();
    ASSERT_NO_THROW(gyro_->SetLimitMode(true));
    BusFrame.setChannel(rudder, 1400);
    StreamTimer timer;
    ASSERT_TRUE(timer.Start(*adapter_, {}, std::chrono::milliseconds(1)));
    EXPECT_TRUE(Eventually([&] { return vg_->servoValue() == 1400; }));
    BusFrame.setChannel(rudder, 700);
    EXPECT_TRUE(Eventually([&] { return vg_->servoValue() == 700; }));
    timer.Stop();
    EXPECT_EQ(vg_->servoPercent(), (700 - 1024) * 150 / 672);
    EXPECT_EQ(vg_->busFrames(), timer.FramesSent());
    ASSERT_NO_THROW(gyro_->SetLimitMode(false));
    EXPECT_NO_THROW(RunReadCommand(*gyro_)) << "the stream's echoes are purged before the read";
}

// Every fault the gyro can play, and the failure the command reports for it.
TEST_F(EndToEndTest, FaultsEndInTheirFailure) {
    struct Case {
        const char* faults;
        CommandKind kind;
        std::type_index error;
        int message;
    };
    using ConnectionError = TBX3::ConnectionError;
    const Case cases[] = {
        {"fail=FT_Purge", CommandKind::Read, typeid(ConnectionError), 120},
        {"fail=FT_Write", CommandKind::Read, typeid(TBX3::WriteError), 103},
        {"write-fails-after=1", CommandKind::Read, typeid(TBX3::WriteError), 103},
        {"fail=FT_Read", CommandKind::Read, typeid(TBX3::ReadError), 103},
        {"no-reply", CommandKind::Read, typeid(TBX3::ReadError), 103},
        {"cut=10", CommandKind::Read, typeid(TBX3::ReadError), 103},
        {"cut=60", CommandKind::Read, typeid(TBX3::ReadError), 103},
        {"cut=18", CommandKind::Read, typeid(CompatibilityError), 102},
        {"bad-header", CommandKind::Read, typeid(TBX3::ReadError), 103},
        {"bad-sum", CommandKind::Read, typeid(TBX3::ReadError), 103},
        {"model=0x81", CommandKind::Read, typeid(CompatibilityError), 102},
        {"fail=FT_Write", CommandKind::Write, typeid(TBX3::WriteError), 104},
        {"write-fails-after=4", CommandKind::Write, typeid(TBX3::WriteError), 104},
        {"write-fails-after=9", CommandKind::Write, typeid(TBX3::WriteError), 104},
        {"store-differs", CommandKind::Write, typeid(TBX3::WriteError), 104},
        {"fail=FT_Purge", CommandKind::Write, typeid(ConnectionError), 120},
        {"no-reply", CommandKind::Write, typeid(TBX3::ReadError), 104},
        {"bad-sum", CommandKind::Write, typeid(TBX3::ReadError), 104},
        {"model=0x81", CommandKind::Write, typeid(CompatibilityError), 102},
    };
    ASSERT_NO_THROW(Connect());
    for (const Case& c : cases) {
        const bool read = c.kind == CommandKind::Read;
        SCOPED_TRACE(std::string(read ? "Read, " : "Write, ") + c.faults);
        vg_->reset();
        ASSERT_NO_THROW(RunReadCommand(*gyro_));
        const Record before = vg_->record();
        gyro_->workingRecord.setBaseGain(99);
        ASSERT_EQ(vg_->setFaults(c.faults), 0);
        try {
            if (read) {
                RunReadCommand(*gyro_);
            } else {
                RunWriteCommand(*gyro_);
            }
            ADD_FAILURE() << "no failure";
        } catch (const std::exception& e) {
            EXPECT_EQ(std::type_index(typeid(e)), c.error) << typeid(e).name();
            EXPECT_EQ(CommandFailureMessage(c.kind, e), c.message);
        }
        // A write cut short stores nothing: the gyro never holds half a record.
        if (std::string(c.faults).starts_with("write-fails-after")) {
            EXPECT_EQ(vg_->record(), before);
        }
        // With the fault gone the gyro answers again.
        vg_->setFaults("");
        EXPECT_NO_THROW(RunReadCommand(*gyro_));
    }
}

TEST_F(EndToEndTest, ConnectFailsWithOpenError) {
    for (const char* faults :
         {"no-device", "fail=FT_ListDevices", "fail=FT_Open", "fail=FT_SetBaudRate",
          "fail=FT_SetTimeouts", "fail=FT_SetDataCharacteristics"}) {
        SCOPED_TRACE(faults);
        vg_->reset();
        ASSERT_EQ(vg_->setFaults(faults), 0);
        TBX3 adapter;
        ASSERT_NO_THROW(adapter.Initialize());
        try {
            adapter.Open();
            ADD_FAILURE() << "opened";
        } catch (const std::exception& e) {
            EXPECT_EQ(std::type_index(typeid(e)), std::type_index(typeid(TBX3::OpenError)));
            EXPECT_EQ(CommandFailureMessage(CommandKind::Read, e), 119);
        }
    }
}

TEST_F(EndToEndTest, UnpluggedWhileStreaming) {
    ASSERT_NO_THROW(Connect());
    ASSERT_NO_THROW(RunReadCommand(*gyro_));
    ASSERT_NO_THROW(gyro_->SetLimitMode(true));
    ASSERT_EQ(vg_->setFaults("unplug-after=3"), 0);

    std::mutex mutex;
    std::condition_variable failed;
    bool failure = false;
    StreamTimer timer;
    ASSERT_TRUE(timer.Start(
        *adapter_,
        [&] {
            std::lock_guard lock(mutex);
            failure = true;
            failed.notify_all();
        },
        std::chrono::milliseconds(1)));
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(failed.wait_for(lock, std::chrono::seconds(5), [&] { return failure; }));
    }
    timer.Stop();
    EXPECT_EQ(vg_->busFrames(), 3u);
    EXPECT_EQ(timer.FramesSent(), 3u);

    // The stop routine's frame and the next Read both find the adapter gone.
    EXPECT_THROW(gyro_->SetLimitMode(false), TBX3::WriteError);
    try {
        RunReadCommand(*gyro_);
        ADD_FAILURE() << "read from an unplugged adapter";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::type_index(typeid(e)), std::type_index(typeid(TBX3::WriteError)));
        EXPECT_EQ(CommandFailureMessage(CommandKind::Read, e), 103);
    }
}

}  // namespace
