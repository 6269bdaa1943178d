// The browser edition's stream of bus frames (the StreamTimer of gyro/StreamTimer.h, built
// from web/WebStreamTimer.cpp instead of gyro/StreamTimer.cpp). The module never runs per
// tick: Start hands the packed 25-byte frame to the page's ticker (Module.tarvexStream in
// web/tarvex-api.js), which every period writes it to the port (tarvexPort.write) or, for
// the linked-in virtual gyro, calls tarvex_stream_tick once the module is idle.
#pragma once

namespace web {

// Packs BusFrame and hands it to the ticker when it differs from the frame handed last;
// nothing while no stream runs. Runs after every call of the page.
void RefreshStreamFrame();

}  // namespace web
