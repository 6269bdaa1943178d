#include "sim/StateFile.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "gyro/StateFolder.h"
#include "sim/GyroModel.h"

namespace vgyro {

namespace fs = std::filesystem;

namespace {
StateCommitHook g_commit = nullptr;
}  // namespace

void SetStateCommitHook(StateCommitHook hook) noexcept {
    g_commit = hook;
}

std::string StatePath() {
    if (const char* state = std::getenv("TARVEX_VGYRO_STATE"); state && *state) {
        return std::string(state) == "none" ? std::string() : std::string(state);
    }
    // The same folder as the backups the program keeps before every Write.
    const fs::path folder = TarvexStateFolder();
    return folder.empty() ? std::string() : (folder / "vgyro.state").string();
}

std::optional<ParameterRecord> LoadState(const std::string& path) {
    if (path.empty()) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    ParameterRecord record;
    in.read(reinterpret_cast<char*>(record.bytes.data()), ParameterRecord::kSize);
    if (in.gcount() != static_cast<std::streamsize>(ParameterRecord::kSize)) return std::nullopt;
    if (in.peek() != std::ifstream::traits_type::eof()) return std::nullopt;  // too long
    if (!PlausibleRecord(record)) return std::nullopt;
    return record;
}

bool SaveState(const std::string& path, const ParameterRecord& record) {
    if (path.empty()) return true;
    const fs::path target(path);
    std::error_code ec;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    const fs::path temp = target.string() + ".tmp." + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(record.bytes.data()), ParameterRecord::kSize);
        out.close();
        if (!out) {
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    if (g_commit != nullptr) g_commit(path, record);
    return true;
}

}  // namespace vgyro
