#include "fft_synth.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr double kIdleFloorDb = -118.0;
constexpr double kPoweredFloorDb = -96.0;
constexpr double kFundamentalDb = -38.0;
constexpr double kHarmonicFalloffDb = 7.0;
}  // namespace

Spectrum SynthesizeSpectrum(const SpectrumInput& input, std::mt19937& random) {
    Spectrum out;
    std::normal_distribution<double> noise(0.0, 2.5);
    double floor = input.powered ? kPoweredFloorDb : kIdleFloorDb;
    std::vector<double> db(out.size());
    for (size_t i = 0; i < db.size(); ++i) {
        // 1/f rise towards DC.
        double lowFrequency = i < 12 ? (12 - i) * 2.0 : 0.0;
        db[i] = floor + lowFrequency + noise(random);
    }
    if (input.capturing && input.powered && input.switchingKhz > 0) {
        std::uniform_real_distribution<double> jitter(-0.01, 0.01);
        double fundamentalHz = input.switchingKhz * 1000.0 * (1.0 + jitter(random));
        double loadDb = 10.0 * std::log10(1.0 + input.loadMa / 500.0);
        for (int harmonic = 1;; ++harmonic) {
            double bin = harmonic * fundamentalHz / kSpectrumBinHz;
            if (bin >= db.size() - 1) break;
            double peak = kFundamentalDb + loadDb - kHarmonicFalloffDb * (harmonic - 1) + noise(random) * 0.4;
            // The peak spreads over neighbouring bins as a window would smear it.
            for (int offset = -2; offset <= 2; ++offset) {
                long at = std::lround(bin) + offset;
                if (at < 0 || at >= static_cast<long>(db.size())) continue;
                double distance = std::abs(at - bin);
                db[at] = std::max(db[at], peak - 12.0 * distance * distance);
            }
        }
    }
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<int16_t>(std::lround(input.capturing ? db[i] : -120.0));
    }
    return out;
}
