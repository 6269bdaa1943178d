// The TBX-3 adapter: a plain byte pipe over the D2XX driver to the first FTDI device,
// at 9600 baud, 8 data bits, even parity, 2 stop bits.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "D2xxDriver.h"

// An abstract byte device. Success is a normal return; failure is a thrown error.
class ComDevice {
  public:
    constexpr ComDevice() noexcept = default;
    virtual ~ComDevice() {}
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual void Read(std::uint8_t* buffer, std::uint32_t count) = 0;
    virtual void Write(const std::uint8_t* buffer, std::uint32_t count) = 0;

  protected:
    ComDevice(const ComDevice&) = default;
    ComDevice& operator=(const ComDevice&) = default;
};

class TBX3 : public ComDevice {
  public:
    // Every error carries an empty message; they are told apart by type only.
    struct ConnectionError : std::runtime_error {
        ConnectionError() : std::runtime_error("") {}
    };
    struct InitializeError : ConnectionError {};
    struct OpenError : ConnectionError {};
    struct ReadError : ConnectionError {};
    struct WriteError : ConnectionError {};

    constexpr TBX3() noexcept = default;
    TBX3(const TBX3&) = delete;
    TBX3& operator=(const TBX3&) = delete;
    // Closes the device (FT_Close with the held handle, when bound). The library stays.
    ~TBX3() override;

    // Loads and binds the driver library; InitializeError when that fails.
    void Initialize();
    // FT_ListDevices, FT_Open, FT_SetBaudRate, FT_SetTimeouts, FT_SetDataCharacteristics
    // in this order; OpenError at the first step that is unbound or fails. With an adapter
    // selected, FT_OpenEx by its serial number takes the place of the first two.
    void Open() override;
    // The adapter Open opens by its serial number (at most 63 characters); an empty text,
    // the default, is the first device.
    void SelectAdapter(const std::string& serial);

    struct AdapterInfo {
        unsigned index = 0;
        std::string serial;
        std::string description;
    };
    // The attached adapters in index order, from FT_ListDevices; none is an empty list.
    // A plain ConnectionError when the driver cannot list them.
    std::vector<AdapterInfo> ListAdapters() const;
    void Close() override;
    // One FT_Read; ReadError when unbound or failing. A read that ends by time-out returns
    // normally and leaves the rest of the caller's buffer as it was.
    void Read(std::uint8_t* buffer, std::uint32_t count) override;
    // One FT_Write; WriteError when unbound or failing.
    void Write(const std::uint8_t* buffer, std::uint32_t count) override;
    // FT_Purge of the receive buffer; a plain ConnectionError when unbound or failing.
    void PurgeReceive();

    const D2xxDriver& Driver() const noexcept { return driver_; }

  private:
    D2xxDriver driver_;
    char serial_[64] = {};
};

// The one adapter of the process. Constant-initialised: it exists, unbound, before any
// other object of the program is constructed.
extern constinit TBX3 g_adapter;
