#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "graphs/graph_run.h"
#include "graphs/run_context.h"
#include "graphs/voltage_current_test.h"
#include "platform/mutex.h"

// What a test's thread asks of the window's controls, kept until the
// window's timer applies it, so the test never waits for the window.
class PendingWindowUpdates {
public:
    void SetStatus(const std::string& text);
    void EnableSettings(bool enabled);
    // Forgets what was not applied yet (a new run's set-up).
    void Clear();
    // On the window's thread: applies what changed since the last call.
    void Apply(Controls& window);

private:
    Mutex lock_;
    std::optional<std::string> status_;
    std::optional<bool> settingsEnabled_;
};

// The graph window's side of a test run: the series goes into the chart
// under its lock, the rest waits for the window's timer.
class ChartRunView : public RunView {
public:
    ChartRunView(LineChart& chart, int graphType, int currentStepMa, PendingWindowUpdates& updates)
        : chart_(chart), graphType_(graphType), currentStepMa_(currentStepMa), updates_(updates) {}
    void ShowSeries(std::span<const float> values) override;
    void ShowStatus(const std::string& text) override { updates_.SetStatus(text); }
    void EnableSettings(bool enabled) override { updates_.EnableSettings(enabled); }

private:
    LineChart& chart_;
    int graphType_;
    int currentStepMa_;
    PendingWindowUpdates& updates_;
};

// What the two test graphs share with the window that runs them.
struct MeasuredGraphParts {
    VoltageCurrentTest& test;
    const RunProfile& profile;  // copied by the chart set-up
    PendingWindowUpdates& updates;
    Clock& clock;
    EventLog& log;
};

void RunVoltageCurrentGraph(GraphRun& run, const MeasuredGraphParts& parts);
void RunFftGraph(GraphRun& run, const MeasuredGraphParts& parts);
// The compliance regions of the last voltage-versus-current run and their
// legend, over the chart (its lock held by the painter).
void PaintVoltageCurrentOverlay(Canvas& canvas, LineChart& chart, const VoltageCurrentTest& test);
