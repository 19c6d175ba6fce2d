#include "graphs/run_profile.h"

#include "monitor/profile_type.h"

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

VoltageAxis VoltageAxisFor(const RunProfile& profile) {
    if (profile.type == kProfileQc || profile.type == kProfilePd || profile.type == kProfileEpr) {
        int volts = profile.voltageMv / 1000;
        return {static_cast<float>(volts - 2), static_cast<float>(volts + 2), 8};
    }
    return {};
}

std::optional<VoltageLimits> LimitsAt(const RunProfile& profile, uint16_t loadMa, uint16_t sinkCurrentMa) {
    VoltageLimitInputs in;
    in.profileType = profile.type;
    in.profileSubtype = profile.subtype;
    in.negotiatedMv = profile.voltageMv;
    in.loadCurrentMa = loadMa;
    in.sinkCurrentMa = sinkCurrentMa;
    in.loadCurrentLimitMa = profile.limitMa;
    in.estimateUpstreamVbus = profile.estimateUpstreamVbus;
    return ComputeVoltageLimits(in);
}
