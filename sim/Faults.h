// The faults the virtual gyro can play for tests, parsed from a comma-separated list
// (TARVEX_VGYRO_FAULTS or vgyro_set_faults; the syntax is in sim/VirtualGyroControl.h).
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace vgyro {

struct Faults {
    bool noDevice = false;
    std::set<std::string, std::less<>> failing;  // FT_* names that return FT_IO_ERROR
    bool noReply = false;
    std::optional<std::uint64_t> cut;  // reply block bytes delivered, echo included
    bool badHeader = false;
    bool badSum = false;
    std::optional<std::uint8_t> model;
    bool storeDiffers = false;
    std::optional<std::uint64_t> writeFailsAfter;
    std::optional<std::uint64_t> unplugAfter;

    bool Fails(std::string_view name) const { return failing.find(name) != failing.end(); }
};

// Nothing when the list does not parse (an unknown fault, a bad number, an FT_* name that
// is not one of the 35). Blanks around items are ignored; an empty list is no faults.
std::optional<Faults> ParseFaults(std::string_view list);

// True for each of the 35 D2XX names.
bool IsD2xxName(std::string_view name);

}  // namespace vgyro
