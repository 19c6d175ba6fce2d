#include "monitor/live_state.h"

#include "platform/format.h"

namespace {
void Add(std::atomic<double>& counter, double amount) {
    counter.store(counter.load(std::memory_order_relaxed) + amount, std::memory_order_relaxed);
}
}  // namespace

void IntegrateCapacity(LiveState& live) {
    std::lock_guard<std::mutex> held(live.capacityLock);
    double sinkMa = live.sinkCurrentMa, loopbackMa = live.loopbackCurrentMa;
    Add(live.sinkMah, sinkMa / 3600);
    Add(live.sinkMwh, sinkMa * live.sinkVolts / 3600);
    Add(live.sourceMah, loopbackMa / 3600);
    Add(live.sourceMwh, loopbackMa * live.sourceVolts / 3600);
}

void ResetSinkCapacity(LiveState& live) {
    std::lock_guard<std::mutex> held(live.capacityLock);
    live.sinkMah = 0;
    live.sinkMwh = 0;
}

void ResetSourceCapacity(LiveState& live) {
    std::lock_guard<std::mutex> held(live.capacityLock);
    live.sourceMah = 0;
    live.sourceMwh = 0;
}

std::string ReadingsLine(const LiveState& live) {
    return Format("V=%.2fV, I Tester=%dmA, I Loopback=%dmA, I Total~=%dmA", live.sinkVolts.load(),
                  live.sinkCurrentMa.load(), live.loopbackCurrentMa.load(), live.totalCurrentMa.load());
}
