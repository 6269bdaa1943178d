#include "Commands.h"

#include <array>

#include "Pause.h"

namespace {

constexpr std::size_t kBurstSize = 1000;
constexpr std::uint8_t kBurstByte = 0x55;
constexpr std::uint32_t kReadBackPauseMs = 500;

}  // namespace

void RunReadCommand(KR640& gyro) {
    std::array<std::uint8_t, kBurstSize> burst;
    burst.fill(kBurstByte);
    gyro.device().Write(burst.data(), static_cast<std::uint32_t>(burst.size()));
    PauseFor(kReadBackPauseMs);
    gyro.Read(true);
    gyro.workingRecord = gyro.deviceRecord;
}

void RunWriteCommand(KR640& gyro, bool notUsingId) {
    gyro.Write(false);
    PauseFor(kReadBackPauseMs);
    gyro.Read(!notUsingId);
    if (!recordsEqual(gyro.deviceRecord, gyro.workingRecord)) throw TBX3::WriteError();
}

int CommandFailureMessage(CommandKind kind, const std::exception& error) noexcept {
    const bool read = kind == CommandKind::Read;
    if (dynamic_cast<const CompatibilityError*>(&error) != nullptr) return 102;
    if (dynamic_cast<const TBX3::OpenError*>(&error) != nullptr) return 119;
    if (dynamic_cast<const TBX3::ReadError*>(&error) != nullptr) return read ? 103 : 104;
    if (dynamic_cast<const TBX3::WriteError*>(&error) != nullptr) return read ? 103 : 104;
    if (dynamic_cast<const TBX3::ConnectionError*>(&error) != nullptr) return 120;
    return 0;
}
