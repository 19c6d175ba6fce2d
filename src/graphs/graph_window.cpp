#include "graphs/graph_window.h"

#include <algorithm>
#include <cctype>

#include "graphs/real_time_graph.h"
#include "graphs/real_time_loop.h"
#include "graphs/result_csv.h"
#include "graphs/run_profile.h"
#include "graphs/voltage_current_settings.h"
#include "monitor/load_change_speed.h"
#include "monitor/voltage_limits.h"
#include "platform/format.h"
#include "ui/graph_ids.h"
#include "ui/number_text.h"

namespace {
constexpr const char* kErrorTitle = "Ampwright Error";
constexpr uint32_t kErrorStyle = Prompts::kOk | Prompts::kIconError;
constexpr size_t kEditDigits = 9;
const Color kBlack{0, 0, 0};
const Color kGrey{0x64, 0x64, 0x64};
const Color kNoFill{0, 0, 0};

bool EndsWith(const std::string& text, const std::string& ending) {
    if (text.size() < ending.size()) return false;
    return std::equal(ending.rbegin(), ending.rend(), text.rbegin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(b)) == a; });
}
}  // namespace

GraphImageFormat ImageFormatForPath(const std::string& path) {
    return EndsWith(path, ".jpg") || EndsWith(path, ".jpeg") ? GraphImageFormat::Jpeg : GraphImageFormat::Png;
}

void LoadSeries(LineChart& chart, std::span<const float> buffer, int count, int series, int graphType,
                int currentStepMa) {
    auto held = chart.Hold();
    count = std::clamp(count, 0, static_cast<int>(buffer.size()));
    for (int i = 0; i < count; ++i) {
        chart.SetValue(series, i, buffer[static_cast<size_t>(i)]);
        unsigned long long label = graphType == kGraphVoltageVsCurrent ? 1ull * i * currentStepMa : i;
        chart.SetCategoryLabel(i, Format("%llu", label));
    }
    chart.SetValueCount(series, count);
    chart.SetMarker(series, false);
    if (graphType == kGraphRealTime) {
        chart.SetLineWidth(0, 2);
        chart.SetLineWidth(1, 1);
        chart.SetLineWidth(2, 1);
    } else {
        chart.SetLineWidth(series, graphType == kGraphFft ? 1 : 2);
    }
}

GraphWindow::GraphWindow(Parts parts) : parts_(parts) {
    runs_[kGraphRealTime] = [](GraphRun& run) { RealTimeLoop(run); };
    auto testParts = [this] {
        return MeasuredGraphParts{test_, runProfile_, updates_, parts_.testClock ? *parts_.testClock : SystemClock(),
                                  parts_.log ? *parts_.log : unloggedEvents_};
    };
    runs_[kGraphVoltageVsCurrent] = [testParts](GraphRun& run) { RunVoltageCurrentGraph(run, testParts()); };
    runs_[kGraphFft] = [testParts](GraphRun& run) { RunFftGraph(run, testParts()); };
    overlays_[kGraphVoltageVsCurrent] = [this](Canvas& canvas, LineChart& chart, const RunProfile&) {
        PaintVoltageCurrentOverlay(canvas, chart, test_);
    };
    exportCsv_ = [this] { ExportResultCsv(parts_.prompts, test_.Result()); };
}

GraphWindow::~GraphWindow() {
    if (runner_.joinable()) {
        parts_.live.testIdle = true;
        parts_.events.testStop.Set();
        runner_.join();
    }
}

void GraphWindow::SetRunFunction(int type, GraphRunFunction run) {
    if (type >= 0 && type < kGraphTypeCount) runs_[static_cast<size_t>(type)] = std::move(run);
}

void GraphWindow::SetOverlay(int type, GraphOverlayFunction overlay) {
    if (type >= 0 && type < kGraphTypeCount) overlays_[static_cast<size_t>(type)] = std::move(overlay);
}

void GraphWindow::SetCsvExport(std::function<void()> exportCsv) {
    exportCsv_ = std::move(exportCsv);
}

void GraphWindow::Initialize() {
    Controls& window = parts_.window;
    GraphSettings& settings = parts_.settings;
    graphType_ = pendingType_ = static_cast<int>(std::min<uint32_t>(settings.graphType, kGraphTypeCount - 1));
    if (!chart_) chart_ = std::make_unique<LineChart>();
    SetupChart();
    window.Enable(IDC_GRAPH_SAVE, false);
    window.Enable(IDC_GRAPH_EXPORT_CSV, false);
    window.Enable(IDC_GRAPH_CLOSE, true);

    window.ClearItems(IDC_GRAPH_TYPE);
    for (int i = 0; i < kGraphTypeCount; ++i)
        window.AddItem(IDC_GRAPH_TYPE, GraphTypeText(i));
    window.ClearItems(IDC_GRAPH_SIGNAL);
    for (int i = 0; i < kGraphSignalCount; ++i)
        window.AddItem(IDC_GRAPH_SIGNAL, GraphSignalText(i));
    window.ClearItems(IDC_GRAPH_TIME_DIVISION);
    for (int i = 0; i < kTimeDivisionCount; ++i)
        window.AddItem(IDC_GRAPH_TIME_DIVISION, TimeDivisionAt(i).text);
    window.ClearItems(IDC_GRAPH_LOAD_SPEED);
    for (int i = 0; i < kLoadChangeItemCount; ++i)
        window.AddItem(IDC_GRAPH_LOAD_SPEED, LoadChangeItemText(i));
    window.SelectItem(IDC_GRAPH_TYPE, graphType_);
    window.SelectItem(IDC_GRAPH_SIGNAL, static_cast<int>(settings.signal.load()));
    window.SelectItem(IDC_GRAPH_TIME_DIVISION, static_cast<int>(settings.timeDivision.load()));
    window.SelectItem(IDC_GRAPH_LOAD_SPEED, LoadChangeIndexForTime(parts_.live.loadChangeSpeedMs));
    ShowGraphParameters(graphType_);

    parts_.live.testIdle = true;
    running_ = false;
    window.SetText(IDC_GRAPH_RUN, "Run Test");
    parts_.events.testStop.Set();
    parts_.shell.LayOut();
}

void GraphWindow::OnCommand(int id, int notification) {
    switch (id) {
        case IDC_GRAPH_TYPE:
        case IDC_GRAPH_SIGNAL:
        case IDC_GRAPH_TIME_DIVISION:
            if (notification == ControlNotification::kSelectionChosen) OnListChange(id);
            break;
        case IDC_GRAPH_LOAD_SPEED:
            if (notification == ControlNotification::kSelectionChosen) {
                int time = LoadChangeTimeForIndex(parts_.window.SelectedItem(IDC_GRAPH_LOAD_SPEED));
                if (time > 0) parts_.live.loadChangeSpeedMs = static_cast<uint16_t>(time);
            }
            break;
        case IDC_GRAPH_RUN:
            RunOrStop();
            break;
        case IDC_GRAPH_SAVE:
            SaveGraph();
            break;
        case IDC_GRAPH_EXPORT_CSV:
            if (exportCsv_) exportCsv_();
            break;
        default:
            break;
    }
}

void GraphWindow::OnListChange(int id) {
    parts_.live.testIdle = true;
    int index = parts_.window.SelectedItem(id);
    if (index < 0) return;
    if (id == IDC_GRAPH_TYPE) {
        pendingType_ = std::min(index, kGraphTypeCount - 1);
    } else if (id == IDC_GRAPH_SIGNAL) {
        parts_.settings.signal = static_cast<uint32_t>(index);
    } else {
        parts_.settings.timeDivision = static_cast<uint32_t>(index);
    }
    ShowGraphParameters(pendingType_);
    if (pendingType_ != graphType_) configChanged_ = true;
}

bool GraphWindow::OnTimer() {
    LiveState& live = parts_.live;
    updates_.Apply(parts_.window);
    // A renegotiated voltage moves a running real-time graph's sink-voltage
    // range; a finished run keeps what it shows.
    if (running_ && graphType_ == kGraphRealTime && live.profileChanged &&
        live.sinkVoltageMv != runProfile_.voltageMv) {
        live.profileChanged = false;
        RescaleSinkVoltage();
    }
    return !live.testIdle;
}

void GraphWindow::RescaleSinkVoltage() {
    LiveState& live = parts_.live;
    runProfile_ = CopyRunProfile(live);
    if (runSignal_ != kSignalSinkVoltage || !chart_) return;
    VoltageAxis axis = VoltageAxisFor(runProfile_);
    auto held = chart_->Hold();
    chart_->SetYRange(axis.minimumV, axis.maximumV);
    chart_->SetYDivisions(axis.divisions);
    parts_.settings.yMin = static_cast<int>(axis.minimumV);
    parts_.settings.yMax = static_cast<int>(axis.maximumV);
}

void GraphWindow::ShowGraphParameters(int type) {
    Controls& window = parts_.window;
    const bool realTime = type == kGraphRealTime;
    const bool stepped = type == kGraphVoltageVsCurrent;
    for (int id : {IDC_GRAPH_SIGNAL, IDC_GRAPH_SIGNAL_LABEL, IDC_GRAPH_TIME_DIVISION, IDC_GRAPH_TIME_DIVISION_LABEL,
                   IDC_GRAPH_DURATION, IDC_GRAPH_DURATION_LABEL}) {
        window.Show(id, realTime);
    }
    for (int id : {IDC_GRAPH_CURRENT_STEP, IDC_GRAPH_CURRENT_STEP_LABEL, IDC_GRAPH_STEP_TIME, IDC_GRAPH_STEP_TIME_LABEL,
                   IDC_GRAPH_LOAD_SPEED, IDC_GRAPH_LOAD_SPEED_LABEL}) {
        window.Show(id, stepped);
    }
    if (realTime) {
        window.SetText(IDC_GRAPH_DURATION_LABEL, "Test Duration in seconds");
        window.SetText(IDC_GRAPH_DURATION, Format("%d", static_cast<int>(parts_.settings.testDurationS.load())));
    } else if (stepped) {
        window.SetText(IDC_GRAPH_CURRENT_STEP_LABEL, "Current Intervals (mA) each step");
        window.SetText(IDC_GRAPH_STEP_TIME_LABEL, "Time Intervals (msec) each step");
        window.SetText(IDC_GRAPH_CURRENT_STEP, Format("%d", parts_.settings.currentStepMa.load()));
        window.SetText(IDC_GRAPH_STEP_TIME, Format("%d", parts_.settings.stepTimeMs.load()));
    }
}

bool GraphWindow::ValidateGraphSettings(int type, bool withMessages) {
    Controls& window = parts_.window;
    GraphSettings& settings = parts_.settings;
    auto refuse = [&](int id, const std::string& message, const std::string& resetText) {
        if (!withMessages) return;
        parts_.prompts.ShowMessage(message, kErrorTitle, kErrorStyle);
        window.SetText(id, resetText);
    };
    bool valid = true;
    if (type == kGraphVoltageVsCurrent) {
        int step = ReadNumber(window.GetText(IDC_GRAPH_CURRENT_STEP), kEditDigits);
        if (std::optional<SettingRefusal> refusal = CheckCurrentStep(step)) {
            refuse(IDC_GRAPH_CURRENT_STEP, refusal->message, refusal->resetText);
            return false;
        }
        settings.currentStepMa = static_cast<uint16_t>(step);
        configChanged_ = true;
        int time = ReadNumber(window.GetText(IDC_GRAPH_STEP_TIME), kEditDigits);
        if (std::optional<SettingRefusal> refusal = CheckStepTime(step, time)) {
            refuse(IDC_GRAPH_STEP_TIME, refusal->message, refusal->resetText);
            valid = false;
        } else {
            settings.stepTimeMs = static_cast<uint16_t>(time);
            parts_.live.vstepIntervalMs = static_cast<uint16_t>(time);
            LowerLoadChangeSpeed(time, withMessages);
        }
    } else if (type == kGraphRealTime) {
        int duration = ReadNumber(window.GetText(IDC_GRAPH_DURATION), kEditDigits);
        if (duration == 0) {
            refuse(IDC_GRAPH_DURATION, "Minimum value for Test Duration is 1 second", "1");
            valid = false;
        } else if (duration > 18000) {
            refuse(IDC_GRAPH_DURATION, "Maximum value for Test Duration is 18000 seconds", "18000");
            valid = false;
        } else {
            settings.testDurationS = static_cast<uint32_t>(duration);
            configChanged_ = true;
        }
    }
    return valid;
}

// The load must settle within a step: the change speed is lowered to the
// largest that leaves 10 ms of the step time.
void GraphWindow::LowerLoadChangeSpeed(int stepTimeMs, bool withMessages) {
    LiveState& live = parts_.live;
    if (live.loadChangeSpeedMs <= stepTimeMs - 10) return;
    if (withMessages) parts_.prompts.ShowMessage(kLoadChangeSpeedMessage, kErrorTitle, kErrorStyle);
    int speed = FittingLoadChangeSpeed(live.loadChangeSpeedMs, stepTimeMs);
    live.loadChangeSpeedMs = static_cast<uint16_t>(speed);
    parts_.window.SelectItem(IDC_GRAPH_LOAD_SPEED, LoadChangeIndexForTime(speed));
}

void GraphWindow::RunOrStop() {
    Controls& window = parts_.window;
    LiveState& live = parts_.live;
    if (running_) {
        running_ = false;
        live.testIdle = true;
        window.SetText(IDC_GRAPH_RUN, "Run Test");
        parts_.events.testStop.Set();
        return;
    }
    JoinRunner();
    chart_.reset();
    window.Repaint(IDC_GRAPH_AREA);
    if (!ValidateGraphSettings(pendingType_, true)) return;
    if (!runs_[static_cast<size_t>(pendingType_)]) {
        parts_.prompts.ShowMessage(Format("The %s graph cannot be run by this version.", GraphTypeText(pendingType_)),
                                   kErrorTitle, kErrorStyle);
        return;
    }
    running_ = true;
    live.testIdle = false;
    window.SetText(IDC_GRAPH_RUN, "Stop");
    window.Enable(IDC_GRAPH_CLOSE, false);
    window.Enable(IDC_GRAPH_SAVE, false);
    window.Enable(IDC_GRAPH_EXPORT_CSV, false);
    graphType_ = pendingType_;
    parts_.settings.graphType = static_cast<uint32_t>(graphType_);
    chart_ = std::make_unique<LineChart>();
    parts_.shell.LayOut();
    SetupChart();
    configChanged_ = false;
    runner_ = std::thread([this] { GraphRunner(); });
}

void GraphWindow::GraphRunner() {
    Controls& window = parts_.window;
    LiveState& live = parts_.live;
    live.profileChanged = false;
    GraphRun run{*chart_,         parts_.window, parts_.prompts, live,       parts_.events,
                 parts_.settings, parts_.clock,  parts_.tester,  runProfile_};
    GraphRunFunction& body = runs_[static_cast<size_t>(graphType_)];
    if (graphType_ == kGraphRealTime) {
        const int ids[] = {IDC_GRAPH_TYPE, IDC_GRAPH_TIME_DIVISION, IDC_GRAPH_DURATION, IDC_GRAPH_SIGNAL};
        for (int id : ids)
            window.Enable(id, false);
        chart_->SetHideCategoryLabels(true);
        body(run);
        for (int id : ids)
            window.Enable(id, true);
    } else {
        body(run);
    }
    window.Enable(IDC_GRAPH_CLOSE, true);
    window.Enable(IDC_GRAPH_SAVE, true);
    window.Enable(IDC_GRAPH_EXPORT_CSV, graphType_ == kGraphVoltageVsCurrent);
    live.testIdle = true;
    running_ = false;
    window.SetText(IDC_GRAPH_RUN, "Run Test");
    window.Repaint(IDC_GRAPH_AREA);
}

void GraphWindow::JoinRunner() {
    if (!runner_.joinable()) return;
    parts_.shell.WaitPumping([this] { runner_.join(); });
}

void GraphWindow::Close() {
    if (running_) {
        running_ = false;
        parts_.live.testIdle = true;
        parts_.window.SetText(IDC_GRAPH_RUN, "Run Test");
        parts_.events.testStop.Set();
    }
    JoinRunner();
    ValidateGraphSettings(pendingType_, true);
    chart_.reset();
}

void GraphWindow::SetupChart() {
    LiveState& live = parts_.live;
    GraphSettings& settings = parts_.settings;
    const int type = graphType_;
    if (type == kGraphVoltageVsCurrent && !live.sinkActive) return;
    runProfile_ = CopyRunProfile(live);
    runSignal_ = static_cast<int>(settings.signal.load());
    updates_.Clear();
    if (!chart_) return;
    LineChart& chart = *chart_;
    auto held = chart.Hold();
    chart.SetBackground(kNoFill, kNoFill, false);
    chart.SetSeriesCount(1);
    chart.SetGrid(true, 1);
    chart.SetSeriesColor(0, kBlack);

    // The sink voltage's range, as the voltage-versus-current test plots it.
    VoltageAxis axis = VoltageAxisFor(runProfile_);
    float yMin = axis.minimumV, yMax = axis.maximumV;
    int yDivisions = axis.divisions;
    if (type == kGraphRealTime) {
        chart.SetTitle("");
        switch (runSignal_) {
            case kSignalSourceVoltage:
                chart.SetYAxisTitle("Voltage");
                yMin = 0, yMax = 50, yDivisions = 10;
                break;
            case kSignalSinkVoltage:
                chart.SetYAxisTitle("Voltage");
                break;
            case kSignalSourceCurrent:
            case kSignalSinkCurrent:
                chart.SetYAxisTitle("Current (mA)");
                yMin = 0, yMax = 5000, yDivisions = 5;
                break;
            default:
                chart.SetYAxisTitle("Power (W)");
                yMin = 0, yMax = 100, yDivisions = 10;
                break;
        }
        chart.SetXDivisions(5);
        chart.SetSeriesCount(3);
        chart.SetSeriesColor(1, kGrey);
        chart.SetSeriesColor(2, kGrey);
        chart.SetHideCategoryLabels(true);
    } else if (type == kGraphVoltageVsCurrent) {
        chart.SetTitle("Voltage vs. Current");
        chart.SetYAxisTitle("Voltage");
        chart.SetXAxisTitle("Current (mA)", 0);
        chart.SetXDivisions(CurrentAxisDivisions(runProfile_.limitMa, settings.currentStepMa));
    } else {
        chart.SetTitle("FFT");
        chart.SetYAxisTitle("Amplitude (dB)");
        chart.SetXAxisTitle("Frequency (KHz)", 0);
        yMin = -120, yMax = 0, yDivisions = 6;
        chart.SetXDivisions(10);
    }
    chart.SetYRange(yMin, yMax);
    chart.SetYDivisions(yDivisions);
    settings.yMin = static_cast<int>(yMin);
    settings.yMax = static_cast<int>(yMax);

    if (type == kGraphVoltageVsCurrent) {
        uint16_t step = settings.currentStepMa;
        std::vector<float> noData(GraphRun::kBufferSize, NO_DATA);
        LoadSeries(chart, noData, StepCount(runProfile_.limitMa, step), 0, type, std::max<int>(step, 1));
    }
    parts_.window.SetText(IDC_GRAPH_STATUS, "");
}

void GraphWindow::Resize(int areaWidth, int areaHeight) {
    areaWidth_ = areaWidth;
    areaHeight_ = areaHeight;
    if (chart_) chart_->SetSize(areaWidth - 20, areaHeight - 30);
}

void GraphWindow::Paint(Canvas& canvas) {
    if (!chart_) return;
    LineChart& chart = *chart_;
    auto held = chart.Hold();
    chart.Draw(canvas, 5, 5);
    if (graphType_ == kGraphRealTime && runSignal_ == kSignalSinkVoltage) PaintAcceptableRange(canvas, chart);
    const GraphOverlayFunction& overlay = overlays_[static_cast<size_t>(graphType_)];
    if (overlay) overlay(canvas, chart, runProfile_);
}

// The sink voltage's acceptable range at the present load set point, shown
// as the band of the average curve, with its legend under the chart.
void GraphWindow::PaintAcceptableRange(Canvas& canvas, LineChart& chart) {
    const int height = chart.Height();
    Point swatch[4] = {{20, height}, {50, height}, {50, height + 20}, {20, height + 20}};
    canvas.FillPolygon(swatch, 4, {0, 255, 0, 0x40});
    canvas.DrawTextAt("Acceptable Range", 55, height + 5, {"Arial", 14});
    const LiveState& live = parts_.live;
    Measurement m = live.LatestMeasurement();
    std::optional<VoltageLimits> limits = ComputeVoltageLimits(CopyRunProfile(live), m.loadSetpointMa, m.sinkCurrentMa);
    if (!limits) return;
    float low = std::clamp(limits->minimumV, chart.YMin(), chart.YMax());
    float high = std::clamp(limits->maximumV, chart.YMin(), chart.YMax());
    chart.SetBand(0, low, high);
}

void GraphWindow::SaveGraph() {
    Prompts::SaveFileRequest request;
    request.filterName = "PNG file";
    request.filterPattern = "*.PNG";
    request.moreFilters = {{"JPG file", "*.JPG"}};
    request.defaultExtension = "png";
    std::optional<std::string> path = parts_.prompts.AskSaveFile(request);
    if (!path) return;
    std::string error;
    using Result = GraphWindowShell::ImageResult;
    switch (parts_.shell.SaveImage(*path, ImageFormatForPath(*path), &error)) {
        case Result::Saved:
            parts_.prompts.ShowMessage(Format("Graph was successfully saved to image file: %s", path->c_str()),
                                       "Ampwright", Prompts::kOk | Prompts::kIconInformation);
            break;
        case Result::NoDeviceContext:
            parts_.prompts.ShowMessage("Error creating graph (device context).", kErrorTitle, kErrorStyle);
            break;
        case Result::NoBitmap:
            parts_.prompts.ShowMessage("Error creating graph (allocating memory bitmap system resource).", kErrorTitle,
                                       kErrorStyle);
            break;
        case Result::NoEncoder:
            parts_.prompts.ShowMessage("Failed to load image encoder.", kErrorTitle, kErrorStyle);
            break;
        case Result::WriteFailed:
            parts_.prompts.ShowMessage(
                "Could not save to image file.\nCheck that the appropriate permissions are set for the "
                "file/directory.",
                kErrorTitle, kErrorStyle);
            break;
    }
}
