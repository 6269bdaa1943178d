// Control and inspection functions that the virtual gyro library exports beside the 35
// D2XX names, for tests and the demo. Reach them with dlopen/dlsym on the same library
// file the adapter loaded (see tests/support/VirtualGyro.h).
//
// Environment, read when the library is loaded and again by vgyro_reset():
//   TARVEX_VGYRO_FAST=1        no line delays (unit tests)
//   TARVEX_VGYRO_STATE=PATH    the gyro's state file; "none" keeps state in memory only.
//                              Default: $XDG_STATE_HOME/tarvex/vgyro.state
//                              (~/.local/state/tarvex/vgyro.state).
//   TARVEX_VGYRO_FAULTS=LIST   comma-separated faults, see vgyro_set_faults.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
// Back to a fresh virtual gyro: factory record, the gyro's own ID, limit mode off, servo at
// neutral, logs cleared, faults and options re-read from the environment. The state file
// is not read again.
void vgyro_reset(void);

// Replaces the active faults; returns 0, or -1 when the list does not parse (nothing
// changes then). An empty list clears them. Faults:
//   no-device            FT_ListDevices and FT_Open find nothing
//   fail=FT_Name         that call returns FT_IO_ERROR (any of the 35)
//   no-reply             read requests are not answered
//   cut=N                a reply (echo included) stops after N bytes
//   bad-header           the reply header is 0xA2
//   bad-sum              the reply's checksum word is off by one
//   model=0xNN           the reply carries this model code
//   store-differs        the gyro stores D gain + 1 of what it was sent
//   write-fails-after=N  every FT_Write after the first N fails
//   unplug-after=N       after N bus frames every call fails with FT_DEVICE_NOT_FOUND
int vgyro_set_faults(const char* faults);

// The gyro's stored record: model code 0x80, its ID, its image (checksum word set).
void vgyro_get_record(std::uint8_t out[85]);
void vgyro_set_record(const std::uint8_t in[85]);

int vgyro_limit_mode(void);           // 1 while in limit mode
int vgyro_servo_value(void);          // the rudder channel value the servo follows
int vgyro_servo_percent(void);        // the servo position in percent of full travel
std::uint64_t vgyro_bus_frames(void); // bus frames received since reset

// Command frames received since reset (as decoded: bit order restored, 17 bytes each).
std::size_t vgyro_command_count(void);
// Copies frame i (0-based) into out; 0 on success, -1 when there is no such frame.
int vgyro_command_frame(std::size_t i, std::uint8_t out[17]);

// The line setting last applied (baud, word length, stop bits, parity) and the count of
// FT_Open calls since reset.
void vgyro_line(std::uint32_t* baud, int* wordLength, int* stopBits, int* parity);
int vgyro_open_count(void);
}
