#pragma once

#include <cstdint>
#include <random>

#include "device/tester_records.h"

// A synthetic spectrum of the sink port's VBUS: bin i is i x 1757.8125 Hz, in
// dB. A noise floor, and while a charger supplies power its switching
// frequency with harmonics, stronger with load. Each capture jitters the
// frequency and the noise, as a real measurement would.
struct SpectrumInput {
    bool capturing = false;
    bool powered = false;
    uint16_t switchingKhz = 0;
    uint16_t loadMa = 0;
};

constexpr double kSpectrumBinHz = 1757.8125;

Spectrum SynthesizeSpectrum(const SpectrumInput& input, std::mt19937& random);
