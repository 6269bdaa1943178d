#include "BusFrame.h"

constinit BusFrameData BusFrame;

void BusFrameData::pack() noexcept {
    startByte = 0x0F;
    // 16 channels of 11 bits fill frame bits 0..175, that is packedBits bytes 0..21 exactly,
    // least significant bit first.
    std::uint32_t pending = 0;
    int pendingBits = 0;
    std::size_t out = 0;
    for (const auto& slot : channelValues) {
        pending |= static_cast<std::uint32_t>(slot.load(std::memory_order_relaxed) & 0x7FF)
                   << pendingBits;
        pendingBits += 11;
        while (pendingBits >= 8) {
            packedBits[out++] = static_cast<std::uint8_t>(pending);
            pending >>= 8;
            pendingBits -= 8;
        }
    }
    // Frame bits 176 and 177 (wire byte 23, bits 0 and 1) are cleared; bits 178..191 are
    // never written.
    packedBits[22] = static_cast<std::uint8_t>(packedBits[22] & ~0x03);
}

void BusFrameData::setChannel(int index, std::uint16_t value) noexcept {
    if (index < 0 || index >= static_cast<int>(kChannels)) return;
    channelValues[static_cast<std::size_t>(index)].store(value, std::memory_order_relaxed);
}

std::uint16_t BusFrameData::channel(int index) const noexcept {
    if (index < 0 || index >= static_cast<int>(kChannels)) return 0;
    return channelValues[static_cast<std::size_t>(index)].load(std::memory_order_relaxed);
}
