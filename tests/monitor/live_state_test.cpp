#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "monitor/live_state.h"

// Measurements are {temperature, sink mV, source mV, load set point, sink mA,
// source (loopback) mA}.

// Capacity counts only what a port that is being measured delivers, from a
// measurement that is not stale: a detached sink or a silent tester adds
// nothing, however long the window's timer goes on ticking.
TEST(LiveState, CapacityIntegratesOnlyFreshMeasurementsOfMeasuredPorts) {
    LiveState live;
    live.sinkActive = true;
    live.sourceActive = true;
    for (uint64_t now = 1000; now < 11000; now += 1000) {
        live.PublishMeasurement(Measurements{0, 5000, 20000, 0, 3600, 1800}, now - 500);
        IntegrateCapacity(live, now);
    }
    EXPECT_DOUBLE_EQ(live.sinkMah, 10.0);
    EXPECT_DOUBLE_EQ(live.sinkMwh, 50.0);
    EXPECT_DOUBLE_EQ(live.sourceMah, 5.0);
    EXPECT_DOUBLE_EQ(live.sourceMwh, 100.0);

    live.PublishMeasurement(Measurements{0, 20016, 0, 0, 3600, 1800}, 20000);
    EXPECT_EQ(ReadingsLine(live), "V=20.02V, I Tester=3600mA, I Loopback=1800mA, I Total~=5400mA");

    IntegrateCapacity(live, 20000 + kCapacityFreshMs + 1);  // the tester stopped answering
    live.sinkActive = false;                                // the charger went away
    live.sourceActive = false;
    IntegrateCapacity(live, 20500);
    EXPECT_DOUBLE_EQ(live.sinkMah, 10.0);
    EXPECT_DOUBLE_EQ(live.sourceMah, 5.0);
    live.loopbackEnabled = true;  // loopback measures the source side without a source profile
    IntegrateCapacity(live, 20500);
    EXPECT_DOUBLE_EQ(live.sourceMah, 5.5);
}

// The window's timer integrates while the poll thread zeroes a detached
// port: a reset must never be undone by an integration that read the
// counters before it.
TEST(LiveState, AResetIsNeverUndoneByAConcurrentIntegration) {
    LiveState live;
    live.sinkActive = true;
    live.PublishMeasurement(Measurements{0, 5000, 0, 0, 3600, 0}, 0);  // 1 mAh per integration
    std::atomic<bool> done{false};
    std::atomic<uint64_t> integrations{0};
    std::thread timer([&] {
        while (!done) {
            IntegrateCapacity(live, 0);
            ++integrations;
        }
    });
    for (int i = 0; i < 20000; ++i) {
        uint64_t before = integrations;
        ResetSinkCapacity(live);
        double after = live.sinkMah;
        uint64_t since = integrations - before;
        ASSERT_LE(after, static_cast<double>(since + 1)) << "a reset was undone at round " << i;
    }
    done = true;
    timer.join();
}
