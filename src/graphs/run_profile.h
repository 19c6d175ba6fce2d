#pragma once

#include <cstdint>
#include <optional>

#include "monitor/live_state.h"
#include "monitor/voltage_limits.h"

struct VoltageAxis {
    float minimumV = 0;
    float maximumV = 6;
    int divisions = 12;
};

// The chart's voltage range: 2 V either side of the negotiated voltage (in
// whole volts) for QC, PD and EPR profiles, 0 to 6 V for the 5 V kinds.
VoltageAxis VoltageAxisFor(const RunProfile& profile);
