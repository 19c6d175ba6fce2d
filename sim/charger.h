#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pd_message.h"

// Profile types as the tester reports them (descriptor bits 4..7).
enum SimProfileType : uint8_t {
    kTypeLegacy = 1,
    kTypeApple = 2,  // subtype 5: Samsung
    kTypeBc = 3,     // subtypes 0 SDP, 1 CDP, 2 DCP
    kTypeQc = 4,     // subtypes 1 QC2, 2 QC3
    kTypeUsbc = 5,   // subtypes 0 default, 1 1.5 A, 2 3 A
    kTypePd = 6,     // subtypes 0 fixed, 3 PPS
    kTypeEpr = 7,    // subtypes 0 fixed, 3 AVS
};
constexpr uint8_t kSubtypeFixed = 0;
constexpr uint8_t kSubtypeProgrammable = 3;
constexpr uint8_t kSubtypeSamsung = 5;
constexpr uint8_t kSubtypeQc2 = 1;
constexpr uint8_t kSubtypeQc3 = 2;
constexpr uint8_t kSubtypeBcSdp = 0;
constexpr uint8_t kSubtypeBcDcp = 2;
constexpr uint8_t kSubtypeUsbcDefault = 0;

// One way a charger can supply power, as one entry of the sink capability list.
struct ChargerOffer {
    uint8_t type = 0;
    uint8_t subtype = 0;
    uint16_t minimumMv = 0;
    uint16_t maximumMv = 0;
    uint16_t maximumMa = 0;  // EPR-AVS: the power in watts, as the tester reports it

    bool IsRanged() const { return type == kTypeQc || ((type == kTypePd || type == kTypeEpr) && subtype == 3); }
    bool IsPd() const { return type == kTypePd || type == kTypeEpr; }
    bool IsAvs() const { return type == kTypeEpr && subtype == kSubtypeProgrammable; }
    uint16_t Descriptor() const { return static_cast<uint16_t>((type << 4) | (subtype << 8)); }
    // The voltage grid of a ranged offer: PPS 20 mV, AVS 100 mV, QC 200 mV.
    uint16_t VoltageStepMv() const;
    // The current available at a voltage (AVS: power / voltage).
    uint16_t CurrentAtMa(uint16_t voltageMv) const;
    pd::Pdo ToPdo(uint32_t fixedFlags) const;
};

// A device under test on the sink port: what it offers and how it behaves.
struct ChargerPreset {
    std::string name;
    std::string description;
    std::vector<ChargerOffer> offers;  // PD offers first, in PDO order
    uint16_t internalResistanceMilliohm = 40;
    uint16_t switchingKhz = 120;
    uint16_t tripPercent = 130;  // over-current protection threshold, % of the rated current
    uint16_t ratedPowerW = 0;    // the sink's operational PDP when entering EPR mode
    // Current limit: above foldbackFromMa (0: none) the output falls steeply,
    // by foldbackMilliohm for each ampere beyond it.
    uint16_t foldbackFromMa = 0;
    uint16_t foldbackMilliohm = 0;
};

// The charger's load line: its voltage at the end of the cable while
// drawnMa flows. The negotiated voltage less the droop of the output stage
// and the cable, and less the fold-back beyond the current limit.
double ChargerOutputMv(const ChargerPreset& charger, uint16_t negotiatedMv, uint16_t cableMilliohm, double drawnMa);

const std::vector<ChargerPreset>& ChargerPresets();
std::optional<ChargerPreset> FindChargerPreset(const std::string& name);
