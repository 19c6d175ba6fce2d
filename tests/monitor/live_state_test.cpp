#include <gtest/gtest.h>

#include "monitor/live_state.h"

TEST(LiveState, CapacityAccumulatesPerSecond) {
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
}

TEST(LiveState, ReadingsLine) {
    LiveState live;
    live.sinkVolts = 20.016f;
    live.sinkCurrentMa = 3000;
    live.loopbackCurrentMa = 120;
    live.totalCurrentMa = 3120;
    EXPECT_EQ(ReadingsLine(live), "V=20.02V, I Tester=3000mA, I Loopback=120mA, I Total~=3120mA");
}
