#pragma once

#include "device/tester_records.h"
#include "monitor/live_state.h"

// The sink test settings travel between the application's copy and the
// tester's configuration registers in both directions.

// Takes the tester's registers as the settings (after a tester is selected,
// and when the test configuration opens); the log interval, which the tester
// does not keep, stays.
void LoadSinkSettings(const TesterConfig& config, SinkTestSettings& settings);
// The registers to send for one snapshot of the settings, with the loopback
// switch and the load current limit that the rated current gives.
TesterConfig SinkSettingsToConfig(const SinkTestSettings& settings, bool loopbackEnabled, uint16_t ratedCurrentMa);
