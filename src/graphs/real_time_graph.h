#pragma once

#include <cstdint>
#include <deque>

#include "graphs/graph_settings.h"
#include "graphs/line_chart.h"

// A time division of the real-time graph: five of them fill the chart. A
// sample is taken every millisecond, or every 100 ms in seconds mode.
struct TimeDivision {
    const char* text;
    uint32_t samplesPerDivision;
    bool secondsMode;
};
constexpr int kTimeDivisionCount = 10;
const TimeDivision& TimeDivisionAt(int index);  // clamped to the table

// The Y max the range grows to for a running maximum of the signal.
float GrownYMax(int signal, float maximum);

// The real-time graph of one signal: takes time-stamped samples, fills the
// ticks that were missed, and keeps the chart's window of five divisions
// (average, maximum and minimum over the last 10 samples) up to date.
//
// Each sample rewrites only the chart entries that it changes; the result is
// the same as rewriting the whole window (Update::FullRebuild, kept as the
// reference and for measurements).
class RealTimeGraph {
public:
    enum class Update { Incremental, FullRebuild };

    RealTimeGraph(LineChart& chart, GraphSettings& settings, int signal, int timeDivision, uint32_t durationS,
                  Update update = Update::Incremental);

    // Prepares the chart: X-axis title, every entry empty, value counts,
    // widths, labels shown.
    void Begin();
    // One reading taken `elapsedMs` after the start. False once the run holds
    // its duration's samples.
    bool AddSample(float value, double elapsedMs);

    uint64_t SampleCount() const { return length_; }
    uint64_t FilledCount() const { return filled_; }
    uint64_t DurationSamples() const { return durationSamples_; }
    uint64_t WindowStart() const { return windowStart_; }
    uint64_t WindowEnd() const { return windowEnd_; }
    bool SecondsMode() const { return division_.secondsMode; }

    // Rewrites every chart entry of the window.
    void RebuildWindow();

private:
    void Append(float value);
    void WriteEntry(uint64_t index);
    void GrowRange(float value);

    LineChart& chart_;
    GraphSettings& settings_;
    const int signal_;
    const TimeDivision division_;
    const Update update_;
    uint64_t durationSamples_;
    uint64_t windowStart_ = 0;
    uint64_t windowEnd_ = 0;
    // Samples from the window's start on; earlier ones are never shown again.
    std::deque<float> values_;
    uint64_t length_ = 0;  // samples taken since the start, fills included
    uint64_t filled_ = 0;
    double lastTime_ = 0;  // the tick of the last entry, in sample periods
    float maximum_ = -1;
};
