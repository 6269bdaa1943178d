#include "sim/StateFile.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "sim/GyroModel.h"

namespace vgyro {

namespace fs = std::filesystem;

std::string StatePath() {
    if (const char* state = std::getenv("TARVEX_VGYRO_STATE"); state && *state) {
        return std::string(state) == "none" ? std::string() : std::string(state);
    }
    fs::path base;
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && fs::path(xdg).is_absolute()) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = fs::path(home) / ".local" / "state";
    } else {
        return {};
    }
    return (base / "tarvex" / "vgyro.state").string();
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
    return true;
}

}  // namespace vgyro
