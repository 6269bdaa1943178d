// The linked-in virtual gyro's entry points (sim/, its names prefixed by sim/StaticNames.h)
// as a D2XX table.
#include "link/D2xx.h"
#include "web/WebD2xx.h"

#define TARVEX_VGYRO_DECLARE(name, params) \
    extern "C" FT_STATUS TARVEX_D2XX_API tarvex_vgyro_##name params;
TARVEX_D2XX_ENTRY_POINTS(TARVEX_VGYRO_DECLARE)
#undef TARVEX_VGYRO_DECLARE

const D2xxDriver& VirtualGyroD2xxTable() {
    static const D2xxDriver table = [] {
        D2xxDriver bound;
#define TARVEX_VGYRO_BIND(name, params) bound.name = tarvex_vgyro_##name;
        TARVEX_D2XX_ENTRY_POINTS(TARVEX_VGYRO_BIND)
#undef TARVEX_VGYRO_BIND
        return bound;
    }();
    return table;
}
