#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

// Prints how many durations (in ms) there were and their median, 99th
// percentile and maximum.
inline void PrintSpread(const char* what, std::vector<double> values) {
    if (values.empty()) {
        std::printf("%s: none\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    auto at = [&](double p) { return values[static_cast<size_t>(p * (values.size() - 1))]; };
    std::printf("%s: %zu, median %.2f ms, p99 %.2f ms, max %.2f ms\n", what, values.size(), at(0.5), at(0.99),
                values.back());
}
