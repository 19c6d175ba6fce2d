#include "graphs/line_chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <string>
#include <vector>

#include "support/fake_window.h"

namespace {

// The labels drawn at one angle: 0 for the Y scale, 900 for the categories.
std::vector<std::string> Labels(const RecordingCanvas& canvas, int escapementTenths) {
    std::vector<std::string> labels;
    for (const auto& text : canvas.textsAt) {
        if (text.font.escapementTenths == escapementTenths) labels.push_back(text.text);
    }
    return labels;
}

// The curve segments of one series colour.
std::vector<RecordingCanvas::Lines> Curves(const RecordingCanvas& canvas, Color color) {
    std::vector<RecordingCanvas::Lines> curves;
    for (const auto& lines : canvas.lines) {
        if (!lines.pen.dotted && lines.pen.color == color) curves.push_back(lines);
    }
    return curves;
}

const Color kBlack{0, 0, 0};

}  // namespace

TEST(LineChart, YScaleLabelsAndDivisions) {
    struct Case {
        float min, max;
        int divisions;
        int expectedDivisions;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {0, 5000, 5, 10, {"0", "500", "1000", "1500", "2000", "2500", "3000", "3500", "4000", "4500", "5000"}},
        {-120, 0, 6, 6, {"-120", "-100", "-80", "-60", "-40", "-20", "0"}},
        {7, 11, 8, 8, {"7.0", "7.5", "8.0", "8.5", "9.0", "9.5", "10.0", "10.5", "11.0"}},
        {0, 0.5f, 5, 5, {"0.00", "0.10", "0.20", "0.30", "0.40", "0.50"}},
        {0, 10, 5, 10, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
    };
    for (const Case& c : cases) {
        LineChart chart;
        chart.SetYRange(c.min, c.max);
        chart.SetYDivisions(c.divisions);
        RecordingCanvas canvas;
        chart.Draw(canvas, 5, 5);
        EXPECT_EQ(chart.YDivisions(), c.expectedDivisions) << c.min << ".." << c.max;
        EXPECT_EQ(Labels(canvas, 0), c.labels) << c.min << ".." << c.max;
        RecordingCanvas again;  // a paint leaves the scale as it was set
        chart.Draw(again, 5, 5);
        EXPECT_EQ(Labels(again, 0), c.labels) << c.min << ".." << c.max;
    }
}

TEST(LineChart, SettersRefuseBadArgumentsAndChangeNothing) {
    LineChart chart;
    chart.SetYRange(0, 6);
    EXPECT_EQ(chart.SetYRange(5, 1), 1);
    EXPECT_EQ(chart.YMin(), 0);
    EXPECT_EQ(chart.YMax(), 6);
    EXPECT_EQ(chart.SetValueCount(0, 400000), 1);
    EXPECT_EQ(chart.ValueCount(0), LineChart::kCapacity);
    EXPECT_EQ(chart.SetValueCount(3, 10), 2);
    EXPECT_EQ(chart.SetValue(0, LineChart::kCapacity, 1), 1);
    EXPECT_EQ(chart.SetValue(0, -1, 1), 1);
    EXPECT_EQ(chart.SetValue(3, 0, 1), 2);
    EXPECT_EQ(chart.SetCategoryLabel(LineChart::kCapacity, "x"), 1);
    EXPECT_EQ(chart.SetBand(3, 0, 1), 1);
    EXPECT_EQ(chart.SetBand(0, 2, 1), 2);
    chart.SetCategoryLabel(0, "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(chart.CategoryLabel(0), "ABCDEFGHIJ");
}

TEST(LineChart, ManyCategoriesAreLabelledOncePerDivision) {
    LineChart chart;
    chart.SetYRange(0, 10);
    chart.SetXDivisions(5);
    chart.SetGrid(true, 1);
    chart.SetSeriesCount(1);
    for (int i = 0; i < 20; ++i) {
        chart.SetValue(0, i, 5);
        chart.SetCategoryLabel(i, std::to_string(i));
    }
    chart.SetValueCount(0, 20);
    RecordingCanvas canvas;
    chart.Draw(canvas, 0, 0);
    EXPECT_EQ(Labels(canvas, 900), (std::vector<std::string>{"0", "4", "8", "12", "16"}));
    int verticalGridLines = 0;
    for (const auto& lines : canvas.lines) {
        if (lines.pen.dotted && lines.points[0].x == lines.points[1].x) ++verticalGridLines;
    }
    EXPECT_EQ(verticalGridLines, 5);
}

// Thousands of samples in a few hundred pixels: a one-sample spike survives
// the decimation, missing samples neither become spikes nor get joined over,
// and a series of missing samples only draws nothing.
TEST(LineChart, DecimationKeepsExtremesAndGaps) {
    LineChart chart;
    chart.SetYRange(0, 10);
    chart.SetYDivisions(10);
    chart.SetSeriesCount(2);
    chart.SetSeriesColor(0, kBlack);
    const Color kBlue{0, 0, 255};
    chart.SetSeriesColor(1, kBlue);
    const int count = 10000;
    for (int i = 0; i < count; ++i) {
        chart.SetValue(0, i, 5.0f);
        chart.SetValue(1, i, NO_DATA);
    }
    chart.SetValue(0, 5003, 9.0f);
    for (int i = 7000; i < 7100; ++i)
        chart.SetValue(0, i, NO_DATA);
    chart.SetValue(0, 3001, NO_DATA);  // alone in a bucket of real samples
    chart.SetValueCount(0, count);
    chart.SetValueCount(1, count);
    RecordingCanvas canvas;
    chart.Draw(canvas, 0, 0);
    EXPECT_TRUE(Curves(canvas, kBlue).empty());
    Rect plot = chart.PlotRect();
    int tick = (plot.bottom - plot.top) / 10;
    std::vector<RecordingCanvas::Lines> curves = Curves(canvas, kBlack);
    ASSERT_EQ(curves.size(), 2u);
    int highest = plot.bottom, lowest = plot.top;
    size_t points = 0;
    for (const auto& curve : curves) {
        points += curve.points.size();
        for (Point p : curve.points) {
            highest = std::min(highest, p.y);
            lowest = std::max(lowest, p.y);
        }
    }
    EXPECT_EQ(highest, plot.bottom - 9 * tick);
    EXPECT_EQ(lowest, plot.bottom - 5 * tick);
    EXPECT_LE(points, static_cast<size_t>(plot.right - plot.left + 2));
}

TEST(LineChart, CurvesBandsAndBoxesAreCutToThePlot) {
    LineChart chart;
    chart.SetYRange(7, 11);
    chart.SetYDivisions(8);
    chart.SetSeriesCount(1);
    chart.SetSeriesColor(0, kBlack);
    chart.SetBand(0, 0, 20);
    for (int i = 0; i < 100; ++i)
        chart.SetValue(0, i, i < 50 ? 9.0f : 0.0f);
    chart.SetValueCount(0, 100);
    RecordingCanvas canvas;
    chart.Draw(canvas, 5, 5);
    chart.FillBox(canvas, 0, 12, 50, 2, 1, 255, 0, 0);
    Rect plot = chart.PlotRect();
    Rect cut{plot.left, plot.top, plot.right + 1, plot.bottom + 1};
    ASSERT_FALSE(Curves(canvas, kBlack).empty());
    for (const auto& curve : Curves(canvas, kBlack))
        EXPECT_EQ(curve.clip, cut);
    ASSERT_EQ(canvas.polygons.size(), 2u);  // the band and the box
    for (const auto& polygon : canvas.polygons)
        EXPECT_EQ(polygon.clip, cut);
    // The band itself is already limited to the plot.
    EXPECT_EQ(canvas.polygons[0].points[0].y, plot.top);
    EXPECT_EQ(canvas.polygons[0].points[2].y, plot.bottom);
    EXPECT_EQ(canvas.polygons[1].color, (Color{255, 0, 0, 0x40}));
    EXPECT_FALSE(canvas.clip.has_value());
}

// A writer that holds the chart's lock around each whole update and a painter
// drawing meanwhile: every paint shows one update or the other, never a mix.
TEST(LineChart, APaintNeverShowsATornUpdate) {
    LineChart chart;
    chart.SetYRange(0, 10);
    chart.SetSeriesCount(1);
    chart.SetSeriesColor(0, kBlack);
    chart.SetValueCount(0, 2000);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int round = 0; round < 3000; ++round) {
            auto held = chart.Hold();
            for (int i = 0; i < 2000; ++i)
                chart.SetValue(0, i, round % 2 ? 2.0f : 8.0f);
        }
        done = true;
    });
    int paints = 0;
    bool torn = false;
    while (!torn && (!done || paints == 0)) {
        RecordingCanvas canvas;
        chart.Draw(canvas, 0, 0);
        ++paints;
        std::vector<int> heights;
        for (const auto& curve : Curves(canvas, kBlack)) {
            for (Point p : curve.points)
                heights.push_back(p.y);
        }
        torn = heights.empty() || !std::all_of(heights.begin(), heights.end(), [&](int y) { return y == heights[0]; });
    }
    writer.join();
    EXPECT_FALSE(torn);
}
