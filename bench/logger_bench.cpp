// Logger figures: records added per second, and the resident memory of a
// process holding two full-size loggers (the event log and the tracer's row
// store) when empty, with 1,000 records each and when full.
#include <memory>
#include <string>

#include "figures.h"
#include "monitor/logger.h"
#include "resident_memory.h"

namespace {
double Megabytes(size_t bytes) {
    return bytes / (1024.0 * 1024.0);
}

void Fill(Logger& logger, int records, const std::string& text) {
    for (int i = 0; i < records; ++i)
        logger.AddRecord(text, i % 9);
}
}  // namespace

int main() {
    const std::string text = "V=20.012V, I Tester=3000mA, I Loopback=0mA, I Total~=3000mA  with a typical length";
    size_t baseline = ResidentBytes();
    auto events = std::make_unique<Logger>();
    auto trace = std::make_unique<Logger>();
    size_t empty = ResidentBytes();
    Fill(*events, 1000, text);
    Fill(*trace, 1000, text);
    size_t thousand = ResidentBytes();

    Steady::time_point start = Steady::now();
    const int adds = 400000;  // wraps the ring twice
    Fill(*events, adds, text);
    double seconds = SecondsSince(start);
    Fill(*trace, static_cast<int>(Logger::kDefaultCapacity), text);
    size_t full = ResidentBytes();

    std::printf("Logger: %.0f records added per second (%d adds of %zu characters)\n", adds / seconds, adds,
                text.size());
    std::printf("Two %u-slot loggers, resident memory above the process baseline (%.1f MB):\n",
                Logger::kDefaultCapacity, Megabytes(baseline));
    std::printf("  empty:             %8.1f MB\n", Megabytes(empty - baseline));
    std::printf("  1,000 records each: %7.1f MB\n", Megabytes(thousand - baseline));
    std::printf("  full:              %8.1f MB\n", Megabytes(full - baseline));
    return 0;
}
