#pragma once

#include "device/tester_records.h"
#include "monitor/live_state.h"

// The sink test settings travel between the application's copy and the
// tester connection's register cache in both directions.

// Takes the tester's registers as the settings (after a tester is selected).
void LoadSinkSettings(const TesterConfig& config, SinkTestSettings& settings);
// Puts the settings, the loopback switch and the load current limit into the
// registers to be sent.
void StoreSinkSettings(const LiveState& live, TesterConfig& config);
