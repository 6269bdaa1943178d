// Records as the tests' settings files hold them.
#pragma once

#include <cstdint>

#include "gyro/ParameterRecord.h"

// The factory defaults with a D gain and an ID of their own (1000 + seed), so each file a
// test saves is told apart from the others and from what the gyro holds.
inline ParameterRecord FileRecord(std::uint8_t seed) {
    ParameterRecord r;
    resetToDefaults(r);
    r.setDGain(seed);
    r.setGyroId(static_cast<std::uint16_t>(1000 + seed));
    return r;
}
