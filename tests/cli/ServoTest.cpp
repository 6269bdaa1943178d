// The servo drive against the virtual gyro, in-process, so that the gyro's side can be
// watched at each of the drive's waits.
#include <gtest/gtest.h>

#include <atomic>

#include "cli/Servo.h"
#include "gyro/BusFrame.h"
#include "gyro/Commands.h"
#include "link/TBX3.h"
#include "tests/support/RecordingPause.h"
#include "tests/support/VirtualGyro.h"

namespace {

class ServoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        vg_ = &VirtualGyro::Fresh();
        adapter_.Initialize();
        adapter_.Open();
        RunReadCommand(gyro_);
        pause_.clear();
    }

    VirtualGyro* vg_ = nullptr;
    RecordingPause pause_;
    TBX3 adapter_;
    KR640 gyro_{adapter_};
    std::atomic<bool> stop_{false};
};

TEST_F(ServoTest, LimitModeThenStreamThenTheProceduresStop) {
    const int rudder = gyro_.workingRecord.rudderChannel();
    int waits = 0;
    int limitModeAtFirstWait = -1;
    std::uint64_t framesAtFirstWait = 99;
    std::uint64_t framesAtSecondWait = 0;
    int servoAtSecondWait = 0;
    pause_.onWait([&](std::uint32_t) {
        if (++waits == 1) {  // after limit mode on, before the stream
            limitModeAtFirstWait = vg_->limitMode();
            framesAtFirstWait = vg_->busFrames();
        } else if (waits == 2) {  // after the stream was killed, before limit mode off
            framesAtSecondWait = vg_->busFrames();
            servoAtSecondWait = vg_->servoValue();
        }
    });

    EXPECT_EQ(cli::DriveServo(gyro_, 1472, std::chrono::duration<double>(0.2), stop_), 0);

    EXPECT_EQ(pause_.waits(), (std::vector<std::uint32_t>{100, 100}));
    EXPECT_EQ(limitModeAtFirstWait, 1);
    EXPECT_EQ(framesAtFirstWait, 0u);
    EXPECT_GT(framesAtSecondWait, 0u);
    EXPECT_EQ(servoAtSecondWait, 1472);
    EXPECT_EQ(vg_->limitMode(), 0);
    EXPECT_EQ(vg_->busFrames(), framesAtSecondWait);  // nothing after the stop
    EXPECT_EQ(BusFrame.channel(rudder), cli::kServoPositionCentre);
}

TEST_F(ServoTest, StopRequestEndsTheDriveThroughTheStop) {
    stop_ = true;
    EXPECT_EQ(cli::DriveServo(gyro_, 352, std::nullopt, stop_), 0);
    EXPECT_EQ(vg_->limitMode(), 0);
    EXPECT_EQ(pause_.waits(), (std::vector<std::uint32_t>{100, 100}));
}

TEST_F(ServoTest, LostAdapterIsAWriteError) {
    ASSERT_EQ(vg_->setFaults("unplug-after=3"), 0);
    EXPECT_EQ(cli::DriveServo(gyro_, 352, std::nullopt, stop_), 104);
    EXPECT_EQ(vg_->busFrames(), 3u);
}

TEST_F(ServoTest, RefusedLimitModeIsAWriteErrorAndNothingStreams) {
    ASSERT_EQ(vg_->setFaults("fail=FT_Write"), 0);
    EXPECT_EQ(cli::DriveServo(gyro_, 352, std::chrono::duration<double>(5), stop_), 104);
    EXPECT_EQ(vg_->busFrames(), 0u);
    EXPECT_TRUE(pause_.waits().empty());
}

}  // namespace
