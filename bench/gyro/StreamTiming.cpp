// Runs the bus-frame stream for a while (10 s unless given) against a device that stamps
// each 25-byte write, and reports the frame count, the period's spread and the drift from
// the ideal grid of one frame every 50 ms after the start.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "gyro/BusFrame.h"
#include "gyro/StreamTimer.h"

namespace {

using Clock = std::chrono::steady_clock;

class StampingDevice : public ComDevice {
  public:
    explicit StampingDevice(std::size_t capacity) { stamps.reserve(capacity); }
    void Open() override {}
    void Close() override {}
    void Read(std::uint8_t*, std::uint32_t) override {}
    void Write(const std::uint8_t*, std::uint32_t count) override {
        const auto now = Clock::now();
        if (count != BusFrameData::kWireSize) ++wrongSize;
        if (stamps.size() < stamps.capacity()) stamps.push_back(now);  // never reallocates
    }
    std::vector<Clock::time_point> stamps;
    int wrongSize = 0;
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const auto at =
        static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(v.size()))) - 1;
    return v[std::min(at, v.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    constexpr auto period = std::chrono::milliseconds(50);
    const auto expected = static_cast<long>(seconds * 1000.0 / 50.0);

    StampingDevice device(static_cast<std::size_t>(expected) + 100);
    // As the window does while it runs (on Windows: timeBeginPeriod).
    const std::uint32_t resolution = TimerResolution();
    BeginTimerPeriod(resolution);
    StreamTimer timer;
    BusFrame.setChannel(0, 1024);
    const auto start = Clock::now();
    if (!timer.Start(
            device, [] { std::fprintf(stderr, "write failed\n"); }, period)) {
        std::fprintf(stderr, "the stream did not start\n");
        return 1;
    }
    std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                              std::chrono::duration<double>(seconds)));
    timer.Stop();
    EndTimerPeriod(resolution);

    const auto& s = device.stamps;
    const std::size_t n = s.size();
    std::printf("run %.1f s: %zu frames (expected %ld), %d of the wrong size\n", seconds, n,
                expected, device.wrongSize);
    if (n < 2) return 1;
    std::vector<double> periods, errors;
    for (std::size_t i = 1; i < n; ++i) {
        periods.push_back(Ms(s[i] - s[i - 1]));
        errors.push_back(std::abs(periods.back() - 50.0));
    }
    if (std::getenv("TARVEX_TIMING_VERBOSE") != nullptr) {
        for (std::size_t i = 0; i < periods.size(); ++i) {
            if (errors[i] > 0.5) std::printf("  period %zu: %.4f ms\n", i + 1, periods[i]);
        }
    }
    double mean = 0;
    for (double p : periods) mean += p;
    mean /= static_cast<double>(periods.size());
    const double maxError = *std::max_element(errors.begin(), errors.end());
    const double firstLate = Ms(s.front() - (start + period));
    const double drift = Ms(s.back() - (start + static_cast<long>(n) * period));
    std::printf("period mean %.4f ms, p50 %.4f ms\n", mean, Percentile(periods, 50));
    std::printf("|period - 50 ms|: p50 %.4f ms, p99 %.4f ms, max %.4f ms\n", Percentile(errors, 50),
                Percentile(errors, 99), maxError);
    std::printf(
        "first frame %.4f ms after start + 50 ms; last frame %.4f ms off start + n * 50 ms\n",
        firstLate, drift);
    const bool ok = std::labs(static_cast<long>(n) - expected) <= 1 &&
                    Percentile(errors, 99) < 0.5 && std::abs(drift) < 1.0;
    std::printf("%s\n", ok ? "goal met" : "goal missed");
    return ok ? 0 : 2;
}
