// What each command frame the gyro received asked for, told by its restored flags byte
// (byte 15). The limit-mode-off frame holds the flags of the frame before it, so it is told
// by its place: the first frame after a limit-mode-on frame that asks for neither a read nor
// the limit mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class FrameKind { Read, Page, LimitOn, LimitOff, Other };

// The kinds of frames from..count-1; frameAt(i) gives the i-th frame's bytes (indexable).
template <class FrameAt>
std::vector<FrameKind> ClassifyFrames(std::size_t count, FrameAt&& frameAt, std::size_t from = 0) {
    std::vector<FrameKind> kinds;
    FrameKind previous = FrameKind::Other;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t flags = frameAt(i)[15];
        FrameKind kind = FrameKind::Other;
        if (flags & 0x04)
            kind = FrameKind::Read;
        else if (flags & 0x10)
            kind = FrameKind::LimitOn;
        else if (previous == FrameKind::LimitOn)
            kind = FrameKind::LimitOff;
        else if (flags & 0x08)
            kind = FrameKind::Page;
        if (i >= from) kinds.push_back(kind);
        previous = kind;
    }
    return kinds;
}
