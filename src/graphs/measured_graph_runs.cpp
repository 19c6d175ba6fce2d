#include "graphs/measured_graph_runs.h"

#include "graphs/compliance_regions.h"
#include "graphs/fft_graph.h"
#include "graphs/graph_settings.h"
#include "graphs/graph_window.h"
#include "monitor/load_off.h"
#include "ui/graph_ids.h"

namespace {
// The regions in the chart's data coordinates.
class ChartFillsOnCanvas : public ChartFills {
public:
    ChartFillsOnCanvas(LineChart& chart, Canvas& canvas) : chart_(chart), canvas_(canvas) {}
    void FillBox(int x1Ma, float volts1, int x2Ma, float volts2, int maPerCategory, Color color) override {
        chart_.FillBox(canvas_, x1Ma, volts1, x2Ma, volts2, maPerCategory, color.r, color.g, color.b);
    }
    void FillPolygon(std::span<const int> xMa, std::span<const float> volts, int maPerCategory, Color color) override {
        if (xMa.size() != volts.size()) return;
        chart_.FillPolygon(canvas_, xMa.data(), volts.data(), static_cast<int>(xMa.size()), maPerCategory, color.r,
                           color.g, color.b);
    }

private:
    LineChart& chart_;
    Canvas& canvas_;
};
}  // namespace

void PendingWindowUpdates::SetStatus(const std::string& text) {
    std::lock_guard<std::mutex> held(lock_);
    status_ = text;
}

void PendingWindowUpdates::EnableSettings(bool enabled) {
    std::lock_guard<std::mutex> held(lock_);
    settingsEnabled_ = enabled;
}

void PendingWindowUpdates::Clear() {
    std::lock_guard<std::mutex> held(lock_);
    status_.reset();
    settingsEnabled_.reset();
}

void PendingWindowUpdates::Apply(Controls& window) {
    std::optional<std::string> status;
    std::optional<bool> enabled;
    {
        std::lock_guard<std::mutex> held(lock_);
        status.swap(status_);
        enabled.swap(settingsEnabled_);
    }
    // The controls are called without the lock: they may wait for messages.
    if (status) window.SetText(IDC_GRAPH_STATUS, *status);
    if (enabled) {
        for (int id : {IDC_GRAPH_TYPE, IDC_GRAPH_CURRENT_STEP, IDC_GRAPH_STEP_TIME, IDC_GRAPH_LOAD_SPEED})
            window.Enable(id, *enabled);
    }
}

void ChartRunView::ShowSeries(std::span<const float> values) {
    LoadSeries(chart_, values, static_cast<int>(values.size()), 0, graphType_, currentStepMa_);
}

void RunVoltageCurrentGraph(GraphRun& run, const MeasuredGraphParts& parts) {
    VoltageCurrentParams params;
    params.stepMa = static_cast<uint16_t>(run.settings.currentStepMa.load());
    params.stepTimeMs = static_cast<uint16_t>(run.settings.stepTimeMs.load());
    params.loadChangeSpeedMs = run.live.loadChangeSpeedMs;
    ChartRunView view(run.chart, kGraphVoltageVsCurrent, params.stepMa, parts.updates);
    RunContext context{run.live, parts.log, run.events, view, run.prompts, parts.clock, run.tester};
    parts.test.Run(params, parts.profile, context);
    // An incomplete run and a load left on are said plainly, not only logged.
    VoltageCurrentResult result = parts.test.Result();
    std::string problem;
    if (!result.endReason.empty()) problem = "The Voltage vs. Current test is incomplete: " + result.endReason + ".";
    if (result.loadLeftOnMa) problem += (problem.empty() ? "" : "\n") + LoadMayStillBeOnText(*result.loadLeftOnMa);
    if (!problem.empty()) run.prompts.ShowMessage(problem, "Ampwright Error", Prompts::kOk | Prompts::kIconError);
}

void RunFftGraph(GraphRun& run, const MeasuredGraphParts& parts) {
    if (!run.tester) return;
    ChartRunView view(run.chart, kGraphFft, 1, parts.updates);
    RunContext context{run.live, parts.log, run.events, view, run.prompts, parts.clock};
    RunSpectrumGraph(*run.tester, context);
}

void PaintVoltageCurrentOverlay(Canvas& canvas, LineChart& chart, const VoltageCurrentTest& test) {
    VoltageCurrentResult result = test.Result();
    ChartFillsOnCanvas fills(chart, canvas);
    PaintComplianceRegions(fills, canvas, result.profile, result.stepMa, chart.Height());
}
