#include <gtest/gtest.h>

#include <algorithm>

#include "graphs/fft_graph.h"
#include "sim_bench.h"
#include "support/run_context_bench.h"

// The FFT graph against the simulated tester: pd65 switches at 130 kHz.
TEST(SpectrumGraphWithSimulator, PlotsTheSwitchingPeaksAndKeepsTheLastWholeSpectrum) {
    SimBench bench;
    ASSERT_TRUE(bench.simulator.Plug("pd65"));
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.connection.SetLoadCurrent(2000, 0));
    ASSERT_TRUE(bench.connection.SetSpectrumCapture(true));
    Spectrum first, second;
    ASSERT_TRUE(bench.connection.GetSpectrum(first) && bench.connection.GetSpectrum(second));
    EXPECT_NE(first, second) << "each capture has noise of its own";
    TestRunParts parts;
    parts.live.testIdle = false;
    // Reads at 1.1, 2.1 and 3.1 s: the first and the last arrive broken.
    std::vector<std::vector<float>> shown;
    parts.clock.onSleep = [&](uint64_t nowMs) {
        if (parts.view.seriesShown > static_cast<int>(shown.size())) shown.push_back(parts.view.series);
        if (nowMs == 1000 || nowMs == 3000) bench.simulator.ConfigureFaults([](FaultPlan& p) { p.CorruptEndNext(1); });
        if (nowMs == 3200) parts.live.testIdle = true;
    };
    RunSpectrumGraph(bench.connection, parts.context);

    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], std::vector<float>(kSpectrumEntries, -120.0f)) << "the floor until a whole spectrum came";
    const std::vector<float>& peaks = shown[1];
    auto peak = std::max_element(peaks.begin() + 20, peaks.end()) - peaks.begin();
    EXPECT_NEAR(peak, 130, 3);
    EXPECT_GT(peaks[peak], -45);
    EXPECT_GT(*std::max_element(peaks.begin() + 255, peaks.begin() + 265), peaks[500] + 20) << "second harmonic";
    EXPECT_EQ(shown[2], shown[1]) << "a broken read shows the last whole spectrum";
    ASSERT_TRUE(bench.connection.GetSpectrum(first));
    EXPECT_TRUE(std::all_of(first.begin(), first.end(), [](int16_t v) { return v == -120; })) << "capture is off";
}
