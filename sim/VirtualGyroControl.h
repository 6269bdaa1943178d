// Control and inspection functions that the virtual gyro library exports beside the 35
// D2XX names, for tests and the demo. Reach them with dlopen/dlsym on the same library
// file the adapter loaded (see tests/support/VirtualGyro.h).
//
// Environment, read when the library is loaded and again by vgyro_reset():
//   TARVEX_VGYRO_FAST=1        no line delays (unit tests)
//   TARVEX_VGYRO_STATE=PATH    the gyro's state file; "none" keeps state in memory only.
//                              Default: $XDG_STATE_HOME/tarvex/vgyro.state
//                              (~/.local/state/tarvex/vgyro.state).
//   TARVEX_VGYRO_LOG=PATH      appends what reaches the gyro, for tests in another process:
//                              "command" and the 17 bytes of each command frame (as
//                              decoded, hex), "servo" and the value each time a bus frame
//                              moves the servo.
//   TARVEX_VGYRO_FAULTS=LIST   comma-separated faults, see vgyro_set_faults. A list that
//                              does not parse is reported on stderr and plays no fault.
//
// Counting faults (write-fails-after, unplug-after) count from the moment the faults were
// set: the library's load, vgyro_reset() or vgyro_set_faults().
//
// Changes from the first draft of this header: TARVEX_VGYRO_API marks the exports;
// vgyro_load_state() was added (tests of the state file need to load it again in one
// process); vgyro_reset() keeps the adapter's open state, line setting and time-outs (it
// renews the gyro, not the cable).
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(TARVEX_VGYRO_BUILD) && defined(_WIN32)
#define TARVEX_VGYRO_API __declspec(dllexport)
#elif defined(TARVEX_VGYRO_BUILD)
#define TARVEX_VGYRO_API __attribute__((visibility("default")))
#else
#define TARVEX_VGYRO_API
#endif

extern "C" {
// Back to a fresh virtual gyro: factory record, the gyro's own ID, limit mode off, servo at
// neutral, no staged pages, receive queue empty, logs and counters cleared, faults and
// options re-read from the environment. The state file is not read again and not written.
TARVEX_VGYRO_API void vgyro_reset(void);

// Replaces the active faults; returns 0, or -1 when the list does not parse (nothing
// changes then). An empty list (or null) clears them. Faults:
//   no-device            FT_ListDevices and FT_Open find nothing
//   fail=FT_Name         that call returns FT_IO_ERROR (any of the 35; may repeat)
//   no-reply             read requests are not answered (the echo still comes back)
//   cut=N                a reply block (echo included) stops after N bytes
//   bad-header           the reply header is 0xA2
//   bad-sum              the reply's checksum word is off by one
//   model=0xNN           the reply carries this model code (decimal or 0x hex, 0..255)
//   store-differs        the gyro stores D gain + 1 of what it was sent
//   write-fails-after=N  every FT_Write after the first N fails with FT_IO_ERROR
//   unplug-after=N       after N bus frames every call fails with FT_DEVICE_NOT_FOUND
//                        (FT_Close still releases the handle)
TARVEX_VGYRO_API int vgyro_set_faults(const char* faults);

// The gyro's stored record: reserved byte 0, model code 0x80, its ID, its image (the
// gyro keeps its checksum word right), pad byte 0.
TARVEX_VGYRO_API void vgyro_get_record(std::uint8_t out[85]);
// Stores ID and image as given (the checksum word too, so a test can plant a bad one);
// the reserved byte, model code and pad byte stay the gyro's own. Written to the state
// file like a committed write.
TARVEX_VGYRO_API void vgyro_set_record(const std::uint8_t in[85]);
// Reads the state file again as at load: 1 when its record was taken, 0 when the gyro
// fell back to the factory record (no file, "none", short or corrupt file).
TARVEX_VGYRO_API int vgyro_load_state(void);

TARVEX_VGYRO_API int vgyro_limit_mode(void);  // 1 while in limit mode
// The rudder channel value the servo follows; 1024 (neutral) outside the limit mode.
TARVEX_VGYRO_API int vgyro_servo_value(void);
// The servo position as the window shows it: (value - 1024) * 150 / 672, truncated.
TARVEX_VGYRO_API int vgyro_servo_percent(void);
TARVEX_VGYRO_API std::uint64_t vgyro_bus_frames(void);  // bus frames received since reset

// Command frames received since reset (as decoded: bit order restored, 17 bytes each),
// including frames the gyro ignored for a bad checksum.
TARVEX_VGYRO_API std::size_t vgyro_command_count(void);
// Copies frame i (0-based) into out; 0 on success, -1 when there is no such frame.
TARVEX_VGYRO_API int vgyro_command_frame(std::size_t i, std::uint8_t out[17]);

// The line setting last applied (baud, word length, stop bits, parity; FT_Open starts
// from 9600, 8, 0, 0) and the count of successful FT_Open calls since reset.
TARVEX_VGYRO_API void vgyro_line(std::uint32_t* baud, int* wordLength, int* stopBits, int* parity);
TARVEX_VGYRO_API int vgyro_open_count(void);
}
