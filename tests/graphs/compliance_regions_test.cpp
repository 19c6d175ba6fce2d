#include "graphs/compliance_regions.h"

#include <gtest/gtest.h>

#include "monitor/profile_type.h"
#include "support/fake_window.h"

namespace {
using Points = std::vector<std::pair<int, float>>;

void ExpectShape(const ComplianceShape& shape, const Points& expected, Color color) {
    ASSERT_EQ(shape.currentMa.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(shape.currentMa[i], expected[i].first) << "vertex " << i;
        EXPECT_NEAR(shape.volts[i], expected[i].second, 1e-3) << "vertex " << i;
    }
    EXPECT_EQ(shape.color, color);
}

struct CountingFills : ChartFills {
    void FillBox(int, float, int, float, int perCategory, Color) override {
        calls += "B" + std::to_string(perCategory);
    }
    void FillPolygon(std::span<const int> x, std::span<const float>, int, Color) override {
        calls += "P" + std::to_string(x.size());
    }
    std::string calls;
};
}  // namespace

TEST(ComplianceRegions, DcpHasItsNotchAt500mA) {
    // R 1500 < L 1800: shut-down regions below 2 V from 500 mA and above R.
    auto shapes = ComplianceRegions({kProfileBc, 2, 5000, 1500, 1800, false});
    ASSERT_EQ(shapes.size(), 5u);
    ExpectShape(shapes[0], {{0, 5.5f}, {1800, 6.0f}}, kOutOfSpecColor);
    ExpectShape(shapes[1], {{0, 5.5f}, {1800, 5.5f}, {1800, 2.0f}, {500, 2.0f}, {500, 4.333f}, {0, 4.75f}},
                kOperatingColor);
    ExpectShape(shapes[2], {{0, 4.75f}, {500, 4.333f}, {500, 0}, {0, 0}}, kOutOfSpecColor);
    ExpectShape(shapes[3], {{500, 0}, {1500, 2.0f}}, kShutDownColor);
    ExpectShape(shapes[4], {{1500, 0}, {1800, 5.5f}}, kShutDownColor);
    EXPECT_FLOAT_EQ(ComplianceRegions({kProfileBc, 2, 5000, 1500, 1800, true})[1].volts[4], 4.75f)
        << "no notch allowance while the upstream voltage is estimated";
}

TEST(ComplianceRegions, PdProfilesAreHeldToFivePercentLessTheIrAllowance) {
    auto nine = ComplianceRegions({kProfilePd, 0, 9000, 3000, 3600, false});
    ASSERT_EQ(nine.size(), 4u);
    ExpectShape(nine[0], {{0, 9.45f}, {3600, 11.0f}}, kOutOfSpecColor);
    ExpectShape(nine[1], {{0, 9.45f}, {3600, 9.45f}, {3600, 8.55f - 0.9f}, {0, 8.55f}}, kOperatingColor);
    ExpectShape(nine[2], {{0, 8.55f}, {3000, 8.55f - 0.75f}, {3000, 7.0f}, {0, 7.0f}}, kOutOfSpecColor);
    ExpectShape(nine[3], {{3000, 7.0f}, {3600, 9.45f}}, kShutDownColor);
    auto five = ComplianceRegions({kProfilePd, 0, 5000, 3000, 3000, false});
    ASSERT_EQ(five.size(), 3u) << "no shut-down region when the limit is the rated current";
    EXPECT_FLOAT_EQ(five[1].volts[0], 5.5f) << "5 V PD may reach 5.5 V, not 5.25 V";
    EXPECT_EQ(ComplianceRegions({kProfileLegacy, 0, 5000, 1000, 1000, false}).size(), 3u)
        << "a legacy charger is held to the 5 V USB range it is judged by";
}

TEST(ComplianceRegions, PaintsInDataUnitsWithTheLegendBelowTheChart) {
    CountingFills fills;
    RecordingCanvas canvas;
    PaintComplianceRegions(fills, canvas, {kProfileBc, 2, 5000, 1500, 1800, false}, 100, 400);
    EXPECT_EQ(fills.calls, "B100P6P4B100B100");
    ASSERT_EQ(canvas.fills.size(), 3u);
    EXPECT_GE(canvas.fills[1].rect.top, 400) << "below the chart";
    EXPECT_EQ(canvas.fills[1].color, kOutOfSpecColor);
}
