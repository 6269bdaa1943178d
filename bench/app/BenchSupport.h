// Shared pieces of the application benchmarks: an adapter on the virtual gyro with its
// line timing, statistics, and the key: value lines scripts/bench.sh collects.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/TBX3.h"

#ifndef TARVEX_VGYRO_PATH
#error "Link to tarvex_test_vgyro: it defines TARVEX_VGYRO_PATH."
#endif

using BenchClock = std::chrono::steady_clock;

// Points the adapter's loader at the virtual gyro with line timing (no fast mode), its
// state in memory only and no faults.
inline void UseTimedVirtualGyro() {
    ::setenv("TARVEX_D2XX", TARVEX_VGYRO_PATH, 1);
    ::unsetenv("TARVEX_VGYRO_FAST");
    ::setenv("TARVEX_VGYRO_STATE", "none", 1);
    ::unsetenv("TARVEX_VGYRO_FAULTS");
}

inline double Milliseconds(BenchClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Summary {
    double min = 0, median = 0, p99 = 0, max = 0, mean = 0;
};

inline Summary Summarise(std::vector<double> values) {
    Summary s;
    if (values.empty()) return s;
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        const auto i = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
        return values[std::min(values.size() - 1, i == 0 ? 0 : i - 1)];
    };
    s.min = values.front();
    s.max = values.back();
    s.median = at(0.5);
    s.p99 = at(0.99);
    double sum = 0;
    for (double v : values) sum += v;
    s.mean = sum / static_cast<double>(values.size());
    return s;
}

// One result line: "name: value unit".
inline void Report(const std::string& name, double value, const char* unit) {
    std::printf("%s: %.3f %s\n", name.c_str(), value, unit);
    std::fflush(stdout);
}
