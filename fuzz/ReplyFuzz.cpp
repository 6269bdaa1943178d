// Reply blocks of any length and content, checked twice: by reply::Check directly, and by a
// KR640 reading them from a scripted adapter. Whatever either accepts must really carry the
// 0xA1 header, image words summing to 0 and the model code 0x80, tested here on its own
// terms; and every refusal must name a check that really fails.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzCheck.h"
#include "ScriptedD2xx.h"
#include "gyro/KR640.h"

namespace {

// The reply as the gyro object sees it: the first 101 bytes that arrived, zeros after a
// short reply (the read ends by time-out and the buffer was cleared).
std::array<std::uint8_t, 101> Received(std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, 101> block{};
    for (std::size_t i = 0; i < block.size() && i < data.size(); ++i) block[i] = data[i];
    return block;
}

struct Expected {
    bool header;
    bool sum;
    bool model;
};

Expected Judge(std::span<const std::uint8_t> block) {
    Expected e{block.size() >= 101 && block[17] == 0xA1, false, false};
    if (block.size() >= 101) {
        unsigned sum = 0;
        for (std::size_t i = 21; i + 1 <= 100; i += 2) sum += block[i] * 256u + block[i + 1];
        e.sum = sum % 65536 == 0;
        e.model = block[18] == 0x80;
    }
    return e;
}

reply::Verdict VerdictOf(const Expected& e) {
    if (!e.header) return reply::Verdict::BadHeader;
    if (!e.sum) return reply::Verdict::BadSum;
    if (!e.model) return reply::Verdict::Incompatible;
    return reply::Verdict::Accepted;
}

ScriptedAdapter& Adapter() {
    static ScriptedAdapter adapter;
    return adapter;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);

    // The check on the bytes exactly as given, short blocks included.
    FUZZ_CHECK(reply::Check(input) == VerdictOf(Judge(input)));

    // The whole read transaction: the reply arrives after the request frame.
    ScriptedAdapter& adapter = Adapter();
    adapter.script().Reset();
    adapter.script().ReplyAfterWrite(1, input);
    KR640 gyro(adapter);
    const ParameterRecord before = gyro.deviceRecord;
    const auto block = Received(input);
    const Expected e = Judge(block);

    enum class Outcome { Accepted, ReadError, CompatibilityError } outcome;
    try {
        gyro.Read(true);
        outcome = Outcome::Accepted;
    } catch (const CompatibilityError&) {
        outcome = Outcome::CompatibilityError;
    } catch (const TBX3::ReadError&) {
        outcome = Outcome::ReadError;
    }

    FUZZ_CHECK(adapter.script().WriteCount() == 1);
    FUZZ_CHECK(adapter.script().Write(0).size() == 17);
    switch (outcome) {
        case Outcome::Accepted:
            FUZZ_CHECK(e.header && e.sum && e.model);
            break;
        case Outcome::CompatibilityError:
            FUZZ_CHECK(e.header && e.sum && !e.model);
            break;
        case Outcome::ReadError:
            FUZZ_CHECK(!e.header || !e.sum);
            FUZZ_CHECK(gyro.deviceRecord == before);
            return 0;
    }
    // Accepted or refused for its model code: bytes 1-83 hold the reply, 0 and 84 untouched.
    FUZZ_CHECK(gyro.deviceRecord.bytes[0] == before.bytes[0]);
    FUZZ_CHECK(gyro.deviceRecord.bytes[84] == before.bytes[84]);
    for (std::size_t i = 1; i <= 83; ++i) FUZZ_CHECK(gyro.deviceRecord.bytes[i] == block[17 + i]);
    return 0;
}
