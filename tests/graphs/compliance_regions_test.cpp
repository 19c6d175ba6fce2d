#include "graphs/compliance_regions.h"

#include <gtest/gtest.h>

#include "monitor/profile_type.h"
#include "support/fake_window.h"

namespace {
using Points = std::vector<std::pair<int, float>>;

Points Vertices(const ComplianceShape& shape) {
    Points points;
    for (size_t i = 0; i < shape.currentMa.size(); ++i)
        points.push_back({shape.currentMa[i], shape.volts[i]});
    return points;
}

void ExpectVertices(const ComplianceShape& shape, const Points& expected) {
    Points actual = Vertices(shape);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].first, expected[i].first) << "vertex " << i;
        EXPECT_NEAR(actual[i].second, expected[i].second, 1e-3) << "vertex " << i;
    }
}

struct RecordingFills : ChartFills {
    void FillBox(int x1, float v1, int x2, float v2, int perCategory, Color color) override {
        calls.push_back(Call{true, {x1, x2}, {v1, v2}, perCategory, color});
    }
    void FillPolygon(std::span<const int> x, std::span<const float> v, int perCategory, Color color) override {
        calls.push_back(Call{false, {x.begin(), x.end()}, {v.begin(), v.end()}, perCategory, color});
    }
    struct Call {
        bool box;
        std::vector<int> x;
        std::vector<float> v;
        int perCategory;
        Color color;
    };
    std::vector<Call> calls;
};
}  // namespace

TEST(ComplianceRegions, DcpHasItsNotchAt500mA) {
    // R 1500 < L 1800: shut-down regions below 2 V from 500 mA and above R.
    auto shapes = ComplianceRegions({kProfileBc, 2, 5000, 1500, 1800, false});
    ASSERT_EQ(shapes.size(), 5u);
    ExpectVertices(shapes[0], {{0, 5.5f}, {1800, 6.0f}});
    ExpectVertices(shapes[1], {{0, 5.5f}, {1800, 5.5f}, {1800, 2.0f}, {500, 2.0f}, {500, 4.333f}, {0, 4.75f}});
    ExpectVertices(shapes[2], {{0, 4.75f}, {500, 4.333f}, {500, 0}, {0, 0}});
    ExpectVertices(shapes[3], {{500, 0}, {1500, 2.0f}});
    ExpectVertices(shapes[4], {{1500, 0}, {1800, 5.5f}});
    EXPECT_EQ(shapes[1].color, kOperatingColor);
    EXPECT_EQ(shapes[4].color, kShutDownColor);
    // With the upstream estimate on, the notch starts at 4.75 V.
    EXPECT_FLOAT_EQ(ComplianceRegions({kProfileBc, 2, 5000, 1500, 1800, true})[1].volts[4], 4.75f);
}

TEST(ComplianceRegions, PdProfilesAreHeldToFivePercentLessTheIrAllowance) {
    auto nine = ComplianceRegions({kProfilePd, 0, 9000, 3000, 3600, false});
    ASSERT_EQ(nine.size(), 4u);
    ExpectVertices(nine[0], {{0, 9.45f}, {3600, 11.0f}});
    ExpectVertices(nine[1], {{0, 9.45f}, {3600, 9.45f}, {3600, 8.55f - 0.9f}, {0, 8.55f}});
    ExpectVertices(nine[2], {{0, 8.55f}, {3000, 8.55f - 0.75f}, {3000, 7.0f}, {0, 7.0f}});
    ExpectVertices(nine[3], {{3000, 7.0f}, {3600, 9.45f}});

    auto five = ComplianceRegions({kProfilePd, 0, 5000, 3000, 3000, false});
    ASSERT_EQ(five.size(), 3u) << "no shut-down region when the limit is the rated current";
    EXPECT_FLOAT_EQ(five[1].volts[0], 5.5f) << "5 V PD may reach 5.5 V, not 5.25 V";
    EXPECT_TRUE(ComplianceRegions({kProfileLegacy, 0, 5000, 1000, 1000, false}).empty());
}

TEST(ComplianceRegions, PaintsInDataUnitsAndDrawsTheLegendBelowTheChart) {
    RecordingFills fills;
    RecordingCanvas canvas;
    PaintComplianceRegions(fills, canvas, {kProfileBc, 2, 5000, 1500, 1800, false}, 100, 400);
    ASSERT_EQ(fills.calls.size(), 5u);
    EXPECT_TRUE(fills.calls[0].box);
    EXPECT_FALSE(fills.calls[1].box);
    EXPECT_EQ(fills.calls[1].x.size(), 6u);
    EXPECT_EQ(fills.calls[1].perCategory, 100);
    ASSERT_EQ(canvas.fills.size(), 3u);
    EXPECT_EQ(canvas.fills[1].rect, (Rect{175, 402, 205, 422}));
    EXPECT_EQ(canvas.fills[1].color, kOutOfSpecColor);
    ASSERT_EQ(canvas.texts.size(), 3u);
    EXPECT_EQ(canvas.texts[2].text, "Permissible shut down region");
    EXPECT_EQ(canvas.texts[2].x, 310);
    EXPECT_EQ(canvas.texts[2].y, 407);
    EXPECT_EQ(canvas.texts[2].font, (FontSpec{"Arial", 12}));
}
