#include "monitor/live_state.h"

#include "platform/format.h"

namespace {
void Add(std::atomic<double>& counter, double amount) {
    counter.store(counter.load(std::memory_order_relaxed) + amount, std::memory_order_relaxed);
}
}  // namespace

void IntegrateCapacity(LiveState& live) {
    double sinkMa = live.sinkCurrentMa, loopbackMa = live.loopbackCurrentMa;
    Add(live.sinkMah, sinkMa / 3600);
    Add(live.sinkMwh, sinkMa * live.sinkVolts / 3600);
    Add(live.sourceMah, loopbackMa / 3600);
    Add(live.sourceMwh, loopbackMa * live.sourceVolts / 3600);
}

std::string ReadingsLine(const LiveState& live) {
    return Format("V=%.2fV, I Tester=%dmA, I Loopback=%dmA, I Total~=%dmA", live.sinkVolts.load(),
                  live.sinkCurrentMa.load(), live.loopbackCurrentMa.load(), live.totalCurrentMa.load());
}
