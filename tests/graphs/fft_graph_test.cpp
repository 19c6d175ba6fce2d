#include "graphs/fft_graph.h"

#include <gtest/gtest.h>

TEST(SpectrumMapping, ClampsAndClosesTheGapsBetweenBins) {
    Spectrum spectrum;
    spectrum.fill(-130);
    EXPECT_EQ(MapSpectrum(spectrum)[500], -120.0f);
    spectrum.fill(3);
    EXPECT_EQ(MapSpectrum(spectrum)[500], 0.0f);

    spectrum.fill(-120);
    for (int16_t bin = 0; bin < 6; ++bin)
        spectrum[bin] = static_cast<int16_t>(-10 - bin);  // at 0, 1.76, 3.52, 5.27, 7.03 and 8.79 kHz
    spectrum[560] = -30;                                  // at 984 kHz
    spectrum[569] = -20;                                  // at 1000 kHz, past the last entry
    SpectrumPlot plot = MapSpectrum(spectrum);
    // Over 7 kHz, entries 2, 4 and 6 receive no bin and take the next one's value.
    EXPECT_EQ(std::vector<float>(plot.begin(), plot.begin() + 9),
              (std::vector<float>{-10, -11, -12, -12, -13, -13, -14, -14, -15}));
    EXPECT_EQ(plot[980], -30.0f);
    EXPECT_EQ(plot[979], -120.0f) << "a gap looks at most four entries ahead";
    EXPECT_EQ(plot[999], -20.0f) << "the last entry takes the bin just past it";
}
