// Drives the tail servo from the command line as the limit procedure does while Enter is
// pressed: limit mode on, 100 ms, bus frames every 50 ms with the gyro's rudder channel at
// the position, then the procedure's stop: stream killed, 100 ms, limit mode off.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>

#include "gyro/KR640.h"

namespace cli {

// The Position trackbar's range and centre.
inline constexpr int kServoPositionMin = 352;
inline constexpr int kServoPositionMax = 1696;
inline constexpr int kServoPositionCentre = 1024;

// Streams to gyro.device() with the rudder channel of gyro.workingRecord (read from the
// gyro before) at position, for duration, or until stop becomes true (without a duration,
// only then). The stop runs after a failure too. Returns 0, or the string-table id of the
// first failure: the limit-mode frames and the bus frames are reported as the Write
// command reports its failures (104 "Write error" for a failed write).
int DriveServo(KR640& gyro, int position, std::optional<std::chrono::duration<double>> duration,
               const std::atomic<bool>& stop);

}  // namespace cli
