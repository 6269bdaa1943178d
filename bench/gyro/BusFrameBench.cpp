#include <benchmark/benchmark.h>

#include "gyro/BusFrame.h"
#include "gyro/StreamTimer.h"

namespace {

class DiscardingDevice : public ComDevice {
  public:
    void Open() override {}
    void Close() override {}
    void Read(std::uint8_t*, std::uint32_t) override {}
    void Write(const std::uint8_t* buffer, std::uint32_t count) override {
        benchmark::DoNotOptimize(buffer[count - 1]);
    }
};

void Pack(benchmark::State& state) {
    BusFrameData frame;
    for (int i = 0; i < 16; ++i) frame.setChannel(i, static_cast<std::uint16_t>(128 * i + 5));
    std::uint16_t v = 0;
    for (auto _ : state) {
        frame.setChannel(0, v++);
        frame.pack();
        benchmark::DoNotOptimize(frame.packedBits);
    }
}
BENCHMARK(Pack);

void Tick(benchmark::State& state) {
    DiscardingDevice device;
    for (auto _ : state) StreamTimerProc(device);
}
BENCHMARK(Tick);

}  // namespace
