// The gyro behind an emulated FTDI chip, for the hardware test's host side: sim/'s gyro
// model fed from the chip's serial side, byte by byte, through a small C interface that the
// test's driver script loads. The line itself (echo, timing, the chip's receive buffer)
// is the script's; this file only recognises frames in the byte stream and lets the model
// answer them.
#include <cstdint>
#include <cstring>
#include <vector>

#include "sim/GyroModel.h"

namespace {

enum Event : int {
    kNothing = 0,
    kReadRequest = 1,  // the reply body is ready: host_gyro_reply
    kPage = 2,
    kCommitted = 3,
    kClosingWithoutCommit = 4,
    kLimitModeOn = 5,
    kBusFrame = 6,
    kBadFrame = 7,
};

struct HostGyro {
    vgyro::GyroModel model;
    std::vector<std::uint8_t> frame;  // the frame being collected
    std::size_t frameSize = 0;
    int lastRudderValue = -1;  // the rudder channel of the last bus frame

    explicit HostGyro(const ParameterRecord& record) : model(record) {}
};

}  // namespace

extern "C" {

// A gyro storing the 85-byte record given, or the factory record for a null pointer.
__attribute__((visibility("default"))) void* host_gyro_new(const std::uint8_t* record) {
    ParameterRecord stored = vgyro::FactoryRecord();
    if (record != nullptr) std::memcpy(stored.bytes.data(), record, ParameterRecord::kSize);
    return new HostGyro(stored);
}

__attribute__((visibility("default"))) void host_gyro_free(void* gyro) {
    delete static_cast<HostGyro*>(gyro);
}

// One byte from the line. Bytes outside a frame (the 0x55 wake-up burst) are line noise.
__attribute__((visibility("default"))) int host_gyro_byte(void* handle, std::uint8_t byte) {
    auto& g = *static_cast<HostGyro*>(handle);
    if (g.frame.empty()) {
        if (byte == vgyro::kCommandFrameHeader)
            g.frameSize = vgyro::kCommandFrameSize;
        else if (byte == vgyro::kBusFrameStart)
            g.frameSize = vgyro::kBusFrameSize;
        else
            return kNothing;
    }
    g.frame.push_back(byte);
    if (g.frame.size() < g.frameSize) return kNothing;

    const std::vector<std::uint8_t> frame = std::move(g.frame);
    g.frame.clear();
    if (g.frameSize == vgyro::kBusFrameSize) {
        g.model.OnBusFrame(frame.data());
        g.lastRudderValue = vgyro::BusChannel(frame.data(), g.model.stored().rudderChannel());
        return kBusFrame;
    }
    const auto outcome = g.model.OnCommandFrame(vgyro::RestoreFrame(frame.data()));
    if (!outcome.valid) return kBadFrame;
    switch (outcome.kind) {
        case vgyro::FrameKind::ReadRequest:
            return kReadRequest;
        case vgyro::FrameKind::Page:
            return kPage;
        case vgyro::FrameKind::Closing:
            return outcome.committed ? kCommitted : kClosingWithoutCommit;
        case vgyro::FrameKind::LimitModeOn:
            return kLimitModeOn;
        case vgyro::FrameKind::Unknown:
            break;
    }
    return kBadFrame;
}

// The 84 bytes the gyro answers a read request with.
__attribute__((visibility("default"))) void host_gyro_reply(void* handle, std::uint8_t* out) {
    const auto body = static_cast<HostGyro*>(handle)->model.ReplyBody();
    std::memcpy(out, body.data(), body.size());
}

// The 85-byte record the gyro stores.
__attribute__((visibility("default"))) void host_gyro_record(void* handle, std::uint8_t* out) {
    const ParameterRecord& record = static_cast<HostGyro*>(handle)->model.stored();
    std::memcpy(out, record.bytes.data(), ParameterRecord::kSize);
}

__attribute__((visibility("default"))) int host_gyro_rudder_value(void* handle) {
    return static_cast<HostGyro*>(handle)->lastRudderValue;
}

__attribute__((visibility("default"))) int host_gyro_limit_mode(void* handle) {
    return static_cast<HostGyro*>(handle)->model.limitMode() ? 1 : 0;
}

}  // extern "C"
