#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/tester_records.h"

struct LiveState;

// The sink profile the voltage is judged against, copied from LiveState at
// one moment; a graph run keeps its copy for painting and exporting.
struct RunProfile {
    uint32_t type = 0;
    uint8_t subtype = 0;
    uint16_t voltageMv = 0;             // negotiated
    uint16_t ratedMa = 0;               // the profile's rated current
    uint16_t limitMa = 0;               // the load current limit: a voltage-versus-current test's last step
    bool estimateUpstreamVbus = false;  // cable-drop compensation on: no drop allowance
};

RunProfile CopyRunProfile(const LiveState& live);

struct VoltageLimits {
    float minimumV = 0;
    float maximumV = 0;
};

// The acceptable sink voltage range for the profile at a load set point and
// the current measured; nothing for profiles without defined limits
// (unknown type).
std::optional<VoltageLimits> ComputeVoltageLimits(const RunProfile& profile, uint16_t loadCurrentMa,
                                                  uint16_t sinkCurrentMa);

// The upper end of the load current: the rated current, 20 % above it, or the
// forced limit, never more than 5600 mA.
uint16_t LoadCurrentLimit(uint32_t currentLimitMode, uint16_t forcedLimitIndex, uint16_t ratedCurrentMa);

// For a voltage request on a ranged profile: the message to show when the
// voltage lies outside the active capability entry's range, nothing when it
// may be requested.
std::optional<std::string> VoltageRangeMessage(const SinkCapabilities& caps, int activeIndex, int voltageMv);
