#include <emscripten.h>

#include <array>
#include <cstring>

#include "gyro/BusFrame.h"
#include "gyro/StreamTimer.h"
#include "web/WebD2xx.h"
#include "web/WebStream.h"

// The page's ticker (Module.tarvexStream, web/tarvex-api.js).
// clang-format off
EM_JS(void, js_stream_start, (const unsigned char* frame, int period, int toPort), {
    Module.tarvexStream.start(HEAPU8.slice(frame, frame + 25), period, toPort ? "port" : "vgyro");
});
EM_JS(void, js_stream_frame, (const unsigned char* frame), {
    Module.tarvexStream.frame(HEAPU8.slice(frame, frame + 25));
});
// Stops the ticks and waits for a port write still under way.
EM_ASYNC_JS(void, js_stream_stop, (), { await Module.tarvexStream.stop(); });
EM_JS(double, js_stream_frames, (), { return Module.tarvexStream.frames(); });
// clang-format on

void StreamTimerProc(ComDevice& device) {
    BusFrame.pack();
    device.Write(BusFrame.wire(), static_cast<std::uint32_t>(BusFrameData::kWireSize));
}

// No timer resolution to request in a browser.
std::uint32_t TimerResolution() noexcept {
    return 1;
}
void BeginTimerPeriod(std::uint32_t) noexcept {}
void EndTimerPeriod(std::uint32_t) noexcept {}

namespace {

// The stream's state; StreamTimer::State is this (a private name the functions below
// cannot use).
struct WebStreamState {
    ComDevice* device = nullptr;
    StreamTimer::Failure onFailure;
    bool active = false;     // between Start and Stop or a failed frame
    bool ticking = false;    // the page's ticker runs (Stop must stop it)
    bool inFailure = false;  // onFailure is running
    std::uint64_t vgyroFrames = 0;
    std::array<std::uint8_t, BusFrameData::kWireSize> handed{};
};

// The one running stream (there is one window); null while none runs.
WebStreamState* g_running = nullptr;

// The stream stopped at a failed frame: the owner hears of it once.
void Failed(WebStreamState& state) {
    if (!state.active) return;
    state.active = false;
    state.ticking = false;
    if (g_running == &state) g_running = nullptr;
    if (!state.onFailure) return;
    state.inFailure = true;
    try {
        state.onFailure();
    } catch (...) {
    }
    state.inFailure = false;
}

}  // namespace

struct StreamTimer::State : WebStreamState {};

StreamTimer::StreamTimer() : state_(std::make_unique<State>()) {}

StreamTimer::~StreamTimer() {
    Stop();
}

bool StreamTimer::Start(ComDevice& device, Failure onFailure, std::chrono::milliseconds period) {
    if (state_->inFailure) return false;
    Stop();
    if (period.count() <= 0) return false;
    state_->device = &device;
    state_->onFailure = std::move(onFailure);
    state_->vgyroFrames = 0;
    BusFrame.pack();
    std::memcpy(state_->handed.data(), BusFrame.wire(), BusFrameData::kWireSize);
    state_->active = true;
    state_->ticking = true;
    g_running = state_.get();
    js_stream_start(state_->handed.data(), static_cast<int>(period.count()),
                    D2xxDriver::staticTable == &PortD2xxTable());
    return true;
}

void StreamTimer::Stop() noexcept {
    State& state = *state_;
    state.active = false;
    if (g_running == &state) g_running = nullptr;
    // From the failure callback the ticker has stopped already.
    if (!state.ticking || state.inFailure) return;
    state.ticking = false;
    js_stream_stop();
}

bool StreamTimer::Running() const noexcept {
    return state_->active;
}

std::uint64_t StreamTimer::FramesSent() const noexcept {
    if (D2xxDriver::staticTable == &PortD2xxTable())
        return static_cast<std::uint64_t>(js_stream_frames());
    return state_->vgyroFrames;
}

void web::RefreshStreamFrame() {
    if (g_running == nullptr) return;
    BusFrame.pack();
    if (std::memcmp(g_running->handed.data(), BusFrame.wire(), BusFrameData::kWireSize) == 0)
        return;
    std::memcpy(g_running->handed.data(), BusFrame.wire(), BusFrameData::kWireSize);
    js_stream_frame(g_running->handed.data());
}

extern "C" {

// One tick of a stream to the linked-in virtual gyro, run by the ticker while the module
// is idle: 0 when the frame went out (or no stream runs), 1 when it failed and the stream
// ended (the failure is posted to the dialog).
EMSCRIPTEN_KEEPALIVE int tarvex_stream_tick() {
    if (g_running == nullptr) return 0;
    WebStreamState& state = *g_running;
    try {
        StreamTimerProc(*state.device);
        ++state.vgyroFrames;
        return 0;
    } catch (...) {
        Failed(state);
        return 1;
    }
}

// The ticker's write to the port was rejected: the stream has ended there.
EMSCRIPTEN_KEEPALIVE void tarvex_stream_failed() {
    if (g_running != nullptr) Failed(*g_running);
}

}  // extern "C"
