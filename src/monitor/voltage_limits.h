#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/tester_records.h"

// What the acceptable sink voltage depends on.
struct VoltageLimitInputs {
    uint32_t profileType = 0;
    uint8_t profileSubtype = 0;
    uint16_t negotiatedMv = 0;   // the profile's voltage
    uint16_t loadCurrentMa = 0;  // the load set point
    uint16_t sinkCurrentMa = 0;  // the current measured
    uint16_t loadCurrentLimitMa = 0;
    bool estimateUpstreamVbus = false;  // cable-drop compensation on: no drop allowance
};

struct VoltageLimits {
    float minimumV = 0;
    float maximumV = 0;
};

// The acceptable sink voltage range for the negotiated profile at a load
// current; nothing for profiles without defined limits (unknown type).
std::optional<VoltageLimits> ComputeVoltageLimits(const VoltageLimitInputs& in);

// The upper end of the load current: the rated current, 20 % above it, or the
// forced limit, never more than 5600 mA.
uint16_t LoadCurrentLimit(uint32_t currentLimitMode, uint16_t forcedLimitIndex, uint16_t ratedCurrentMa);

// For a voltage request on a ranged profile: the message to show when the
// voltage lies outside the active capability entry's range, nothing when it
// may be requested.
std::optional<std::string> VoltageRangeMessage(const SinkCapabilities& caps, int activeIndex, int voltageMv);
