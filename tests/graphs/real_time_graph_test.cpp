#include "graphs/real_time_graph.h"

#include <gtest/gtest.h>

#include <random>

#include "ui/graph_ids.h"

namespace {

struct Graph {
    explicit Graph(int signal, int division, uint32_t seconds,
                   RealTimeGraph::Update update = RealTimeGraph::Update::Incremental)
        : graph(chart, settings, signal, division, seconds, update) {
        chart.SetSeriesCount(3);
        chart.SetYRange(0, 50);
        graph.Begin();
    }
    LineChart chart;
    GraphSettings settings;
    RealTimeGraph graph;
};

}  // namespace

TEST(RealTimeGraph, WindowAndDurationFollowTheTimeDivision) {
    struct Case {
        int division;
        uint32_t seconds;
        uint64_t windowEnd, durationSamples;
    };
    const Case cases[] = {
        {9, 18000, 180000, 180000},  // "1 hour": samples of 100 ms
        {4, 1, 50000, 1000},         // "10 seconds" for one second
        {0, 0, 250, 1000},           // the duration is at least a second
    };
    for (const Case& c : cases) {
        Graph g(kSignalSourceVoltage, c.division, c.seconds);
        EXPECT_EQ(g.graph.WindowEnd(), c.windowEnd) << c.division;
        EXPECT_EQ(g.chart.ValueCount(0), static_cast<int>(c.windowEnd));
        const double tick = g.graph.SecondsMode() ? 100 : 1;
        uint64_t taken = 1;  // the sample that ends the run is taken too
        while (g.graph.AddSample(5.0f, static_cast<double>(taken) * tick))
            ++taken;
        EXPECT_EQ(taken, c.durationSamples) << c.division;
        EXPECT_EQ(g.graph.SampleCount(), c.durationSamples) << c.division;
    }
}

TEST(RealTimeGraph, EveryWindowStartAveragesOverFewerSamples) {
    Graph g(kSignalSourceVoltage, 0, 10);  // 50 samples a division, 250 shown
    for (int i = 0; i < 260; ++i)
        g.graph.AddSample(static_cast<float>(i), i);
    ASSERT_EQ(g.graph.WindowStart(), 50u);
    for (int entry = 0; entry < 12; ++entry) {
        int index = 50 + entry;
        int n = std::min(entry + 1, 10);
        EXPECT_FLOAT_EQ(g.chart.Value(0, entry), index - (n - 1) / 2.0f) << entry;
        EXPECT_EQ(g.chart.Value(1, entry), index);
        EXPECT_EQ(g.chart.Value(2, entry), index - n + 1);
    }
    EXPECT_EQ(g.chart.CategoryLabel(0), "50");
    EXPECT_EQ(g.chart.CategoryLabel(50), "100");
    EXPECT_EQ(g.chart.Value(0, 210), NO_DATA);  // index 260: not sampled yet
}

TEST(RealTimeGraph, MissedTicksAreFilledFromThePreviousSampleToTheNew) {
    Graph g(kSignalSourceVoltage, 0, 10);
    g.graph.AddSample(0.0f, 0);
    g.graph.AddSample(8.0f, 4);
    EXPECT_EQ(g.graph.SampleCount(), 5u);
    EXPECT_EQ(g.graph.FilledCount(), 3u);
    // The maxima of the growing windows are the filled values themselves.
    for (int i = 1; i <= 4; ++i)
        EXPECT_FLOAT_EQ(g.chart.Value(1, i), 2.0f * i) << i;

    // Ticks a little slower than the sample period: the index still follows
    // the clock, one entry per millisecond.
    Graph slow(kSignalSourceVoltage, 0, 10);
    for (int k = 0; k <= 910; ++k)
        slow.graph.AddSample(1.0f, 1.1 * k);
    EXPECT_NEAR(static_cast<double>(slow.graph.SampleCount()), 1001.0, 1.0);
}

TEST(RealTimeGraph, YRangeGrowsButNeverNarrows) {
    Graph g(kSignalSourceVoltage, 0, 10);
    g.graph.AddSample(5.0f, 1);
    EXPECT_EQ(g.chart.YMax(), 10);
    g.graph.AddSample(15.0f, 2);
    EXPECT_EQ(g.chart.YMax(), 20);
    EXPECT_EQ(g.settings.yMax, 20);
    g.graph.AddSample(5.0f, 3);
    EXPECT_EQ(g.chart.YMax(), 20);

    Graph sink(kSignalSinkVoltage, 0, 10);
    sink.graph.AddSample(15.0f, 1);
    EXPECT_EQ(sink.chart.YMax(), 50);  // the sink voltage keeps its set-up range
}

// The incremental update against a rewrite of the whole window after every
// sample, over long runs with jitter, stalls (filled ticks), window moves and
// the end of the duration.
TEST(RealTimeGraph, IncrementalUpdateEqualsFullRebuild) {
    struct Case {
        int division;
        uint32_t seconds;
        int compareEvery;
    };
    const Case cases[] = {{0, 20, 2}, {1, 12, 3}, {2, 8, 7}};
    for (const Case& c : cases) {
        Graph fast(kSignalSinkCurrent, c.division, c.seconds);
        Graph full(kSignalSinkCurrent, c.division, c.seconds, RealTimeGraph::Update::FullRebuild);
        std::mt19937 random(static_cast<unsigned>(c.division + 11));
        std::uniform_real_distribution<float> value(0, 3000);
        std::uniform_int_distribution<int> kind(0, 99);
        double tMs = 0;
        const double tick = fast.graph.SecondsMode() ? 100 : 1;
        bool running = true;
        for (int n = 0; running; ++n) {
            int k = kind(random);
            tMs += k < 80 ? tick : k < 90 ? tick * 0.5 : k < 98 ? tick * (2 + k % 7) : tick * 300;
            float v = value(random);
            running = fast.graph.AddSample(v, tMs);
            EXPECT_EQ(full.graph.AddSample(v, tMs), running);
            if (n % c.compareEvery != 0 && running) continue;
            ASSERT_EQ(fast.graph.WindowStart(), full.graph.WindowStart());
            for (int i = 0; i < fast.chart.ValueCount(0); ++i) {
                for (int s = 0; s < 3; ++s)
                    ASSERT_EQ(fast.chart.Value(s, i), full.chart.Value(s, i)) << "sample " << n << " entry " << i;
                ASSERT_EQ(fast.chart.CategoryLabel(i), full.chart.CategoryLabel(i)) << n << " " << i;
            }
        }
        EXPECT_EQ(fast.graph.SampleCount(), fast.graph.DurationSamples());
        EXPECT_GT(fast.graph.FilledCount(), 0u);
        EXPECT_GT(fast.graph.WindowStart(), 0u);
    }
}
