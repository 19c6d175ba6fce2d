#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

// What the benchmarks share: timing, their number arguments and printing a
// spread of durations.
using Steady = std::chrono::steady_clock;

inline double MsSince(Steady::time_point from, Steady::time_point to = Steady::now()) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

inline double SecondsSince(Steady::time_point from) {
    return MsSince(from) / 1000;
}

// Argument `i` as a number, or `otherwise` when there are fewer arguments.
inline int NumberArg(int argc, char** argv, int i, int otherwise) {
    return argc > i ? std::atoi(argv[i]) : otherwise;
}

// Prints how many durations (in ms) there were and their median, 99th
// percentile and maximum.
inline void PrintSpread(const char* what, std::vector<double> values) {
    if (values.empty()) {
        std::printf("%s: none\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    auto at = [&](double p) { return values[static_cast<size_t>(p * (values.size() - 1))]; };
    std::printf("%s: %zu, median %.3f ms, p99 %.3f ms, max %.3f ms\n", what, values.size(), at(0.5), at(0.99),
                values.back());
}
