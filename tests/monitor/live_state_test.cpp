#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "monitor/live_state.h"

TEST(LiveState, CapacityAccumulatesPerSecondAndTheReadingsLine) {
    LiveState live;
    live.sinkCurrentMa = 3600;
    live.sinkVolts = 5.0f;
    live.loopbackCurrentMa = 1800;
    live.sourceVolts = 20.0f;
    for (int i = 0; i < 10; ++i)
        IntegrateCapacity(live);
    EXPECT_DOUBLE_EQ(live.sinkMah, 10.0);
    EXPECT_DOUBLE_EQ(live.sinkMwh, 50.0);
    EXPECT_DOUBLE_EQ(live.sourceMah, 5.0);
    EXPECT_DOUBLE_EQ(live.sourceMwh, 100.0);

    live.sinkVolts = 20.016f;
    live.totalCurrentMa = 5400;
    EXPECT_EQ(ReadingsLine(live), "V=20.02V, I Tester=3600mA, I Loopback=1800mA, I Total~=5400mA");
}

// The window's timer integrates while the poll thread zeroes a detached
// port: a reset must never be undone by an integration that read the
// counters before it.
TEST(LiveState, AResetIsNeverUndoneByAConcurrentIntegration) {
    LiveState live;
    live.sinkCurrentMa = 3600;  // 1 mAh per integration
    std::atomic<bool> done{false};
    std::atomic<uint64_t> integrations{0};
    std::thread timer([&] {
        while (!done) {
            IntegrateCapacity(live);
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
