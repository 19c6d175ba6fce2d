#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "monitor/event_log.h"
#include "monitor/live_state.h"
#include "monitor/status_poll_loop.h"
#include "platform/clock.h"
#include "ui/prompts.h"

// What a running test shows in the graph window. The window implements it
// with its chart (under the chart's lock) and its status line. Every call
// comes from the test's thread, so none may wait for the window's thread.
class RunView {
public:
    virtual ~RunView() = default;
    // Replaces series 0 of the chart with `values`, one category each.
    virtual void ShowSeries(std::span<const float> values) = 0;
    // The status line under the chart.
    virtual void ShowStatus(const std::string& text) = 0;
    // Enables or disables what a run must not change: the graph type list,
    // the two parameter edits and the load change speed list.
    virtual void EnableSettings(bool enabled) = 0;
};

// What a test run works with. The caller clears TestIdle before the run and
// sets it again afterwards; Stop sets TestIdle and the stop event.
struct RunContext {
    LiveState& live;
    EventLog& log;
    PortEvents& events;  // testStop and sinkDetach
    RunView& view;
    Prompts& prompts;  // message boxes owned by the graph window
    Clock& clock;
    // Where the test confirms the load is off at its end; without one it
    // only asks the poll loop.
    TesterConnection* tester = nullptr;
};

enum class TestWait { Done, TimedOut, Stopped, Detached, Idle };

// Waits up to timeoutMs of the context's clock for `done` (checked every
// sliceMs), the stop event, a sink detach or TestIdle, whichever comes
// first. Consumes the event it reports.
TestWait WaitForTest(RunContext& context, uint32_t timeoutMs, uint32_t sliceMs,
                     const std::function<bool()>& done = nullptr);
