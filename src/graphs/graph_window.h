#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "graphs/graph_run.h"
#include "graphs/measured_graph_runs.h"
#include "graphs/run_profile.h"
#include "graphs/voltage_current_test.h"
#include "monitor/event_log.h"
#include "platform/clock.h"

// Image formats the graph can be saved in.
enum class GraphImageFormat { Png, Jpeg };
// PNG unless the name ends in .jpg or .jpeg (any case).
GraphImageFormat ImageFormatForPath(const std::string& path);

// What the graph window's rules ask of the window itself.
class GraphWindowShell {
public:
    enum class ImageResult { Saved, NoDeviceContext, NoBitmap, NoEncoder, WriteFailed };

    virtual ~GraphWindowShell() = default;
    // Lays the controls and the chart out for the window's present size.
    virtual void LayOut() = 0;
    // Calls `wait`, which blocks until the runner has ended, while the
    // window keeps answering the messages the runner sends it.
    virtual void WaitPumping(const std::function<void()>& wait) = 0;
    // Paints the graph into an image of the graph area's size and writes it
    // whole to `path` (error: the reason when writing failed).
    virtual ImageResult SaveImage(const std::string& path, GraphImageFormat format, std::string* error) = 0;
};

// The graph window's rules: settings and their validation, Run and Stop, the
// chart set-up per graph type, the runner thread, painting and saving.
//
// Graph types plug in through SetRunFunction (the run, on the runner thread),
// SetOverlay (drawing over the chart) and SetCsvExport ("Export CSV"). The
// real-time graph, the voltage-versus-current test (its regions and CSV
// export) and the FFT are built in; a type without a run function refuses Run.
class GraphWindow {
public:
    struct Parts {
        Controls& window;
        Prompts& prompts;
        LiveState& live;
        PortEvents& events;
        GraphSettings& settings;
        GraphWindowShell& shell;
        SampleClock& clock;
        EventLog* log = nullptr;
        TesterConnection* tester = nullptr;
        Clock* testClock = nullptr;  // the tests' waits; the system's clock when none
    };

    explicit GraphWindow(Parts parts);
    ~GraphWindow();
    GraphWindow(const GraphWindow&) = delete;
    GraphWindow& operator=(const GraphWindow&) = delete;

    void SetRunFunction(int type, GraphRunFunction run);
    void SetOverlay(int type, GraphOverlayFunction overlay);
    void SetCsvExport(std::function<void()> exportCsv);

    void Initialize();
    void OnCommand(int id, int notification);
    // The 10 ms tick; true when the graph area should be repainted now.
    bool OnTimer();
    // Close or cancel: stops a running graph and waits for its runner,
    // validates the shown settings, and lets the chart go. The dialog ends
    // after it.
    void Close();
    // The graph area's new client size.
    void Resize(int areaWidth, int areaHeight);
    // The graph area's contents: the chart at (5, 5) and its overlays.
    void Paint(Canvas& canvas);

    bool ValidateGraphSettings(int type, bool withMessages);
    void ShowGraphParameters(int type);
    void RescaleSinkVoltage();
    void SetupChart();
    void SaveGraph();

    bool Running() const { return running_; }
    const LineChart* Chart() const { return chart_.get(); }
    int GraphType() const { return graphType_; }
    // Waits for the runner thread of the last run to end.
    void JoinRunner();

private:
    void RunOrStop();
    void GraphRunner();
    void OnListChange(int id);
    void LowerLoadChangeSpeed(int stepTimeMs, bool withMessages);
    void PaintAcceptableRange(Canvas& canvas, LineChart& chart);

    Parts parts_;
    std::array<GraphRunFunction, kGraphTypeCount> runs_;
    std::array<GraphOverlayFunction, kGraphTypeCount> overlays_;
    std::function<void()> exportCsv_;

    std::unique_ptr<LineChart> chart_;
    std::thread runner_;
    std::atomic<bool> running_{false};
    int graphType_ = kGraphRealTime;
    int pendingType_ = kGraphRealTime;
    int runSignal_ = kSignalSourceVoltage;
    bool configChanged_ = false;
    RunProfile runProfile_;
    // The last voltage-versus-current run, kept for painting and export
    // until the next one.
    VoltageCurrentTest test_;
    PendingWindowUpdates updates_;
    EventLog unloggedEvents_;  // the tests' log when the window was given none
    int areaWidth_ = 0, areaHeight_ = 0;
};

// Loads `count` values of a buffer into a chart series with their category
// labels: the index, or the index times the current step for the
// voltage-versus-current test.
void LoadSeries(LineChart& chart, std::span<const float> buffer, int count, int series, int graphType,
                int currentStepMa);
