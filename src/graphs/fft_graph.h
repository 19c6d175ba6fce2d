#pragma once

#include <array>

#include "device/tester_connection.h"
#include "graphs/run_context.h"

// The sink FFT: the tester computes the spectrum of the sink port's signal;
// the graph reads it once a second and plots 0 to 999 kHz in dB.
constexpr int kSpectrumEntries = 1000;  // one per kHz
constexpr float kSpectrumFloorDb = -120.0f;
using SpectrumPlot = std::array<float, kSpectrumEntries>;

// Puts the tester's bins (1.7578125 kHz apart) on the one-kHz entries:
// each value clamped to -120..0 dB at its frequency in whole kHz, and an
// entry no bin reached takes the next value ahead.
SpectrumPlot MapSpectrum(const Spectrum& spectrum);

// One spectrum a second until Stop, TestIdle or a sink detach. Until the
// first complete read, and whenever a read fails, it plots the last
// complete spectrum (flat -120 dB before any).
void SpectrumLoop(TesterConnection& tester, RunContext& context);

// The whole FFT run: capture on, the loop, capture off (each switch retried
// once after 100 ms).
void RunSpectrumGraph(TesterConnection& tester, RunContext& context);
