#pragma once

#include <cstdint>
#include <optional>

#include "monitor/live_state.h"
#include "monitor/voltage_limits.h"

// The sink profile a voltage-versus-current run judges against, copied when
// the run is set up and kept for painting and exporting afterwards.
struct RunProfile {
    uint32_t type = 0;
    uint8_t subtype = 0;
    uint16_t voltageMv = 0;
    uint16_t ratedMa = 0;  // the profile's rated current
    uint16_t limitMa = 0;  // the load current limit: the test's last step
    bool estimateUpstreamVbus = false;
};

RunProfile CopyRunProfile(const LiveState& live);

struct VoltageAxis {
    float minimumV = 0;
    float maximumV = 6;
    int divisions = 12;
};

// The chart's voltage range: 2 V either side of the negotiated voltage (in
// whole volts) for QC, PD and EPR profiles, 0 to 6 V for the 5 V kinds.
VoltageAxis VoltageAxisFor(const RunProfile& profile);

// The acceptable voltage at a load current; nothing where the profile has
// no limits.
std::optional<VoltageLimits> LimitsAt(const RunProfile& profile, uint16_t loadMa, uint16_t sinkCurrentMa);
