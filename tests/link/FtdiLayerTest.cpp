// The libftdi1 layer on a machine without an FTDI device (maybe without USB at all).
#include <gtest/gtest.h>

#include <filesystem>

#include "LinkTestSupport.h"

namespace {

using linktest::Slots;

// An FTDI chip on the bus would make the layer find a device.
bool FtdiDeviceAttached() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/bus/usb/devices", error)) {
        std::ifstream vendor(entry.path() / "idVendor");
        std::string id;
        if (vendor >> id && id == "0403") return true;
    }
    return false;
}

class FtdiLayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TARVEX_D2XX", FTDI_LAYER, 1);
        ASSERT_NO_THROW(adapter.Initialize()) << "every one of the 35 names resolves";
    }
    void TearDown() override { unsetenv("TARVEX_D2XX"); }
    TBX3 adapter;
};

TEST_F(FtdiLayerTest, BindsAllEntryPoints) {
    for (const auto& [name, address] : Slots(adapter.Driver())) EXPECT_NE(address, nullptr) << name;
}

TEST_F(FtdiLayerTest, WithoutADeviceOpenFailsAtTheListing) {
    if (FtdiDeviceAttached()) GTEST_SKIP() << "an FTDI device is attached";
    EXPECT_THROW(adapter.Open(), TBX3::OpenError);
    EXPECT_EQ(adapter.Driver().deviceHandle, nullptr);

    const D2xxDriver& d = adapter.Driver();
    char description[64] = "unchanged";
    EXPECT_EQ(d.FT_ListDevices(nullptr, description, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION),
              FT_DEVICE_NOT_FOUND);
    EXPECT_STREQ(description, "unchanged");
    FT_HANDLE handle = reinterpret_cast<FT_HANDLE>(1);
    EXPECT_EQ(d.FT_Open(0, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, nullptr);
    char serial[] = "TBX3A001";
    handle = reinterpret_cast<FT_HANDLE>(1);
    EXPECT_EQ(d.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(handle, nullptr);
    EXPECT_TRUE(adapter.ListAdapters().empty());
}

// Without TARVEX_D2XX and without the vendor's library, the layer beside the program is
// the one loaded.
TEST(FtdiLayerChoiceTest, LayerBesideTheProgramStandsInForTheVendorsLibrary) {
    if (void* vendor = dlopen("libftd2xx.so", RTLD_NOW | RTLD_LOCAL); vendor != nullptr)
        GTEST_SKIP() << "the vendor's library is installed";
    unsetenv("TARVEX_D2XX");
    TBX3 adapter;
    ASSERT_NO_THROW(adapter.Initialize());
    EXPECT_EQ(adapter.Driver().libraryHandle, dlopen(FTDI_LAYER, RTLD_NOW | RTLD_NOLOAD));
}

// Calls on a handle the layer never gave out are refused, never followed.
TEST_F(FtdiLayerTest, RefusesUnknownHandlesAndAnswersNotSupportedForTheRest) {
    const D2xxDriver& d = adapter.Driver();
    int notAPort = 0;
    FT_HANDLE stranger = &notAPort;
    unsigned char bytes[4] = {};
    DWORD count = 99;
    const std::pair<const char*, FT_STATUS> answers[] = {
        {"FT_Close", d.FT_Close(stranger)},
        {"FT_Read", d.FT_Read(stranger, bytes, 4, &count)},
        {"FT_Write", d.FT_Write(stranger, bytes, 4, &count)},
        {"FT_Purge", d.FT_Purge(nullptr, FT_PURGE_RX)},
        {"FT_SetBaudRate", d.FT_SetBaudRate(stranger, 9600)},
        {"FT_SetTimeouts", d.FT_SetTimeouts(stranger, 1000, 1000)},
        {"FT_SetDataCharacteristics", d.FT_SetDataCharacteristics(stranger, 8, 2, 2)},
    };
    for (const auto& [name, status] : answers) EXPECT_EQ(status, FT_INVALID_HANDLE) << name;

    DWORD version = 0;
    EXPECT_EQ(d.FT_GetLibraryVersion(&version), FT_NOT_SUPPORTED);
    EXPECT_EQ(d.FT_SetLatencyTimer(stranger, 2), FT_NOT_SUPPORTED);
    EXPECT_EQ(d.FT_ResetDevice(stranger), FT_NOT_SUPPORTED);
}

}  // namespace
