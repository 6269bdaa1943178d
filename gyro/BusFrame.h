// The 16-channel serial-bus frame streamed to the gyro every 50 ms while the servo
// limits are set: 0x0F, then 16 channels of 11 bits, least significant bit first.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

struct BusFrameData {
    static constexpr std::size_t kChannels = 16;
    static constexpr std::size_t kWireSize = 25;

    // Written by the window's thread, read by the stream's thread: each slot is a
    // lock-free 16-bit atomic, so a store stays one store.
    std::array<std::atomic<std::uint16_t>, kChannels> channelValues{};
    std::uint8_t startByte = 0;
    std::array<std::uint8_t, 24> packedBits{};

    // Rebuilds startByte and packedBits from channelValues. No allocation.
    void pack() noexcept;
    // The 25 wire bytes: startByte followed by packedBits.
    const std::uint8_t* wire() const noexcept { return &startByte; }

    // Stores a value into slot index; an index outside 0..15 writes nothing.
    void setChannel(int index, std::uint16_t value) noexcept;
    std::uint16_t channel(int index) const noexcept;
};
static_assert(std::atomic<std::uint16_t>::is_always_lock_free);
// startByte and packedBits are the 25 wire bytes, back to back.
static_assert(offsetof(BusFrameData, packedBits) == offsetof(BusFrameData, startByte) + 1);

// The process-wide frame; zero-initialised static storage.
extern constinit BusFrameData BusFrame;
