// The bus-frame stream for a whole minute against the virtual gyro with its line timing:
// how many frames went out, how far each period strays from 50 ms, whether the stream
// drifts, and how much processor time the process spends meanwhile.
//
//   stream.frames            frames sent in the run (60 s: 1200 expected)
//   stream.error.p99/max     |period - 50 ms| over consecutive frames
//   stream.drift             (last frame - first frame) - (frames - 1) * 50 ms
//   stream.cpu               user + system time of the whole process / wall time
#include <sys/resource.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "gyro/BusFrame.h"
#include "gyro/StreamTimer.h"

namespace {

// Stamps every frame as it is handed to the adapter.
class StampingDevice final : public ComDevice {
  public:
    explicit StampingDevice(ComDevice& inner, std::size_t capacity) : inner_(inner) {
        stamps_.resize(capacity);
    }
    void Open() override {}
    void Close() override {}
    void Read(std::uint8_t* buffer, std::uint32_t count) override { inner_.Read(buffer, count); }
    void Write(const std::uint8_t* buffer, std::uint32_t count) override {
        const auto now = BenchClock::now();
        const std::size_t i = count_.load(std::memory_order_relaxed);
        if (i < stamps_.size()) stamps_[i] = now;
        count_.store(i + 1, std::memory_order_release);
        inner_.Write(buffer, count);
    }
    std::vector<BenchClock::time_point> Stamps() const {
        const std::size_t n = std::min(count_.load(std::memory_order_acquire), stamps_.size());
        return {stamps_.begin(), stamps_.begin() + static_cast<std::ptrdiff_t>(n)};
    }

  private:
    ComDevice& inner_;
    std::vector<BenchClock::time_point> stamps_;
    std::atomic<std::size_t> count_{0};
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    constexpr double kPeriodMs = 50.0;
    UseTimedVirtualGyro();
    TBX3 adapter;
    adapter.Initialize();
    adapter.Open();
    StampingDevice device(adapter, static_cast<std::size_t>(seconds) * 40 + 100);
    BusFrame.setChannel(0, 1024);

    std::atomic<bool> failed{false};
    StreamTimer timer;
    const double cpuBefore = CpuSeconds();
    const auto start = BenchClock::now();
    if (!timer.Start(device, [&] { failed = true; })) {
        std::fprintf(stderr, "the stream did not start\n");
        return 1;
    }
    std::this_thread::sleep_until(start + std::chrono::seconds(seconds));
    timer.Stop();
    const double wallSeconds = Milliseconds(BenchClock::now() - start) / 1000.0;
    const double cpu = CpuSeconds() - cpuBefore;
    if (failed) {
        std::fprintf(stderr, "a frame's write failed\n");
        return 1;
    }

    const auto stamps = device.Stamps();
    std::vector<double> errors;
    for (std::size_t i = 1; i < stamps.size(); ++i) {
        errors.push_back(std::fabs(Milliseconds(stamps[i] - stamps[i - 1]) - kPeriodMs));
    }
    const Summary e = Summarise(errors);
    const double span = stamps.size() > 1 ? Milliseconds(stamps.back() - stamps.front()) : 0;
    const double drift = span - static_cast<double>(stamps.size() - 1) * kPeriodMs;

    Report("stream.seconds", seconds, "s");
    Report("stream.frames", static_cast<double>(stamps.size()), "");
    Report("stream.frames.expected", seconds * 1000.0 / kPeriodMs, "");
    Report("stream.error.median", e.median, "ms");
    Report("stream.error.p99", e.p99, "ms");
    Report("stream.error.max", e.max, "ms");
    Report("stream.drift", drift, "ms");
    Report("stream.cpu", 100.0 * cpu / wallSeconds, "%");
    return 0;
}
