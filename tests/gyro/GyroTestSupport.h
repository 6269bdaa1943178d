// Reply blocks and frame helpers for the gyro's tests.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "gyro/KR640.h"

using ReplyBlock = std::array<std::uint8_t, reply::kSize>;

// A reply that the gyro would send for record: bytes 0-16 as given (the echo of the
// request, for instance), header, model code, ID, and the image with a checksum word that
// makes the sum 0.
inline ReplyBlock MakeReply(const ParameterRecord& record, std::uint8_t filler = 0) {
    ReplyBlock block{};
    block.fill(filler);
    block[reply::kHeaderAt] = reply::kHeader;
    block[reply::kModelCodeAt] = record.modelCode();
    block[reply::kGyroIdAt] = record.bytes[2];
    block[reply::kGyroIdAt + 1] = record.bytes[3];
    for (std::size_t j = 0; j < ParameterRecord::kImageSize; ++j) {
        block[reply::kImageAt + j] = record.imageByte(j);
    }
    std::uint16_t rest = 0;
    for (std::size_t j = 2; j < ParameterRecord::kImageSize; j += 2) {
        rest =
            static_cast<std::uint16_t>(rest + (record.imageByte(j) << 8 | record.imageByte(j + 1)));
    }
    const auto checksum = static_cast<std::uint16_t>(0 - rest);
    block[reply::kImageAt] = static_cast<std::uint8_t>(checksum >> 8);
    block[reply::kImageAt + 1] = static_cast<std::uint8_t>(checksum);
    return block;
}

// A record with every image byte different, as a gyro might hold it.
inline ParameterRecord SampleRecord() {
    ParameterRecord r{};
    r.setModelCode(ParameterRecord::kModelCodeKR640);
    r.setGyroId(0x1234);
    for (std::size_t j = 0; j < ParameterRecord::kImageSize; ++j) {
        r.setImageByte(j, static_cast<std::uint8_t>(7 * j + 3));
    }
    return r;
}

// The wire form of a command frame whose payload is all zero apart from the model code
// 0x80: header, the bit-reversed fields, and the page, flags and checksum bytes as sent.
inline std::vector<std::uint8_t> ZeroRecordFrame(std::uint8_t pageWire, std::uint8_t flagsWire,
                                                 std::uint8_t sumWire) {
    std::vector<std::uint8_t> frame(17, 0);
    frame[0] = 0x9F;
    frame[2] = 0x01;
    frame[5] = pageWire;
    frame[15] = flagsWire;
    frame[16] = sumWire;
    return frame;
}
