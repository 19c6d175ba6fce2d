#include "graphs/real_time_graph.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/format.h"

namespace {
constexpr std::array<TimeDivision, kTimeDivisionCount> kTimeDivisions = {{
    {"50 msec", 50, false},
    {"100 msec", 100, false},
    {"500 msec", 500, false},
    {"1 second", 1000, false},
    {"10 seconds", 10000, false},
    {"1 minute", 60000, false},
    {"5 minutes", 3000, true},
    {"15 minutes", 9000, true},
    {"30 minutes", 18000, true},
    {"1 hour", 36000, true},
}};
constexpr uint64_t kDivisionsShown = 5;
constexpr uint64_t kAveraging = GraphSettings::kAveragingWindow;
}  // namespace

const TimeDivision& TimeDivisionAt(int index) {
    return kTimeDivisions[static_cast<size_t>(std::clamp(index, 0, kTimeDivisionCount - 1))];
}

float GrownYMax(int signal, float maximum) {
    static constexpr float kVoltages[] = {10, 20, 30, 40, 50};
    static constexpr float kCurrents[] = {1000, 2000, 3000, 4000, 5000};
    static constexpr float kPowers[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 200, 240};
    auto pick = [maximum](const auto& limits) {
        for (float limit : limits) {
            if (maximum < limit) return limit;
        }
        return limits[std::size(limits) - 1];
    };
    switch (signal) {
        case kSignalSourceVoltage:
        case kSignalSinkVoltage:
            return pick(kVoltages);
        case kSignalSourceCurrent:
        case kSignalSinkCurrent:
            return pick(kCurrents);
        default:
            return pick(kPowers);
    }
}

RealTimeGraph::RealTimeGraph(LineChart& chart, GraphSettings& settings, int signal, int timeDivision,
                             uint32_t durationS, Update update)
    : chart_(chart), settings_(settings), signal_(signal), division_(TimeDivisionAt(timeDivision)), update_(update) {
    uint64_t seconds = std::clamp<uint32_t>(durationS, 1, 18000);
    durationSamples_ = division_.secondsMode ? seconds * 10 : seconds * 1000;
    windowEnd_ = std::min<uint64_t>(kDivisionsShown * division_.samplesPerDivision, LineChart::kCapacity);
}

void RealTimeGraph::Begin() {
    auto held = chart_.Hold();
    chart_.SetHideCategoryLabels(false);
    chart_.SetXAxisTitle(division_.secondsMode ? "Time (seconds)" : "Time (milli-seconds)", LineChart::kAlignRight);
    for (int s = 0; s < LineChart::kSeries; ++s) {
        for (int i = 0; i < LineChart::kCapacity; ++i)
            chart_.SetValue(s, i, NO_DATA);
        chart_.SetValueCount(s, static_cast<int>(windowEnd_));
        chart_.SetMarker(s, false);
    }
    for (int i = 0; i < LineChart::kCapacity; ++i)
        chart_.SetCategoryLabel(i, "");
    chart_.SetLineWidth(0, 2);
    chart_.SetLineWidth(1, 1);
    chart_.SetLineWidth(2, 1);
}

bool RealTimeGraph::AddSample(float value, double elapsedMs) {
    GrowRange(value);
    double t = division_.secondsMode ? elapsedMs / 100.0 : elapsedMs;
    if (!(t > 0)) t = 0;
    const uint64_t before = length_;
    if (length_ == 0) {
        Append(value);
        lastTime_ = t;
    } else {
        // One entry per tick of the time base: ticks that were missed get
        // values on the straight line from the previous entry to this sample;
        // a second sample within the same tick is not kept. The entry's time
        // is that of its tick, so the index keeps following the clock.
        double previous = values_.empty() ? value : values_.back();
        int64_t n = static_cast<int64_t>(std::trunc(t - lastTime_ + 0.2));
        if (n < 1) return length_ < durationSamples_;
        for (int64_t k = 1; k < n && length_ < durationSamples_; ++k) {
            Append(static_cast<float>(previous + k * (value - previous) / static_cast<double>(n)));
            ++filled_;
        }
        // Samples past the duration are not kept: the run ends with this tick.
        if (length_ < durationSamples_) Append(value);
        lastTime_ += static_cast<double>(n);
    }

    auto held = chart_.Hold();
    bool moved = false;
    while (length_ > windowEnd_ && windowEnd_ < durationSamples_) {
        windowStart_ += division_.samplesPerDivision;
        windowEnd_ = std::min(windowEnd_ + division_.samplesPerDivision, durationSamples_);
        moved = true;
    }
    if (moved) {
        uint64_t drop = std::min<uint64_t>(windowStart_ - (length_ - values_.size()), values_.size());
        values_.erase(values_.begin(), values_.begin() + static_cast<std::ptrdiff_t>(drop));
    }
    if (moved || update_ == Update::FullRebuild) {
        RebuildWindow();
    } else {
        for (uint64_t i = std::max(before, windowStart_); i < std::min(length_, windowEnd_); ++i)
            WriteEntry(i);
    }
    return length_ < durationSamples_;
}

void RealTimeGraph::Append(float value) {
    values_.push_back(value);
    ++length_;
}

void RealTimeGraph::GrowRange(float value) {
    if (!(value > maximum_)) return;
    maximum_ = value;
    float yMax = GrownYMax(signal_, maximum_);
    if (signal_ == kSignalSinkVoltage) return;
    settings_.yMax = static_cast<int>(yMax);
    chart_.SetYRange(static_cast<float>(settings_.yMin.load()), yMax);
}

void RealTimeGraph::RebuildWindow() {
    auto held = chart_.Hold();
    const uint64_t shown = std::min<uint64_t>(kDivisionsShown * division_.samplesPerDivision, LineChart::kCapacity);
    for (uint64_t i = windowStart_; i < windowStart_ + shown; ++i)
        WriteEntry(i);
}

// Chart entry of sample `index`: the average, maximum and minimum of up to
// ten samples ending there (fewer at the window's start), and the division's
// time at every division start.
void RealTimeGraph::WriteEntry(uint64_t index) {
    const int entry = static_cast<int>(index - windowStart_);
    if (index >= length_ || index >= windowEnd_) {
        for (int s = 0; s < LineChart::kSeries; ++s)
            chart_.SetValue(s, entry, NO_DATA);
        chart_.SetCategoryLabel(entry, "");
        return;
    }
    const uint64_t first = length_ - values_.size();  // index of values_[0]
    const uint64_t n = std::min<uint64_t>(index - windowStart_ + 1, kAveraging);
    double sum = 0;
    float largest = values_[index - first], smallest = largest;
    for (uint64_t k = index + 1 - n; k <= index; ++k) {
        float value = values_[k - first];
        sum += value;
        largest = std::max(largest, value);
        smallest = std::min(smallest, value);
    }
    chart_.SetValue(0, entry, static_cast<float>(sum / static_cast<double>(n)));
    chart_.SetValue(1, entry, largest);
    chart_.SetValue(2, entry, smallest);
    const uint32_t perDivision = division_.samplesPerDivision;
    if (index % perDivision == 0) {
        uint64_t shown = division_.secondsMode ? index / 10 : index;
        chart_.SetCategoryLabel(entry, Format("%u", static_cast<unsigned>(shown)));
    } else {
        chart_.SetCategoryLabel(entry, "");
    }
}
