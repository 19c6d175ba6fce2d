#include "graphs/fft_graph.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
Spectrum Filled(int16_t value) {
    Spectrum spectrum;
    spectrum.fill(value);
    return spectrum;
}
}  // namespace

TEST(SpectrumMapping, ClampsToTheChartsRange) {
    SpectrumPlot quiet = MapSpectrum(Filled(-130));
    EXPECT_TRUE(std::all_of(quiet.begin(), quiet.end(), [](float v) { return v == -120.0f; }));
    SpectrumPlot loud = MapSpectrum(Filled(3));
    EXPECT_TRUE(std::all_of(loud.begin(), loud.end(), [](float v) { return v == 0.0f; }));
}

TEST(SpectrumMapping, EntriesWithoutABinTakeTheNextBinsValue) {
    Spectrum spectrum = Filled(-120);
    for (int16_t bin = 0; bin < 6; ++bin)
        spectrum[bin] = static_cast<int16_t>(-10 - bin);  // bins at 0, 1.76, 3.52, 5.27, 7.03, 8.79 kHz
    SpectrumPlot plot = MapSpectrum(spectrum);
    // Over 7 kHz, entries 2, 4 and 6 receive no bin.
    std::vector<float> first(plot.begin(), plot.begin() + 9);
    EXPECT_EQ(first, (std::vector<float>{-10, -11, -12, -12, -13, -13, -14, -14, -15}));
    // Bin 569 lands past the last entry; a run of floor values stays at the floor.
    spectrum = Filled(-120);
    spectrum[569] = -20;
    spectrum[560] = -30;  // at 984 kHz
    plot = MapSpectrum(spectrum);
    EXPECT_EQ(plot[984], -30.0f);
    EXPECT_EQ(plot[983], -30.0f);
    EXPECT_EQ(plot[979], -120.0f) << "a gap looks at most four entries ahead";
    EXPECT_EQ(plot[999], -20.0f) << "the last entry takes the bin just past it";
}
