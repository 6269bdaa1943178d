// Command frames for arbitrary working records and any sequence of transactions. The input
// is the 85-byte working record followed by one byte per step:
//   bits 0-1  0 Read, 1 Write, 2 limit mode, 3 BuildFrame alone
//   bit 2     the caller's flag (Read, Write) or on/off (limit mode)
//   bits 4-7  the page for BuildFrame alone (9 to 15 must be refused)
// Every frame on the wire is checked against a model written here from the frame layout:
// 0x9F sent as is, bytes 1-16 bit-reversed, bytes 1-16 summing to 0 before reversal, the
// record and page in their places, and the flags byte each transaction must send given the
// byte it held from the frame before.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "FuzzCheck.h"
#include "RecordingPause.h"
#include "ScriptedD2xx.h"
#include "gyro/KR640.h"

namespace {

std::uint8_t Reversed(std::uint8_t b) {
    std::uint8_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if ((b >> i & 1) != 0) r = static_cast<std::uint8_t>(r | 1 << (7 - i));
    }
    return r;
}

std::uint8_t Assign(std::uint8_t flags, int bit, bool on) {
    return static_cast<std::uint8_t>(on ? flags | 1 << bit : flags & ~(1 << bit));
}

ScriptedAdapter& Adapter() {
    static ScriptedAdapter adapter;
    return adapter;
}

// The frame's payload before reversal, checked against the record, the page and the
// expected flags; returns the flags byte as it went out (what the next frame holds).
std::uint8_t CheckFrame(const std::vector<std::uint8_t>& wire, const ParameterRecord& record,
                        int page, std::uint8_t flags) {
    FUZZ_CHECK(wire.size() == 17);
    FUZZ_CHECK(wire[0] == 0x9F);
    std::array<std::uint8_t, 17> v{};
    unsigned sum = 0;
    for (std::size_t i = 1; i < 17; ++i) {
        v[i] = Reversed(wire[i]);
        sum += v[i];
    }
    FUZZ_CHECK(sum % 256 == 0);
    for (std::size_t i = 0; i < 4; ++i) FUZZ_CHECK(v[1 + i] == record.bytes[i]);
    FUZZ_CHECK(v[5] == page);
    for (std::size_t i = 0; i < 9; ++i) {
        FUZZ_CHECK(v[6 + i] == record.bytes[4 + 9 * static_cast<std::size_t>(page) + i]);
    }
    FUZZ_CHECK(v[15] == flags);
    return wire[15];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Bit reversal on its own: the independent table and the round trip.
    std::vector<std::uint8_t> copy(data, data + size);
    ReverseBits(std::span<std::uint8_t>(copy));
    for (std::size_t i = 0; i < size; ++i) {
        FUZZ_CHECK(copy[i] == Reversed(data[i]));
        FUZZ_CHECK(ReverseBits(copy[i]) == data[i]);
    }

    ScriptedAdapter& adapter = Adapter();
    adapter.script().Reset();
    RecordingPause pause;
    KR640 gyro(adapter);
    for (std::size_t i = 0; i < ParameterRecord::kSize && i < size; ++i) {
        gyro.workingRecord.bytes[i] = data[i];
    }
    const ParameterRecord record = gyro.workingRecord;

    std::uint8_t held = 0;  // byte 15 as the next transaction finds it
    unsigned frames = 0;
    const std::size_t stepsFrom = ParameterRecord::kSize;
    for (std::size_t s = stepsFrom; s < size && s < stepsFrom + 32; ++s) {
        const std::uint8_t step = data[s];
        const bool flag = (step & 0x04) != 0;
        switch (step & 0x03) {
            case 0: {  // Read: nothing answers, so the empty reply is refused
                bool refused = false;
                try {
                    gyro.Read(flag);
                } catch (const TBX3::ReadError&) {
                    refused = true;
                }
                FUZZ_CHECK(refused);
                std::uint8_t f = Assign(held, 0, true);
                f = Assign(f, 1, flag);
                f = Assign(f, 2, true);
                f = Assign(f, 4, false);
                held = CheckFrame(adapter.script().Write(frames++), record, 0, f);
                break;
            }
            case 1: {  // Write: nine pages 100 ms apart, then the closing frame
                pause.clear();
                gyro.Write(flag);
                for (int p = 0; p < 9; ++p) {
                    std::uint8_t f = Assign(held, 0, true);
                    f = Assign(f, 1, flag);
                    f = Assign(f, 2, false);
                    f = Assign(f, 3, true);
                    f = Assign(f, 4, false);
                    held = CheckFrame(adapter.script().Write(frames++), record, p, f);
                }
                held = CheckFrame(adapter.script().Write(frames++), record, 0,
                                  static_cast<std::uint8_t>(held & 0xE0));
                FUZZ_CHECK(pause.waits() == std::vector<std::uint32_t>(9, 100));
                break;
            }
            case 2: {  // limit mode on or off
                gyro.SetLimitMode(flag);
                std::uint8_t f = Assign(held, 0, true);
                f = Assign(f, 1, false);
                f = Assign(f, 2, false);
                f = Assign(f, 4, flag);
                held = CheckFrame(adapter.script().Write(frames++), record, 0, f);
                break;
            }
            case 3: {  // BuildFrame alone: nothing sent, byte 15 untouched
                const int page = step >> 4;
                const auto before = gyro.commandFrame;
                if (page > 8) {
                    bool refused = false;
                    try {
                        gyro.BuildFrame(page);
                    } catch (const std::out_of_range&) {
                        refused = true;
                    }
                    FUZZ_CHECK(refused);
                    FUZZ_CHECK(gyro.commandFrame == before);
                    break;
                }
                gyro.BuildFrame(page);
                FUZZ_CHECK(gyro.commandFrame[0] == 0x9F);
                FUZZ_CHECK(gyro.commandFrame[15] == before[15]);
                unsigned sum = 0;
                for (std::size_t i = 1; i < 17; ++i) sum += gyro.commandFrame[i];
                FUZZ_CHECK(sum % 256 == 0);
                std::vector<std::uint8_t> wire(gyro.commandFrame.begin(), gyro.commandFrame.end());
                for (std::size_t i = 1; i < 17; ++i) wire[i] = Reversed(wire[i]);
                CheckFrame(wire, record, page, gyro.commandFrame[15]);
                break;
            }
        }
        FUZZ_CHECK(adapter.script().WriteCount() == frames);
        // The frame is reversed in place: what went out last is what the object holds.
        if (frames > 0 && (step & 0x03) != 3) {
            const auto last = adapter.script().Write(frames - 1);
            FUZZ_CHECK(std::equal(last.begin(), last.end(), gyro.commandFrame.begin()));
        }
    }
    FUZZ_CHECK(gyro.workingRecord == record);
    return 0;
}
