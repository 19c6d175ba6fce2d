#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "graphs/no_data.h"
#include "graphs/run_profile.h"
#include "graphs/run_context.h"
#include "platform/mutex.h"

// The graph window's settings for a voltage-versus-current run.
struct VoltageCurrentParams {
    uint16_t stepMa = 25;              // current added per step, 5..500
    uint16_t stepTimeMs = 500;         // time each step is held before its sample, 30..60000
    uint16_t loadChangeSpeedMs = 200;  // ramp time to each new step, at least 10 ms below the step time
};

// Steps 0, s, 2s, ... up to the limit L: L / s + 1 of them.
int StepCount(uint16_t limitMa, uint16_t stepMa);
// The chart's category label divisions: L / s, halved while above 60.
int CurrentAxisDivisions(uint16_t limitMa, uint16_t stepMa);

// The drawn region edges at each step's current: the required range, and
// whether the step lies in the permissible shut-down region.
struct StepLimits {
    std::vector<float> minimumV;
    std::vector<float> maximumV;
    std::vector<bool> shutDownAllowed;
};
StepLimits ComputeStepLimits(const RunProfile& profile, uint16_t stepMa);

// What a run measured, kept until the next run for painting and export.
struct VoltageCurrentResult {
    RunProfile profile;
    uint16_t stepMa = 0;
    std::vector<float> raw;      // the sink voltage measured at each step, NO_DATA where none was
    std::vector<float> display;  // series 0 as plotted: never below the chart's range
    StepLimits limits;
    bool complete = false;  // every step up to the limit was measured
    // Why the run ended before its last step when a step got no measurement
    // of its own ("the tester stopped answering at 1500 mA"); empty otherwise.
    std::string endReason;
    // The set point the load may still be at when switching it off at the
    // end could not be confirmed.
    std::optional<uint16_t> loadLeftOnMa;
};

// The voltage-versus-current test: loads the device under test on the sink
// port in equal steps up to the load current limit through LiveState's load
// request (the poll loop carries it out), samples the sink voltage from a
// measurement taken one step time after each request that shows the tester
// at the step's set point, plots it and logs a verdict per step. A step
// without such a measurement ends the run as incomplete.
class VoltageCurrentTest {
public:
    // Prelude, test and epilogue on the calling thread (the graph runner's).
    // The load is switched off at the end whatever happened, and with the
    // context's tester that is confirmed from the set point it reports.
    void Run(const VoltageCurrentParams& params, const RunProfile& profile, RunContext& context);

    // A consistent copy of the buffers and limits, safe while a run writes.
    VoltageCurrentResult Result() const;

private:
    friend class VoltageCurrentRun;
    mutable Mutex lock_;  // guards result_
    VoltageCurrentResult result_;
};
