#include <gtest/gtest.h>

#include "GyroTestSupport.h"
#include "RecordingPause.h"
#include "ScriptedD2xx.h"
#include "gyro/Commands.h"

namespace {

class CommandsTest : public ::testing::Test {
  protected:
    ScriptedAdapter adapter;
    ScriptedD2xx& script = adapter.script();
    RecordingPause pause;
    KR640 gyro{adapter};
    std::vector<unsigned> writesAtWait;

    void SetUp() override {
        pause.onWait([this](std::uint32_t) { writesAtWait.push_back(script.WriteCount()); });
    }
    // The flags byte of a sent frame, as it was before reversal.
    std::uint8_t SentFlags(unsigned index) { return ReverseBits(script.Write(index).at(15)); }
};

TEST_F(CommandsTest, ReadCommand) {
    const ParameterRecord gyroHolds = SampleRecord();
    script.ReplyAfterWrite(2, MakeReply(gyroHolds));
    gyro.deviceRecord.setRecordPad(0x5E);  // all 85 bytes are copied, the pad byte too
    gyro.workingRecord.setBaseGain(99);

    RunReadCommand(gyro);

    ASSERT_EQ(script.WriteCount(), 2u);
    EXPECT_EQ(script.Write(0), std::vector<std::uint8_t>(1000, 0x55));
    EXPECT_EQ(script.Write(1).size(), 17u);
    EXPECT_EQ(pause.waits(), std::vector<std::uint32_t>{500});
    EXPECT_EQ(writesAtWait, std::vector<unsigned>{1});  // between the burst and the request
    EXPECT_EQ(SentFlags(1) & 0x07, 0x07);               // Read(true)
    EXPECT_EQ(gyro.workingRecord, gyro.deviceRecord);
    EXPECT_EQ(gyro.workingRecord.recordPad(), 0x5E);
    EXPECT_EQ(gyro.workingRecord.gyroId(), 0x1234);
    EXPECT_TRUE(recordsEqual(gyro.workingRecord, gyroHolds));
}

TEST_F(CommandsTest, ReadCommandFailuresLeaveTheWorkingRecord) {
    const ParameterRecord before = gyro.workingRecord;
    script.FailCall("FT_Write", 1);
    EXPECT_THROW(RunReadCommand(gyro), TBX3::WriteError);
    EXPECT_TRUE(pause.waits().empty());
    EXPECT_EQ(script.CallCount("FT_Purge"), 0u);

    script.Reset();
    ParameterRecord foreign = SampleRecord();
    foreign.setModelCode(0x81);
    script.ReplyAfterWrite(2, MakeReply(foreign));
    EXPECT_THROW(RunReadCommand(gyro), CompatibilityError);
    EXPECT_EQ(gyro.workingRecord, before);
    EXPECT_EQ(gyro.deviceRecord.modelCode(), 0x81);
    EXPECT_FALSE(recordsEqual(gyro.workingRecord, gyro.deviceRecord));
}

TEST_F(CommandsTest, WriteCommandVerifies) {
    gyro.workingRecord = SampleRecord();
    resetToDefaults(gyro.workingRecord);
    // The gyro stores what it was sent and answers with its own checksum word.
    script.ReplyAfterWrite(11, MakeReply(gyro.workingRecord));

    RunWriteCommand(gyro);

    ASSERT_EQ(script.WriteCount(), 11u);
    std::vector<std::uint32_t> expected(9, 100);
    expected.push_back(500);
    EXPECT_EQ(pause.waits(), expected);
    EXPECT_EQ(writesAtWait.back(), 10u);    // the 500 ms wait follows the closing frame
    EXPECT_EQ(SentFlags(0) & 0x0F, 0x09);   // Write(false)
    EXPECT_EQ(SentFlags(10) & 0x07, 0x07);  // verification Read(true)
    EXPECT_TRUE(recordsEqual(gyro.deviceRecord, gyro.workingRecord));
}

TEST_F(CommandsTest, WriteCommandNotUsingIdReadsBackWithFlagClear) {
    script.ReplyAfterWrite(11, MakeReply(gyro.workingRecord));
    RunWriteCommand(gyro, true);
    EXPECT_EQ(SentFlags(10) & 0x07, 0x05);  // Read(false)
}

TEST_F(CommandsTest, WriteCommandMismatchIsAWriteError) {
    ParameterRecord stored = gyro.workingRecord;
    stored.setDGain(1);
    script.ReplyAfterWrite(11, MakeReply(stored));
    EXPECT_THROW(RunWriteCommand(gyro), TBX3::WriteError);
    EXPECT_EQ(gyro.deviceRecord.dGain(), 1);  // what the gyro returned
}

TEST_F(CommandsTest, WriteCommandStopsAtAFailedPage) {
    script.FailCall("FT_Write", 2);
    EXPECT_THROW(RunWriteCommand(gyro), TBX3::WriteError);
    EXPECT_EQ(script.WriteCount(), 1u);
    EXPECT_EQ(pause.waits(), std::vector<std::uint32_t>{100});
    EXPECT_EQ(script.CallCount("FT_Purge"), 0u);
}

TEST(CommandFailureMessage, MostDerivedTypeFirst) {
    struct Case {
        const char* name;
        std::function<void()> raise;
        int read, write;
    };
    const Case cases[] = {
        {"CompatibilityError", [] { throw CompatibilityError(); }, 102, 102},
        {"OpenError", [] { throw TBX3::OpenError(); }, 119, 119},
        {"ReadError", [] { throw TBX3::ReadError(); }, 103, 104},
        {"WriteError", [] { throw TBX3::WriteError(); }, 103, 104},
        {"InitializeError", [] { throw TBX3::InitializeError(); }, 120, 120},
        {"ConnectionError", [] { throw TBX3::ConnectionError(); }, 120, 120},
        {"runtime_error", [] { throw std::runtime_error("x"); }, 0, 0},
        {"bad_cast", [] { throw std::bad_cast(); }, 0, 0},
    };
    for (const auto& c : cases) {
        try {
            c.raise();
        } catch (const std::exception& e) {
            EXPECT_EQ(CommandFailureMessage(CommandKind::Read, e), c.read) << c.name;
            EXPECT_EQ(CommandFailureMessage(CommandKind::Write, e), c.write) << c.name;
        }
    }
}

}  // namespace
