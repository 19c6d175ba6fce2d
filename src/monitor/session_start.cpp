#include "monitor/session_start.h"

#include "monitor/sink_test_settings.h"

bool StartTesterSession(TesterConnection& tester, LiveState& live, const std::function<void()>& whileTracing) {
    TesterConfig config;
    if (!tester.GetConfig(config)) return false;
    // The registers this read brought, not whatever the cache holds later.
    live.UpdateSettings([&config](SinkTestSettings& settings) { LoadSinkSettings(config, settings); });
    live.loadChangeSpeedMs = config.loadChangeTimeMs;
    if (whileTracing) whileTracing();
    tester.StopTrace();
    return true;
}

void MarkConnected(LiveState& live) {
    ++live.connectionCount;
    live.connected = true;
}
