#include "graphs/run_profile.h"

#include "monitor/profile_type.h"

VoltageAxis VoltageAxisFor(const RunProfile& profile) {
    if (profile.type == kProfileQc || profile.type == kProfilePd || profile.type == kProfileEpr) {
        int volts = profile.voltageMv / 1000;
        return {static_cast<float>(volts - 2), static_cast<float>(volts + 2), 8};
    }
    return {};
}
