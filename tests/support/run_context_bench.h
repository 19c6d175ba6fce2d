#pragma once

#include <functional>
#include <string>
#include <vector>

#include "graphs/run_context.h"
#include "platform/clock.h"
#include "support/fake_window.h"

// A fast clock that calls back on every sleep, so a test can act at given
// moments of a run (or stand in for the poll loop between its sleeps).
class HookedClock : public FastClock {
public:
    void SleepMs(uint32_t ms) override {
        FastClock::SleepMs(ms);
        if (onSleep) onSleep(NowMs());
    }
    std::function<void(uint64_t nowMs)> onSleep;
};

// Keeps what a test run last showed (used on the run's thread only).
class FakeRunView : public RunView {
public:
    void ShowSeries(std::span<const float> values) override {
        series.assign(values.begin(), values.end());
        ++seriesShown;
    }
    void ShowStatus(const std::string& text) override { status = text; }
    void EnableSettings(bool) override {}

    std::vector<float> series;
    int seriesShown = 0;
    std::string status;
};

// Everything a test run works with, with fakes for the window and the clock.
struct TestRunParts {
    LiveState live;
    EventLog log;
    PortEvents events;
    FakeRunView view;
    FakeWindow window;
    HookedClock clock;
    RunContext context{live, log, events, view, window, clock};
};
