#include <gtest/gtest.h>

#include <random>
#include <typeinfo>

#include "GyroTestSupport.h"
#include "RecordingPause.h"
#include "ScriptedD2xx.h"
#include "gyro/KR640.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class KR640Test : public ::testing::Test {
  protected:
    ScriptedAdapter adapter;
    ScriptedD2xx& script = adapter.script();
    RecordingPause pause;
    KR640 gyro{adapter};

    void ReplyAfterWrite(unsigned n, const ReplyBlock& block) { script.ReplyAfterWrite(n, block); }
};

// A plain byte device: anything but the adapter.
class NullDevice : public ComDevice {
  public:
    void Open() override {}
    void Close() override {}
    void Read(std::uint8_t*, std::uint32_t) override { ++reads; }
    void Write(const std::uint8_t*, std::uint32_t) override { ++writes; }
    int reads = 0;
    int writes = 0;
};

TEST(ReverseBits, EachByte) {
    EXPECT_EQ(ReverseBits(std::uint8_t{0x80}), 0x01);
    EXPECT_EQ(ReverseBits(std::uint8_t{0x07}), 0xE0);
    EXPECT_EQ(ReverseBits(std::uint8_t{0x79}), 0x9E);
    EXPECT_EQ(ReverseBits(std::uint8_t{0xA5}), 0xA5);
    for (int b = 0; b < 256; ++b) {
        const auto v = static_cast<std::uint8_t>(b);
        EXPECT_EQ(ReverseBits(ReverseBits(v)), v);
    }
    std::array<std::uint8_t, 3> range{0x01, 0x02, 0xF0};
    ReverseBits(range);
    EXPECT_EQ(range, (std::array<std::uint8_t, 3>{0x80, 0x40, 0x0F}));
}

TEST(Construction, FrameHeaderAndEqualRecords) {
    NullDevice device;
    KR640 gyro(device);
    EXPECT_EQ(gyro.commandFrame[0], 0x9F);
    for (std::size_t i = 1; i < 16; ++i) EXPECT_EQ(gyro.commandFrame[i], 0) << i;
    ParameterRecord expected{};
    expected.setModelCode(0x80);
    EXPECT_EQ(gyro.deviceRecord, expected);
    EXPECT_EQ(gyro.workingRecord, expected);
    EXPECT_EQ(&gyro.device(), &device);
    EXPECT_EQ(device.writes, 0);
}

TEST(BuildFrame, PagesCarryTheirNineRecordBytes) {
    NullDevice device;
    KR640 gyro(device);
    for (std::size_t i = 0; i < ParameterRecord::kSize; ++i) {
        gyro.workingRecord.bytes[i] = static_cast<std::uint8_t>(i + 1);
    }
    gyro.commandFrame[15] = 0x5A;
    for (int page = 0; page <= 8; ++page) {
        gyro.BuildFrame(page);
        EXPECT_EQ(gyro.commandFrame[1], 1);
        EXPECT_EQ(gyro.commandFrame[2], 2);
        EXPECT_EQ(gyro.commandFrame[3], 3);
        EXPECT_EQ(gyro.commandFrame[4], 4);
        EXPECT_EQ(gyro.commandFrame[5], page);
        for (int k = 0; k < 9; ++k) {
            EXPECT_EQ(gyro.commandFrame[6 + k], 5 + 9 * page + k) << page << " " << k;
        }
        EXPECT_EQ(gyro.commandFrame[15], 0x5A);  // held
        std::uint8_t sum = 0;
        for (std::size_t i = 1; i <= 16; ++i)
            sum = static_cast<std::uint8_t>(sum + gyro.commandFrame[i]);
        EXPECT_EQ(sum, 0) << page;
    }
    EXPECT_EQ(gyro.commandFrame[14], 85);  // page 8 ends with the pad byte
    EXPECT_THROW(gyro.BuildFrame(9), std::out_of_range);
    EXPECT_THROW(gyro.BuildFrame(-1), std::out_of_range);
}

// The worked sequence: a Read, a Write with its verification read, both limit-mode frames
// and one more Read, on a fresh object whose working record stays all zero but the model
// code. The flags byte is carried, reversed, from frame to frame.
TEST_F(KR640Test, WorkedSequenceByteForByte) {
    ParameterRecord zero{};
    zero.setModelCode(0x80);
    ReplyAfterWrite(1, MakeReply(zero));
    ReplyAfterWrite(12, MakeReply(zero));
    ReplyAfterWrite(15, MakeReply(zero));

    gyro.Read(true);
    gyro.Write(false);
    gyro.Read(true);
    gyro.SetLimitMode(true);
    gyro.SetLimitMode(false);
    gyro.Read(true);

    const std::vector<Bytes> expected = {
        ZeroRecordFrame(0x00, 0xE0, 0x9E),  // Read(true), flags 07 sum 79
        ZeroRecordFrame(0x00, 0x97, 0xE9),  // page 0, flags E9 sum 97
        ZeroRecordFrame(0x80, 0x91, 0x6F),  // page 1, flags 89 sum F6
        ZeroRecordFrame(0x40, 0x91, 0xAF),  // page 2, sum F5
        ZeroRecordFrame(0xC0, 0x91, 0x2F),  // page 3, sum F4
        ZeroRecordFrame(0x20, 0x91, 0xCF),  // page 4, sum F3
        ZeroRecordFrame(0xA0, 0x91, 0x4F),  // page 5, sum F2
        ZeroRecordFrame(0x60, 0x91, 0x8F),  // page 6, sum F1
        ZeroRecordFrame(0xE0, 0x91, 0x0F),  // page 7, sum F0
        ZeroRecordFrame(0x10, 0x91, 0xF7),  // page 8, sum EF
        ZeroRecordFrame(0x00, 0x01, 0x00),  // closing, flags 80 sum 00
        ZeroRecordFrame(0x00, 0xE0, 0x9E),  // Read(true), flags 07
        ZeroRecordFrame(0x00, 0x8F, 0xF1),  // SetLimitMode(true), flags F1 sum 8F
        ZeroRecordFrame(0x00, 0x91, 0xEF),  // SetLimitMode(false), flags 89 sum F7
        ZeroRecordFrame(0x00, 0xE1, 0x9F),  // Read(true), flags 87 sum F9
    };
    const auto writes = script.Writes();
    ASSERT_EQ(writes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(writes[i], expected[i]) << "frame " << i;
}

TEST_F(KR640Test, TwoReadsInARowSendDifferentFlags) {
    ParameterRecord zero{};
    zero.setModelCode(0x80);
    ReplyAfterWrite(1, MakeReply(zero));
    ReplyAfterWrite(2, MakeReply(zero));
    gyro.Read(true);
    gyro.Read(true);
    EXPECT_EQ(script.Write(0)[15], 0xE0);  // 07
    EXPECT_EQ(script.Write(1)[15], 0xE7);  // E7
}

TEST_F(KR640Test, WritePacesNinePagesAndNotTheClosingFrame) {
    std::vector<unsigned> writesAtWait;
    pause.onWait([&](std::uint32_t) { writesAtWait.push_back(script.WriteCount()); });
    gyro.Write(false);
    EXPECT_EQ(pause.waits(), std::vector<std::uint32_t>(9, 100));
    EXPECT_EQ(writesAtWait, (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    const auto writes = script.Writes();
    ASSERT_EQ(writes.size(), 10u);
    for (std::size_t i = 0; i < writes.size(); ++i) {
        ASSERT_EQ(writes[i].size(), 17u);
        EXPECT_EQ(writes[i][0], 0x9F);  // never reversed
        EXPECT_EQ(ReverseBits(writes[i][5]), i < 9 ? i : 0) << i;
    }
}

TEST_F(KR640Test, WriteSendsTheWorkingRecordPageByPage) {
    gyro.workingRecord = SampleRecord();
    gyro.workingRecord.setRecordReserved(0x21);
    gyro.workingRecord.setRecordPad(0x42);
    gyro.Write(true);
    const auto writes = script.Writes();
    ASSERT_EQ(writes.size(), 10u);
    for (int page = 0; page < 9; ++page) {
        Bytes frame = writes[static_cast<std::size_t>(page)];
        ReverseBits(std::span(frame).subspan(1));
        EXPECT_EQ(frame[1], 0x21);
        EXPECT_EQ(frame[2], 0x80);
        EXPECT_EQ(frame[3], 0x12);
        EXPECT_EQ(frame[4], 0x34);
        for (int k = 0; k < 9; ++k) {
            EXPECT_EQ(frame[6 + k], gyro.workingRecord.bytes[4 + 9 * page + k]);
        }
        EXPECT_EQ(frame[15] & 0x1F, 0x0B) << page;  // active, caller's flag, write page
    }
    Bytes closing = writes[9];
    ReverseBits(std::span(closing).subspan(1));
    EXPECT_EQ(closing[15] & 0x1F, 0);
    EXPECT_EQ(gyro.workingRecord.bytes[84], 0x42);
}

TEST_F(KR640Test, WriteFailureStopsTheLaterPages) {
    script.FailCall("FT_Write", 4);
    EXPECT_THROW(gyro.Write(false), TBX3::WriteError);
    EXPECT_EQ(script.WriteCount(), 3u);
    EXPECT_EQ(script.CallCount("FT_Write"), 4u);
    EXPECT_EQ(pause.waits(), std::vector<std::uint32_t>(3, 100));
    // The frame that failed stays reversed in place, and its flags are what the next
    // transaction starts from: page 3, flags 89.
    EXPECT_EQ(Bytes(gyro.commandFrame.begin(), gyro.commandFrame.end()),
              ZeroRecordFrame(0xC0, 0x91, 0x2F));
}

TEST_F(KR640Test, PurgeFailureSendsNothing) {
    script.FailCall("FT_Purge", 1);
    gyro.deviceRecord = SampleRecord();
    const ParameterRecord before = gyro.deviceRecord;
    try {
        gyro.Read(true);
        FAIL() << "no error";
    } catch (const TBX3::ConnectionError& e) {
        EXPECT_EQ(typeid(e), typeid(TBX3::ConnectionError));
    }
    EXPECT_EQ(script.CallCount("FT_Write"), 0u);
    EXPECT_EQ(gyro.deviceRecord, before);
    EXPECT_EQ(gyro.commandFrame[15], 0);
}

TEST_F(KR640Test, ReadPurgesWhatArrivedBefore) {
    script.QueueRead(MakeReply(SampleRecord()));  // stale bytes, gone with the purge
    EXPECT_THROW(gyro.Read(true), TBX3::ReadError);
    EXPECT_EQ(script.CallCount("FT_Purge"), 1u);
}

TEST_F(KR640Test, DriverReadFailureLeavesTheRecord) {
    script.FailCall("FT_Read", 1);
    ReplyAfterWrite(1, MakeReply(SampleRecord()));
    const ParameterRecord before = gyro.deviceRecord;
    EXPECT_THROW(gyro.Read(true), TBX3::ReadError);
    EXPECT_EQ(gyro.deviceRecord, before);
}

TEST_F(KR640Test, RequestWriteFailure) {
    script.FailCall("FT_Write", 1);
    EXPECT_THROW(gyro.Read(true), TBX3::WriteError);
    EXPECT_EQ(script.CallCount("FT_Read"), 0u);
}

TEST_F(KR640Test, EchoedRequestThenReplyIsAccepted) {
    // On the one-wire line the request comes back first and fills bytes 0-16.
    script.SetEcho(true);
    const ReplyBlock block = MakeReply(SampleRecord());
    script.ReplyAfterWrite(1, std::span(block).subspan(17));
    gyro.deviceRecord.setRecordReserved(0x11);
    gyro.deviceRecord.setRecordPad(0x22);
    gyro.Read(true);
    ParameterRecord expected = SampleRecord();
    expected.setImageChecksum(static_cast<std::uint16_t>(block[21] << 8 | block[22]));
    expected.setRecordReserved(0x11);  // a read never touches bytes 0 and 84
    expected.setRecordPad(0x22);
    EXPECT_EQ(gyro.deviceRecord, expected);
}

struct ReplyCase {
    const char* name;
    std::function<Bytes()> make;
    enum { Read, Compatibility, None } error;
    bool recordChanged;
};

TEST_F(KR640Test, ReplyChecksInOrder) {
    const ParameterRecord sample = SampleRecord();
    auto valid = [&] {
        const auto b = MakeReply(sample);
        return Bytes(b.begin(), b.end());
    };
    ParameterRecord other = sample;
    other.setModelCode(0x81);
    const ReplyCase cases[] = {
        {"valid", valid, ReplyCase::None, true},
        {"bytes 0-16 anything",
         [&] {
             const auto b = MakeReply(sample, 0xEE);
             return Bytes(b.begin(), b.end());
         },
         ReplyCase::None, true},
        {"bad header, bad sum, bad model",
         [&] {
             Bytes b = valid();
             b[17] = 0xA0;
             b[40] ^= 1;
             b[18] = 0x81;
             return b;
         },
         ReplyCase::Read, false},
        {"bad sum, bad model",
         [&] {
             Bytes b = valid();
             b[40] ^= 1;
             b[18] = 0x81;
             return b;
         },
         ReplyCase::Read, false},
        {"checksum word changed",
         [&] {
             Bytes b = valid();
             b[22] ^= 0x80;
             return b;
         },
         ReplyCase::Read, false},
        {"model code and ID changed, sum still good",
         [&] {
             Bytes b = valid();
             b[19] = 0xBE;
             b[20] = 0xEF;
             return b;
         },
         ReplyCase::None, true},
        {"model code 0x81",
         [&] {
             const auto b = MakeReply(other);
             return Bytes(b.begin(), b.end());
         },
         ReplyCase::Compatibility, true},
        {"nothing", [] { return Bytes{}; }, ReplyCase::Read, false},
        {"17 bytes",
         [&] {
             Bytes b = valid();
             b.resize(17);
             return b;
         },
         ReplyCase::Read, false},
        {"100 bytes, last one missing",
         [&] {
             Bytes b = valid();
             b.pop_back();  // the byte left zero (not 0) spoils the sum
             return b;
         },
         ReplyCase::Read, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        script.Reset();
        const Bytes block = c.make();
        script.ReplyAfterWrite(1, block);
        gyro.deviceRecord = ParameterRecord{};
        gyro.deviceRecord.setRecordPad(0x33);
        const ParameterRecord before = gyro.deviceRecord;
        switch (c.error) {
            case ReplyCase::Read:
                EXPECT_THROW(gyro.Read(true), TBX3::ReadError);
                break;
            case ReplyCase::Compatibility:
                EXPECT_THROW(gyro.Read(true), CompatibilityError);
                break;
            case ReplyCase::None:
                EXPECT_NO_THROW(gyro.Read(true));
                break;
        }
        if (!c.recordChanged) {
            EXPECT_EQ(gyro.deviceRecord, before);
            continue;
        }
        EXPECT_EQ(gyro.deviceRecord.bytes[0], 0);
        EXPECT_EQ(gyro.deviceRecord.bytes[84], 0x33);
        EXPECT_EQ(gyro.deviceRecord.bytes[1], block[18]);
        EXPECT_EQ(gyro.deviceRecord.bytes[2], block[19]);
        EXPECT_EQ(gyro.deviceRecord.bytes[3], block[20]);
        for (std::size_t j = 0; j < 80; ++j)
            EXPECT_EQ(gyro.deviceRecord.imageByte(j), block[21 + j]);
    }
}

TEST_F(KR640Test, ReplyCutAfterTheHeader) {
    script.ReplyAfterWrite(1, Bytes(17, 0x5C));
    script.ReplyAfterWrite(1, Bytes{0xA1});
    gyro.deviceRecord = SampleRecord();
    EXPECT_THROW(gyro.Read(true), CompatibilityError);
    for (std::size_t i = 1; i <= 83; ++i) EXPECT_EQ(gyro.deviceRecord.bytes[i], 0) << i;
}

TEST(KR640Device, ReadNeedsTheAdapter) {
    NullDevice device;
    KR640 gyro(device);
    EXPECT_THROW(gyro.Read(true), std::bad_cast);
    EXPECT_EQ(device.writes, 0);
    EXPECT_EQ(device.reads, 0);
    // Write and the limit-mode frame go through any byte device.
    RecordingPause pause;
    gyro.Write(false);
    gyro.SetLimitMode(true);
    EXPECT_EQ(device.writes, 11);
}

// Any bytes of any length: the verdict agrees with the rules, and nothing is read outside
// the block (the sanitizers and the fuzz target watch the latter).
TEST(ReplyCheck, ArbitraryBlocks) {
    std::mt19937 random(640);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 140);
    for (int round = 0; round < 5000; ++round) {
        Bytes block(static_cast<std::size_t>(length(random)));
        for (auto& v : block) v = static_cast<std::uint8_t>(byte(random));
        if (block.size() > 17 && round % 2 == 0) block[17] = 0xA1;
        if (block.size() > 22 && round % 4 == 0) {
            std::uint16_t rest = 0;
            for (std::size_t k = 23; k + 1 < std::min<std::size_t>(block.size(), 101); k += 2) {
                rest = static_cast<std::uint16_t>(rest + (block[k] << 8 | block[k + 1]));
            }
            block[21] = static_cast<std::uint8_t>((0 - rest) >> 8 & 0xFF);
            block[22] = static_cast<std::uint8_t>(0 - rest);
        }
        const auto verdict = reply::Check(block);
        if (block.size() < 101 || block[17] != 0xA1) {
            EXPECT_EQ(verdict, reply::Verdict::BadHeader);
            continue;
        }
        std::uint16_t sum = 0;
        for (std::size_t k = 21; k < 101; k += 2)
            sum = static_cast<std::uint16_t>(sum + (block[k] << 8 | block[k + 1]));
        if (sum != 0) {
            EXPECT_EQ(verdict, reply::Verdict::BadSum);
        } else {
            EXPECT_EQ(verdict,
                      block[18] == 0x80 ? reply::Verdict::Accepted : reply::Verdict::Incompatible);
        }
    }
}

}  // namespace
