#include "link/TBX3.h"

constinit TBX3 g_adapter;

TBX3::~TBX3() {
    driver_.Close();
}

void TBX3::Initialize() {
    if (!driver_.Load()) throw InitializeError();
}

void TBX3::Open() {
    // The description of the device at index 0 is asked for only to learn that a device is
    // there; the text itself is not used.
    char description[128] = {};
    if (driver_.FT_ListDevices == nullptr ||
        driver_.FT_ListDevices(reinterpret_cast<PVOID>(0), description,
                               FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION) != FT_OK)
        throw OpenError();

    // The handle is kept only when FT_Open reports success, so a failed open never leaves
    // a stray value for the destructor to close.
    FT_HANDLE handle = nullptr;
    if (driver_.FT_Open == nullptr || driver_.FT_Open(0, &handle) != FT_OK) throw OpenError();
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
