#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "gyro/BusFrame.h"

namespace {

using Wire = std::vector<std::uint8_t>;

Wire WireOf(const BusFrameData& frame) {
    return Wire(frame.wire(), frame.wire() + BusFrameData::kWireSize);
}

Wire Frame(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes) {
    Wire w(25, 0);
    w[0] = 0x0F;
    for (auto [at, v] : bytes) w[at] = v;
    return w;
}

TEST(BusFrame, ZeroBeforeTheFirstPacking) {
    static constinit BusFrameData fresh;  // the same static zero-initialisation as BusFrame
    EXPECT_EQ(WireOf(fresh), Wire(25, 0));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(fresh.channel(i), 0);
}

TEST(BusFrame, WorkedFrames) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, std::uint16_t>> channels;
        Wire wire;
    };
    std::vector<std::pair<int, std::uint16_t>> all1024;
    for (int i = 0; i < 16; ++i) all1024.emplace_back(i, 1024);
    const Case cases[] = {
        {"all zero", {}, Frame({})},
        {"channel 1 = 1024", {{0, 1024}}, Frame({{2, 0x04}})},
        {"channel 1 = 352", {{0, 352}}, Frame({{1, 0x60}, {2, 0x01}})},
        {"channel 1 = 1696", {{0, 1696}}, Frame({{1, 0xA0}, {2, 0x06}})},
        {"channel 4 = 1024", {{3, 1024}}, Frame({{6, 0x08}})},
        {"channel 16 = 2047", {{15, 2047}}, Frame({{21, 0xE0}, {22, 0xFF}})},
        {"channel 1 = 0x0C00 sends 1024", {{0, 0x0C00}}, Frame({{2, 0x04}})},
        {"channel 16 = 0xFFFF sends 2047", {{15, 0xFFFF}}, Frame({{21, 0xE0}, {22, 0xFF}})},
        {"all 1024", all1024,
         Wire{0x0F, 0x00, 0x04, 0x20, 0x00, 0x01, 0x08, 0x40, 0x00, 0x02, 0x10, 0x80, 0x00,
              0x04, 0x20, 0x00, 0x01, 0x08, 0x40, 0x00, 0x02, 0x10, 0x80, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        BusFrameData frame;
        for (auto [i, v] : c.channels) frame.setChannel(i, v);
        frame.pack();
        EXPECT_EQ(WireOf(frame), c.wire) << c.name;
        frame.pack();
        EXPECT_EQ(WireOf(frame), c.wire) << c.name << ", packed twice";
    }
}

TEST(BusFrame, EveryBitLandsInItsPlace) {
    for (int c = 0; c < 16; ++c) {
        for (int k = 0; k < 11; ++k) {
            BusFrameData frame;
            frame.setChannel(c, static_cast<std::uint16_t>(1u << k));
            frame.pack();
            const int n = 11 * c + k;
            Wire expected = Frame({});
            expected[1 + static_cast<std::size_t>(n / 8)] =
                static_cast<std::uint8_t>(1u << (n % 8));
            ASSERT_EQ(WireOf(frame), expected) << "channel " << c + 1 << " bit " << k;
        }
    }
}

TEST(BusFrame, PackingOverwritesTheOldFrame) {
    BusFrameData frame;
    frame.packedBits.fill(0xFF);
    frame.packedBits[22] = 0x03;  // bits 176 and 177; 178 and up are never written
    frame.packedBits[23] = 0x00;
    frame.setChannel(0, 1024);
    frame.pack();
    EXPECT_EQ(WireOf(frame), Frame({{2, 0x04}}));
}

TEST(BusFrame, ChannelIndexOutsideTheTableWritesNothing) {
    BusFrameData frame;
    frame.setChannel(-1, 0x7FF);
    frame.setChannel(16, 0x7FF);
    frame.setChannel(1000, 0x7FF);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(frame.channel(i), 0) << i;
    EXPECT_EQ(frame.channel(-1), 0);
    EXPECT_EQ(frame.channel(16), 0);
    frame.setChannel(5, 0x0C00);
    EXPECT_EQ(frame.channel(5), 0x0C00);  // stored whole, sent by its low 11 bits
    EXPECT_EQ(frame.startByte, 0);
}

}  // namespace
