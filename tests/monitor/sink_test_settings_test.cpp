#include <gtest/gtest.h>

#include "monitor/sink_test_settings.h"

TEST(SinkSettings, LoadedFromTheTestersRegisters) {
    TesterConfig config;
    config.currentLimitMode = 2;
    config.forcedCurrentLimitMa = 3000;
    config.cableResistanceMilliohm = 120;
    config.loadChangeTimeMs = 500;
    config.pdDetection = 0;
    SinkTestSettings settings;
    LoadSinkSettings(config, settings);
    EXPECT_EQ(settings.currentLimitMode, 2u);
    EXPECT_EQ(settings.forcedLimitIndex, 4);  // (4 + 1) x 500 + 500 = 3000 mA
    EXPECT_EQ(settings.cableResistanceMilliohm, 120);
    EXPECT_EQ(settings.dialLoadChangeSpeedMs, 500);
    EXPECT_EQ(settings.pdDetection, 0);
}

TEST(SinkSettings, StoredWithTheLoopbackSwitchAndTheLimit) {
    LiveState live;
    live.loopbackEnabled = true;
    live.sinkRatedCurrentMa = 3000;
    live.settings.currentLimitMode = 1;
    live.settings.estimateUpstreamVbus = true;
    live.settings.ppsDetection = 0;
    TesterConfig config;
    StoreSinkSettings(live, config);
    EXPECT_EQ(config.loopbackMode, 1);
    EXPECT_EQ(config.currentLimitMode, 1u);
    EXPECT_EQ(config.forcedCurrentLimitMa, 3600) << "the limit the load may reach";
    EXPECT_EQ(config.estimateUpstreamVbus, 1);
    EXPECT_EQ(config.cableResistanceMilliohm, 80);
    EXPECT_EQ(config.ppsDetection, 0);

    SinkTestSettings back;
    LoadSinkSettings(config, back);
    EXPECT_EQ(back.cableResistanceMilliohm, 80);
    EXPECT_TRUE(back.estimateUpstreamVbus);
}
