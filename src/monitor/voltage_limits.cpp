#include "monitor/voltage_limits.h"

#include <algorithm>

#include "monitor/live_state.h"
#include "monitor/profile_type.h"
#include "platform/format.h"

namespace {
constexpr uint32_t kMaximumLoadMa = 5600;
constexpr uint8_t kSubtypeDcp = 2;
}  // namespace

RunProfile CopyRunProfile(const LiveState& live) {
    RunProfile profile;
    profile.type = live.sinkProfileType;
    profile.subtype = live.sinkProfileSubtype;
    profile.voltageMv = live.sinkVoltageMv;
    profile.ratedMa = live.sinkRatedCurrentMa;
    profile.limitMa = live.loadCurrentLimit;
    profile.estimateUpstreamVbus = live.Settings().estimateUpstreamVbus;
    return profile;
}

std::optional<VoltageLimits> ComputeVoltageLimits(const RunProfile& profile, uint16_t loadCurrentMa,
                                                  uint16_t sinkCurrentMa) {
    float volts = profile.voltageMv / 1000.0f;
    bool allowDrop = !profile.estimateUpstreamVbus;
    float drop = allowDrop ? loadCurrentMa / 1000.0f * 0.834f : 0.0f;
    // The PD and Type-C allowance scales with the load relative to the cable's
    // rating (3 A, or 5 A cables above that).
    double rating = profile.limitMa <= 3000 ? 3000.0 : 5000.0;
    float ratedDrop = allowDrop ? static_cast<float>(loadCurrentMa / rating * 0.75) : 0.0f;

    switch (profile.type) {
        case kProfileLegacy:
        case kProfileApple:
            return VoltageLimits{4.75f - drop, 5.5f};
        case kProfileBc:
            if (profile.subtype == kSubtypeDcp && sinkCurrentMa >= 500) return VoltageLimits{2.0f, 5.5f};
            return VoltageLimits{4.75f - drop, 5.5f};
        case kProfileUsbc:
            // Type-C current is offered at 5 V; a profile reported higher still
            // gets a range whose top is above its bottom.
            return VoltageLimits{volts * 0.95f - ratedDrop, std::max(5.5f, volts * 1.05f)};
        case kProfilePd:
            return VoltageLimits{volts * 0.95f - ratedDrop, profile.voltageMv == 5000 ? 5.5f : volts * 1.05f};
        case kProfileEpr:
            return VoltageLimits{volts * 0.95f, volts * 1.05f};
        case kProfileQc:
            return VoltageLimits{volts * 0.95f - drop, volts * 1.05f};
        default:
            return std::nullopt;
    }
}

uint16_t LoadCurrentLimit(uint32_t currentLimitMode, uint16_t forcedLimitIndex, uint16_t ratedCurrentMa) {
    uint32_t limit = ratedCurrentMa;
    if (currentLimitMode == kLimitAllowOver) limit = ratedCurrentMa * 12u / 10u;
    if (currentLimitMode == kLimitForced) limit = (forcedLimitIndex + 1u) * 500u + 500u;
    return static_cast<uint16_t>(std::min(limit, kMaximumLoadMa));
}

std::optional<std::string> VoltageRangeMessage(const SinkCapabilities& caps, int activeIndex, int voltageMv) {
    SinkCapability entry;
    if (activeIndex >= 0 && activeIndex < caps.count) entry = caps.entries[static_cast<size_t>(activeIndex)];
    if (voltageMv >= entry.minimumMv && voltageMv <= entry.maximumMv) return std::nullopt;
    return Format("Please enter a number between %d-%d", entry.minimumMv, entry.maximumMv);
}
