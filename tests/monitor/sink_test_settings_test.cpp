#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "monitor/sink_test_settings.h"

TEST(SinkSettings, TravelBetweenRegistersAndSettings) {
    TesterConfig config;
    config.currentLimitMode = 2;
    config.forcedCurrentLimitMa = 3000;
    config.cableResistanceMilliohm = 120;
    config.pdDetection = 0;
    SinkTestSettings settings;
    settings.logIntervalS = 10;
    LoadSinkSettings(config, settings);
    // Index 4 is (4 + 1) x 500 + 500 = 3000 mA; the tester does not keep the log interval.
    EXPECT_EQ(std::tuple(settings.forcedLimitIndex, settings.cableResistanceMilliohm, settings.pdDetection,
                         settings.logIntervalS),
              std::tuple(4, 120, 0, 10));

    settings.currentLimitMode = 1;
    settings.estimateUpstreamVbus = true;
    TesterConfig sent = SinkSettingsToConfig(settings, true, 3000);
    // The forced limit register carries the limit the load may reach.
    EXPECT_EQ(std::tuple(sent.loopbackMode, sent.currentLimitMode, sent.forcedCurrentLimitMa, sent.estimateUpstreamVbus,
                         sent.cableResistanceMilliohm),
              std::tuple(1, 1u, 3600, 1, 120));

    // In the other modes the limit follows the rated current: it is not a
    // forced limit the user chose, so the last chosen one stays.
    TesterConfig allowOver;
    allowOver.currentLimitMode = 1;
    allowOver.forcedCurrentLimitMa = 5500;
    SinkTestSettings fresh;
    LoadSinkSettings(allowOver, settings);
    LoadSinkSettings(allowOver, fresh);
    EXPECT_EQ(std::tuple(settings.forcedLimitIndex, fresh.forcedLimitIndex), std::tuple(4, 0))
        << "a fresh one has the lowest, 1A, until one is chosen";
}

// The window thread replaces the settings while the poll thread takes them
// for sending: every snapshot is one whole set, never a mix of two.
TEST(SinkSettings, HandedOverWholeWhileAnotherThreadWrites) {
    SinkTestSettings a, b;
    b.currentLimitMode = 2;
    b.cableResistanceMilliohm = 1000;
    b.autoVoltageMv = 21000;
    b.ppsDetection = 0;
    LiveState live;
    std::atomic<bool> started{false}, done{false};
    std::thread window([&] {
        for (int i = 0; !done; ++i) {
            live.SetSettings(i % 2 ? a : b);
            started = true;
        }
    });
    while (!started)
        std::this_thread::yield();
    int torn = 0;
    for (int i = 0; i < 100000; ++i) {
        SinkTestSettings seen = live.Settings();
        if (!(seen == a) && !(seen == b)) ++torn;
    }
    done = true;
    window.join();
    EXPECT_EQ(torn, 0);
}
