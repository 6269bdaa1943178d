// For tests that talk to the virtual gyro (libtarvex-vgyro): point the adapter at it, load
// it, and reach its control functions. Header only; link the test to tarvex_test_vgyro
// (sim/CMakeLists.txt), which defines TARVEX_VGYRO_PATH and builds the library first.
//
//     PrepareVirtualGyroEnvironment();          // before the adapter or the gyro loads it
//     VirtualGyro& vg = VirtualGyro::Fresh();   // loaded, reset to a factory-fresh gyro
//     TBX3 adapter; adapter.Initialize(); adapter.Open();
//     ... vg.servoValue() ...
//
// The library reads its environment when it is loaded and again at reset(), so a test
// that changes TARVEX_VGYRO_* calls reset() (or Fresh()) afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "sim/VirtualGyroControl.h"
#include "tests/support/PosixShim.h"

#ifndef TARVEX_VGYRO_PATH
#error "Link the test to tarvex_test_vgyro: it defines TARVEX_VGYRO_PATH."
#endif

// TARVEX_D2XX = the virtual gyro, no line delays, the gyro's state in memory only (or in
// the given file), no faults.
inline void PrepareVirtualGyroEnvironment(const std::string& statePath = "none") {
    ::setenv("TARVEX_D2XX", TARVEX_VGYRO_PATH, 1);
    ::setenv("TARVEX_VGYRO_FAST", "1", 1);
    ::setenv("TARVEX_VGYRO_STATE", statePath.c_str(), 1);
    ::unsetenv("TARVEX_VGYRO_FAULTS");
}

class VirtualGyro {
  public:
    // The library, loaded once per process (the adapter's own load finds the same copy).
    static VirtualGyro& Get() {
        static VirtualGyro gyro;
        return gyro;
    }
    // PrepareVirtualGyroEnvironment(statePath), then a factory-fresh gyro.
    static VirtualGyro& Fresh(const std::string& statePath = "none") {
        PrepareVirtualGyroEnvironment(statePath);
        VirtualGyro& gyro = Get();
        gyro.reset();
        return gyro;
    }

    // Any exported name, the 35 FT_* included; null when absent.
    void* symbol(const char* name) const { return ::dlsym(handle_, name); }
    template <typename F>
    F function(const char* name) const {
        void* address = symbol(name);
        if (!address) throw std::runtime_error(std::string("virtual gyro lacks ") + name);
        return reinterpret_cast<F>(address);
    }

    decltype(&vgyro_reset) reset;
    decltype(&vgyro_set_faults) setFaults;
    decltype(&vgyro_get_record) getRecord;
    decltype(&vgyro_set_record) setRecord;
    decltype(&vgyro_load_state) loadState;
    decltype(&vgyro_limit_mode) limitMode;
    decltype(&vgyro_servo_value) servoValue;
    decltype(&vgyro_servo_percent) servoPercent;
    decltype(&vgyro_bus_frames) busFrames;
    decltype(&vgyro_command_count) commandCount;
    decltype(&vgyro_command_frame) commandFrame;
    decltype(&vgyro_line) line;
    decltype(&vgyro_open_count) openCount;

    // The gyro's stored record, 85 bytes.
    std::array<std::uint8_t, 85> record() const {
        std::array<std::uint8_t, 85> bytes{};
        getRecord(bytes.data());
        return bytes;
    }
    // Command frame i as the gyro decoded it (bit order restored).
    std::array<std::uint8_t, 17> command(std::size_t i) const {
        std::array<std::uint8_t, 17> frame{};
        if (commandFrame(i, frame.data()) != 0) throw std::out_of_range("no such command frame");
        return frame;
    }

    VirtualGyro(const VirtualGyro&) = delete;
    VirtualGyro& operator=(const VirtualGyro&) = delete;

  private:
    VirtualGyro() : handle_(::dlopen(TARVEX_VGYRO_PATH, RTLD_NOW | RTLD_LOCAL)) {
        if (!handle_) throw std::runtime_error(std::string("cannot load ") + TARVEX_VGYRO_PATH);
        reset = function<decltype(reset)>("vgyro_reset");
        setFaults = function<decltype(setFaults)>("vgyro_set_faults");
        getRecord = function<decltype(getRecord)>("vgyro_get_record");
        setRecord = function<decltype(setRecord)>("vgyro_set_record");
        loadState = function<decltype(loadState)>("vgyro_load_state");
        limitMode = function<decltype(limitMode)>("vgyro_limit_mode");
        servoValue = function<decltype(servoValue)>("vgyro_servo_value");
        servoPercent = function<decltype(servoPercent)>("vgyro_servo_percent");
        busFrames = function<decltype(busFrames)>("vgyro_bus_frames");
        commandCount = function<decltype(commandCount)>("vgyro_command_count");
        commandFrame = function<decltype(commandFrame)>("vgyro_command_frame");
        line = function<decltype(line)>("vgyro_line");
        openCount = function<decltype(openCount)>("vgyro_open_count");
    }

    void* handle_;  // never closed: the adapter may hold the same library
};
