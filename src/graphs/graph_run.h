#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "graphs/graph_settings.h"
#include "graphs/line_chart.h"
#include "graphs/sample_clock.h"
#include "monitor/live_state.h"
#include "monitor/status_poll_loop.h"
#include "monitor/voltage_limits.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/prompts.h"

class EventLog;
class TesterConnection;

// Everything one graph run works with. The run function of a graph type gets
// it on the runner thread; the chart is locked by its own operations (hold
// chart.Hold() around updates that belong together), the controls may be
// used from that thread, and `live.testIdle` or `events.testStop` end a run.
struct GraphRun {
    static constexpr size_t kBufferSize = 60005;

    LineChart& chart;
    Controls& window;
    Prompts& prompts;
    LiveState& live;
    PortEvents& events;
    GraphSettings& settings;
    SampleClock& clock;
    TesterConnection* tester;
    const RunProfile& profile;  // copied by the chart set-up: the run and its overlays use this copy throughout
};

// A graph type's run, called on the runner thread; it returns when the run
// ends.
using GraphRunFunction = std::function<void(GraphRun& run)>;
// A graph type's drawing over the chart, called on the window thread after
// the chart is drawn at (5, 5), with the chart's lock held.
using GraphOverlayFunction = std::function<void(Canvas& canvas, LineChart& chart, const RunProfile& profile)>;
