#include "graphs/fft_graph.h"

#include <algorithm>

namespace {
constexpr uint32_t kReadIntervalMs = 1000;
constexpr uint32_t kWaitSliceMs = 10;
constexpr uint32_t kCapturePauseMs = 100;
constexpr int kLookAhead = 4;  // how far a gap looks for a value

// A bin's frequency in whole kHz: bin i is at i x 1757.8125 Hz.
size_t EntryOfBin(size_t bin) {
    return bin * 17578125 / 10000000;
}

void SwitchCapture(TesterConnection& tester, Clock& clock, bool on) {
    if (tester.SetSpectrumCapture(on)) return;
    clock.SleepMs(kCapturePauseMs);
    tester.SetSpectrumCapture(on);
}
}  // namespace

SpectrumPlot MapSpectrum(const Spectrum& spectrum) {
    // Room past the last entry: the last bin lands there, and the gap closing
    // looks ahead into it without leaving the buffer.
    std::array<float, kSpectrumEntries + kLookAhead> entries;
    entries.fill(kSpectrumFloorDb);
    for (size_t bin = 0; bin < spectrum.size(); ++bin) {
        size_t entry = EntryOfBin(bin);
        if (entry < entries.size()) entries[entry] = std::clamp<float>(spectrum[bin], kSpectrumFloorDb, 0.0f);
    }
    for (size_t k = 0; k < kSpectrumEntries; ++k) {
        if (entries[k] != kSpectrumFloorDb) continue;
        size_t from = k + 1;
        while (from < k + kLookAhead && entries[from] == kSpectrumFloorDb)
            ++from;
        entries[k] = entries[from];
    }
    SpectrumPlot plot;
    std::copy_n(entries.begin(), kSpectrumEntries, plot.begin());
    return plot;
}

void SpectrumLoop(TesterConnection& tester, RunContext& context) {
    context.events.testStop.Reset();
    context.events.sinkDetach.Reset();
    Spectrum complete;
    complete.fill(static_cast<int16_t>(kSpectrumFloorDb));
    while (!context.live.testIdle) {
        TestWait wait = WaitForTest(context, kReadIntervalMs, kWaitSliceMs);
        if (wait == TestWait::Detached) context.live.testIdle = true;
        if (wait != TestWait::TimedOut) return;
        // A failed read leaves its buffer half written: only a whole one is shown.
        Spectrum read;
        if (tester.GetSpectrum(read)) complete = read;
        SpectrumPlot plot = MapSpectrum(complete);
        context.view.ShowSeries(plot);
    }
}

void RunSpectrumGraph(TesterConnection& tester, RunContext& context) {
    SwitchCapture(tester, context.clock, true);
    context.clock.SleepMs(kCapturePauseMs);
    SpectrumLoop(tester, context);
    context.clock.SleepMs(kCapturePauseMs);
    SwitchCapture(tester, context.clock, false);
}
