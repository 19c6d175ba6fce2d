#include <gtest/gtest.h>

#include <algorithm>

#include "charger.h"
#include "graphs/compliance_regions.h"
#include "graphs/result_csv.h"
#include "monitor/voltage_limits.h"
#include "support/drawn_region.h"

// The verdict of every step is the region its point is drawn in: for each
// charger the simulator knows, each of its offers and each current-limit
// mode, along the charger's load line (and at 0 V once it has tripped).
TEST(ComplianceRegions, EveryStepIsJudgedByTheRegionItIsDrawnIn) {
    int judged = 0;
    for (const ChargerPreset& charger : ChargerPresets()) {
        for (const ChargerOffer& offer : charger.offers) {
            uint16_t voltageMv =
                offer.IsRanged() ? (offer.minimumMv + offer.maximumMv) / 2 / 100 * 100 : offer.maximumMv;
            uint16_t ratedMa = offer.CurrentAtMa(voltageMv);
            for (uint32_t mode : {0u, 1u, 2u}) {
                RunProfile profile{offer.type, offer.subtype, voltageMv, ratedMa, LoadCurrentLimit(mode, 3, ratedMa),
                                   false};
                SCOPED_TRACE(charger.name + " " + std::to_string(voltageMv) + " mV, mode " + std::to_string(mode));
                std::vector<ComplianceShape> shapes = ComplianceRegions(profile);
                if (shapes.empty()) continue;
                VoltageCurrentResult result;
                result.profile = profile;
                result.stepMa = 100;
                result.limits = ComputeStepLimits(profile, 100);
                for (int ma = 0; ma <= profile.limitMa; ma += 100) {
                    bool tripped = ma * 100 > ratedMa * charger.tripPercent;
                    result.raw.push_back(
                        tripped ? 0.0f : static_cast<float>(ChargerOutputMv(charger, voltageMv, 80, ma) / 1000));
                }
                std::vector<bool> verdicts = StepVerdicts(result);
                ASSERT_EQ(verdicts.size(), result.raw.size());
                float bottom = VoltageAxisFor(profile).minimumV;
                for (size_t k = 0; k < verdicts.size(); ++k) {
                    // Plotted no lower than the chart's bottom.
                    DrawnIn drawn = DrawnRegion(shapes, static_cast<int>(k * 100), std::max(result.raw[k], bottom));
                    if (drawn == DrawnIn::Edge) continue;
                    EXPECT_EQ(verdicts[k], drawn == DrawnIn::Passing) << k * 100 << " mA at " << result.raw[k] << " V";
                    ++judged;
                }
            }
        }
    }
    EXPECT_GT(judged, 1000);
}
