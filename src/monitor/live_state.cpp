#include "monitor/live_state.h"

#include "platform/format.h"

namespace {
void Add(std::atomic<double>& counter, double amount) {
    counter.store(counter.load(std::memory_order_relaxed) + amount, std::memory_order_relaxed);
}
}  // namespace

Measurement LiveState::PublishMeasurement(const Measurements& answer, uint64_t takenMs) {
    Measurement m;
    m.takenMs = takenMs;
    m.temperatureC = answer.temperatureC;
    m.sinkMv = answer.sinkVbusMv;
    m.sourceMv = answer.sourceVbusMv;
    m.loadSetpointMa = answer.loadSetpointMa;
    m.sinkCurrentMa = answer.sinkCurrentMa;
    m.loopbackCurrentMa = answer.sourceCurrentMa;
    {
        std::lock_guard<std::mutex> held(measurementLock_);
        m.sequence = measurement_.sequence + 1;
        measurement_ = m;
    }
    sequence_.store(m.sequence, std::memory_order_release);
    return m;
}

void IntegrateCapacity(LiveState& live, uint64_t nowMs) {
    Measurement m = live.LatestMeasurement();
    if (m.sequence == 0 || nowMs - m.takenMs > kCapacityFreshMs) return;
    std::lock_guard<std::mutex> held(live.capacityLock);
    if (live.sinkActive) {
        double sinkMa = m.sinkCurrentMa;
        Add(live.sinkMah, sinkMa / 3600);
        Add(live.sinkMwh, sinkMa * m.SinkVolts() / 3600);
    }
    if (live.sourceActive || live.loopbackEnabled) {
        double loopbackMa = m.loopbackCurrentMa;
        Add(live.sourceMah, loopbackMa / 3600);
        Add(live.sourceMwh, loopbackMa * m.SourceVolts() / 3600);
    }
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
    Measurement m = live.LatestMeasurement();
    return Format("V=%.2fV, I Tester=%dmA, I Loopback=%dmA, I Total~=%dmA", m.SinkVolts(), m.sinkCurrentMa,
                  m.loopbackCurrentMa, m.TotalCurrentMa());
}
