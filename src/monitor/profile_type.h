#pragma once

#include <cstdint>
#include <string_view>

// Profile types as the tester reports them (0..7), each with subtypes 0..5.
enum ProfileType : uint32_t {
    kProfileUnknown = 0,
    kProfileLegacy = 1,
    kProfileApple = 2,  // subtype 5 is Samsung
    kProfileBc = 3,     // subtypes SDP, CDP, DCP
    kProfileQc = 4,     // subtypes QC1, QC2, QC3
    kProfileUsbc = 5,
    kProfilePd = 6,   // subtypes fixed, battery, variable, PPS
    kProfileEpr = 7,  // subtypes fixed, battery, ..., AVS
};

constexpr uint8_t kSubtypePps = 3;  // PD-PPS and EPR-AVS
constexpr uint8_t kSubtypeFixed = 0;

// The display name of a type and subtype ("PD-PPS", "BC-DCP", ...);
// "UNKNOWN" outside the table.
std::string_view ProfileTypeName(uint32_t type, uint32_t subtype);

// Ranged profiles let the user choose a voltage: PD-PPS, EPR-AVS and QC.
bool IsRangedProfile(uint32_t type, uint32_t subtype);
inline bool IsEprAvs(uint32_t type, uint32_t subtype) {
    return type == kProfileEpr && subtype == kSubtypePps;
}

// An EPR-AVS profile reports its power in watts where others report their
// current; this gives the current at the given voltage. Other profiles, and
// voltages below 1 V (where the division means nothing), keep the value.
uint16_t RatedCurrentMa(uint32_t type, uint32_t subtype, uint16_t reportedValue, uint16_t voltageMv);

// The voltage the user entered or slid to, on the profile's grid: PD-PPS in
// 20 mV steps, EPR-AVS and QC in 200 mV steps (rounded down); others as is.
int RoundVoltageForProfile(uint32_t type, uint32_t subtype, int voltageMv);
