#include "link/TBX3.h"

#include <cstring>

constinit TBX3 g_adapter;

TBX3::~TBX3() {
    driver_.Close();
}

void TBX3::Initialize() {
    if (!driver_.Load()) throw InitializeError();
}

void TBX3::Open() {
    // The handle is kept only when the open reports success, so a failed open never leaves
    // a stray value for the destructor to close.
    FT_HANDLE handle = nullptr;
    if (serial_[0] != '\0') {
        if (driver_.FT_OpenEx == nullptr ||
            driver_.FT_OpenEx(serial_, FT_OPEN_BY_SERIAL_NUMBER, &handle) != FT_OK)
            throw OpenError();
    } else {
        // The description of the device at index 0 is asked for only to learn that a
        // device is there; the text itself is not used.
        char description[128] = {};
        if (driver_.FT_ListDevices == nullptr ||
            driver_.FT_ListDevices(reinterpret_cast<PVOID>(0), description,
                                   FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) != FT_OK)
            throw OpenError();
        if (driver_.FT_Open == nullptr || driver_.FT_Open(0, &handle) != FT_OK) throw OpenError();
    }
    driver_.deviceHandle = handle;

    if (driver_.FT_SetBaudRate == nullptr ||
        driver_.FT_SetBaudRate(driver_.deviceHandle, 9600) != FT_OK)
        throw OpenError();
    if (driver_.FT_SetTimeouts == nullptr ||
        driver_.FT_SetTimeouts(driver_.deviceHandle, 1000, 1000) != FT_OK)
        throw OpenError();
    if (driver_.FT_SetDataCharacteristics == nullptr ||
        driver_.FT_SetDataCharacteristics(driver_.deviceHandle, FT_BITS_8, FT_STOP_BITS_2,
                                          FT_PARITY_EVEN) != FT_OK)
        throw OpenError();
}

void TBX3::Close() {
    driver_.Close();
}

void TBX3::Read(std::uint8_t* buffer, std::uint32_t count) {
    // How many bytes arrived is not looked at: a read that ends by time-out returns
    // normally and the rest of the buffer keeps what the caller put there.
    DWORD received = 0;
    if (driver_.FT_Read == nullptr ||
        driver_.FT_Read(driver_.deviceHandle, buffer, count, &received) != FT_OK)
        throw ReadError();
}

void TBX3::Write(const std::uint8_t* buffer, std::uint32_t count) {
    DWORD written = 0;
    // FT_Write's buffer parameter is not const, but the driver only reads from it.
    if (driver_.FT_Write == nullptr ||
        driver_.FT_Write(driver_.deviceHandle, const_cast<std::uint8_t*>(buffer), count,
                         &written) != FT_OK)
        throw WriteError();
}

void TBX3::PurgeReceive() {
    if (driver_.FT_Purge == nullptr || driver_.FT_Purge(driver_.deviceHandle, FT_PURGE_RX) != FT_OK)
        throw ConnectionError();
}

void TBX3::SelectAdapter(const std::string& serial) {
    if (serial.size() >= sizeof serial_) throw OpenError();
    std::memcpy(serial_, serial.c_str(), serial.size() + 1);
}

std::vector<TBX3::AdapterInfo> TBX3::ListAdapters() const {
    if (driver_.FT_ListDevices == nullptr) throw ConnectionError();
    DWORD count = 0;
    const FT_STATUS status = driver_.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    if (status == FT_DEVICE_NOT_FOUND) return {};
    if (status != FT_OK) throw ConnectionError();
    std::vector<AdapterInfo> adapters;
    for (DWORD i = 0; i < count; ++i) {
        // Room beyond the 64 bytes a driver may write, and a terminator of our own.
        char serial[128] = {};
        char description[128] = {};
        const auto index = reinterpret_cast<PVOID>(static_cast<std::uintptr_t>(i));
        if (driver_.FT_ListDevices(index, serial, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER) !=
                FT_OK ||
            driver_.FT_ListDevices(index, description, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) !=
                FT_OK)
            break;  // unplugged while listing
        serial[sizeof serial - 1] = description[sizeof description - 1] = '\0';
        adapters.push_back({i, serial, description});
    }
    return adapters;
}
