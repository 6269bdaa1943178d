#include "sim/Faults.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "link/D2xx.h"

namespace vgyro {

namespace {

#define TARVEX_VGYRO_NAME(name, params) #name,
constexpr std::array kD2xxNames = {TARVEX_D2XX_ENTRY_POINTS(TARVEX_VGYRO_NAME)};
#undef TARVEX_VGYRO_NAME

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// A whole decimal number, or hexadecimal with 0x.
std::optional<std::uint64_t> Number(std::string_view s) {
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (s.empty() || ec != std::errc{} || end != s.data() + s.size()) return std::nullopt;
    return value;
}

bool ParseItem(std::string_view item, Faults& faults) {
    const auto eq = item.find('=');
    const std::string_view key = Trim(item.substr(0, eq));
    const std::string_view arg = eq == std::string_view::npos ? "" : Trim(item.substr(eq + 1));
    const bool hasArg = eq != std::string_view::npos;
    if (!hasArg) {
        bool* flag = key == "no-device"       ? &faults.noDevice
                     : key == "no-reply"      ? &faults.noReply
                     : key == "bad-header"    ? &faults.badHeader
                     : key == "bad-sum"       ? &faults.badSum
                     : key == "store-differs" ? &faults.storeDiffers
                                              : nullptr;
        if (flag) *flag = true;
        return flag != nullptr;
    }
    if (key == "fail") {
        if (!IsD2xxName(arg)) return false;
        faults.failing.emplace(arg);
        return true;
    }
    const auto n = Number(arg);
    if (!n) return false;
    if (key == "cut") {
        faults.cut = *n;
        return true;
    }
    if (key == "model") {
        if (*n > 0xFF) return false;
        faults.model = static_cast<std::uint8_t>(*n);
        return true;
    }
    if (key == "write-fails-after") {
        faults.writeFailsAfter = *n;
        return true;
    }
    if (key == "unplug-after") {
        faults.unplugAfter = *n;
        return true;
    }
    return false;
}

}  // namespace

bool IsD2xxName(std::string_view name) {
    return std::find(kD2xxNames.begin(), kD2xxNames.end(), name) != kD2xxNames.end();
}

std::optional<Faults> ParseFaults(std::string_view list) {
    Faults faults;
    while (true) {
        const auto comma = list.find(',');
        const std::string_view item = Trim(list.substr(0, comma));
        if (!item.empty() && !ParseItem(item, faults)) return std::nullopt;
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return faults;
}

}  // namespace vgyro
