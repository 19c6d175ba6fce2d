#include "charger.h"

#include <algorithm>

uint16_t ChargerOffer::VoltageStepMv() const {
    if (type == kTypeQc) return 200;
    if (IsAvs()) return 100;
    return 20;
}

uint16_t ChargerOffer::CurrentAtMa(uint16_t voltageMv) const {
    if (!IsAvs()) return maximumMa;
    if (voltageMv < 1000) return 0;
    return static_cast<uint16_t>(std::min<uint32_t>(5000, maximumMa * 1000000u / voltageMv));
}

pd::Pdo ChargerOffer::ToPdo(uint32_t fixedFlags) const {
    pd::Pdo pdo;
    if (IsAvs()) {
        pdo.kind = pd::PdoKind::EprAvs;
        pdo.powerW = maximumMa;
    } else if (subtype == kSubtypeProgrammable) {
        pdo.kind = pd::PdoKind::Pps;
        pdo.maximumMa = maximumMa;
    } else {
        pdo.kind = pd::PdoKind::Fixed;
        pdo.maximumMa = maximumMa;
        pdo.flags = fixedFlags;
    }
    pdo.minimumMv = minimumMv;
    pdo.maximumMv = maximumMv;
    return pdo;
}

double ChargerOutputMv(const ChargerPreset& charger, uint16_t negotiatedMv, uint16_t cableMilliohm, double drawnMa) {
    double droopMv = (charger.internalResistanceMilliohm + cableMilliohm) * drawnMa / 1000.0;
    if (charger.foldbackFromMa != 0 && drawnMa > charger.foldbackFromMa) {
        droopMv += charger.foldbackMilliohm * (drawnMa - charger.foldbackFromMa) / 1000.0;
    }
    return std::max(0.0, negotiatedMv - droopMv);
}

namespace {
ChargerOffer Fixed(uint8_t type, uint16_t mv, uint16_t ma) {
    return {type, kSubtypeFixed, mv, mv, ma};
}
ChargerOffer Ranged(uint8_t type, uint8_t subtype, uint16_t minMv, uint16_t maxMv, uint16_t ma) {
    return {type, subtype, minMv, maxMv, ma};
}

std::vector<ChargerPreset> BuildPresets() {
    const ChargerOffer usbc3a = {kTypeUsbc, 2, 5000, 5000, 3000};
    const ChargerOffer dcp = {kTypeBc, kSubtypeBcDcp, 5000, 5000, 1500};
    return {
        {"pd65",
         "65 W USB PD charger: 5/9/12/15/20 V fixed, PPS 3.3-11 V and 3.3-21 V",
         {Fixed(kTypePd, 5000, 3000), Fixed(kTypePd, 9000, 3000), Fixed(kTypePd, 12000, 3000),
          Fixed(kTypePd, 15000, 3000), Fixed(kTypePd, 20000, 3250),
          Ranged(kTypePd, kSubtypeProgrammable, 3300, 11000, 5000),
          Ranged(kTypePd, kSubtypeProgrammable, 3300, 21000, 3250), usbc3a},
         45,
         130,
         130,
         65},
        {"epr140",
         "140 W USB PD EPR charger: SPR fixed and PPS, EPR 28 V fixed, AVS 15-28 V 140 W",
         {Fixed(kTypePd, 5000, 3000), Fixed(kTypePd, 9000, 3000), Fixed(kTypePd, 12000, 3000),
          Fixed(kTypePd, 15000, 3000), Fixed(kTypePd, 20000, 5000),
          Ranged(kTypePd, kSubtypeProgrammable, 3300, 21000, 5000), Fixed(kTypeEpr, 28000, 5000),
          Ranged(kTypeEpr, kSubtypeProgrammable, 15000, 28000, 140), usbc3a},
         35,
         250,
         125,
         140},
        {"pd-sag",
         "45 W USB PD charger folding back above 2.2 A, so its 9 V sags out of tolerance: 5/9/15 V fixed",
         {Fixed(kTypePd, 5000, 3000), Fixed(kTypePd, 9000, 3000), Fixed(kTypePd, 15000, 3000)},
         120,
         65,
         115,
         45,
         2200,
         2000},
        {"qc3",
         "Quick Charge 3.0 charger: QC3 3.6-12 V, QC2, BC 1.2 DCP",
         {Ranged(kTypeQc, kSubtypeQc3, 3600, 12000, 2000), Ranged(kTypeQc, kSubtypeQc2, 5000, 12000, 1500), dcp},
         90,
         95,
         130,
         0},
        {"qc2",
         "Quick Charge 2.0 charger: 5/9/12 V, BC 1.2 DCP",
         {Ranged(kTypeQc, kSubtypeQc2, 5000, 12000, 1670), dcp},
         100,
         85,
         130,
         0},
        {"dcp",
         "BC 1.2 dedicated charging port, 5 V 1.5 A, folding back to about 3 V at 1.5 A",
         {dcp},
         150,
         70,
         140,
         0,
         1000,
         3200},
        {"sdp",
         "BC 1.2 standard downstream port (a computer's USB port), 5 V, limit from register 0x02",
         {{kTypeBc, kSubtypeBcSdp, 5000, 5000, 500}},
         200,
         0,
         150,
         0},
        {"apple", "Apple 2.4 A charger, 5 V", {{kTypeApple, 3, 5000, 5000, 2400}}, 120, 90, 130, 0},
        {"samsung",
         "Samsung adaptive charger, 5 V 2 A",
         {{kTypeApple, kSubtypeSamsung, 5000, 5000, 2000}},
         120,
         90,
         130,
         0},
        {"usbc", "USB Type-C port advertising 3 A at 5 V", {usbc3a}, 80, 110, 130, 0},
        {"usbc-default",
         "USB Type-C port at default current, limit from register 0x22",
         {{kTypeUsbc, kSubtypeUsbcDefault, 5000, 5000, 500}},
         120,
         110,
         150,
         0},
        {"legacy", "legacy 5 V port without signalling, 1 A", {Fixed(kTypeLegacy, 5000, 1000)}, 250, 60, 150, 0},
    };
}
}  // namespace

const std::vector<ChargerPreset>& ChargerPresets() {
    static const std::vector<ChargerPreset> presets = BuildPresets();
    return presets;
}

std::optional<ChargerPreset> FindChargerPreset(const std::string& name) {
    for (const ChargerPreset& preset : ChargerPresets()) {
        if (preset.name == name) return preset;
    }
    return std::nullopt;
}
