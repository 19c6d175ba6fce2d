#include "monitor/profile_type.h"

#include <array>

namespace {
constexpr std::string_view U = "UNKNOWN";
constexpr std::array<std::array<std::string_view, 6>, 8> kNames = {{
    {U, U, U, U, U, U},
    {"LEGACY", U, U, U, U, U},
    {"APPLE", "APPLE", "APPLE", "APPLE", "APPLE", "SAMSUNG"},
    {"BC-SDP", "BC-CDP", "BC-DCP", U, U, U},
    {"QC1", "QC2", "QC3", U, U, U},
    {"USBC", "USBC", "USBC", U, U, U},
    {"PD-FIX", "PD-BAT", "PD-VAR", "PD-PPS", U, U},
    {"EPR-FIX", "EPR-BAT", "EPR-CAR", "EPR-AVS", U, U},
}};
}  // namespace

std::string_view ProfileTypeName(uint32_t type, uint32_t subtype) {
    if (type >= kNames.size() || subtype >= kNames[0].size()) return U;
    return kNames[type][subtype];
}

bool IsRangedProfile(uint32_t type, uint32_t subtype) {
    return ((type == kProfilePd || type == kProfileEpr) && subtype == kSubtypePps) || type == kProfileQc;
}

uint16_t RatedCurrentMa(uint32_t type, uint32_t subtype, uint16_t reportedValue, uint16_t voltageMv) {
    if (!IsEprAvs(type, subtype) || voltageMv < 1000) return reportedValue;
    uint32_t current = reportedValue / (voltageMv / 1000u) * 1000u;
    return static_cast<uint16_t>(current > 0xFFFF ? 0xFFFF : current);
}

int RoundVoltageForProfile(uint32_t type, uint32_t subtype, int voltageMv) {
    int step = 0;
    if (type == kProfilePd && subtype == kSubtypePps) step = 20;
    if (IsEprAvs(type, subtype) || type == kProfileQc) step = 200;
    if (step == 0 || voltageMv < 0) return voltageMv;
    return voltageMv / step * step;
}
