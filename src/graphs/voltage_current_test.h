#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "graphs/no_data.h"
#include "graphs/test_profile.h"
#include "graphs/test_run.h"

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

// The acceptable voltage at each step's current.
struct StepLimits {
    std::vector<float> minimumV;
    std::vector<float> maximumV;
};
StepLimits ComputeStepLimits(const TestProfile& profile, uint16_t stepMa);

// What a run measured, kept until the next run for painting and export.
struct VoltageCurrentResult {
    TestProfile profile;
    uint16_t stepMa = 0;
    std::vector<float> raw;      // the sink voltage measured at each step, NO_DATA where none was
    std::vector<float> display;  // series 0 as plotted: never below the chart's range
    StepLimits limits;
    bool complete = false;  // every step up to the limit was measured
};

// The voltage-versus-current test: loads the device under test on the sink
// port in equal steps up to the load current limit through LiveState's load
// request (the poll loop carries it out), samples the sink voltage one step
// time after each request, plots it and logs a verdict per step.
class VoltageCurrentTest {
public:
    // Prelude, test and epilogue on the calling thread (the graph runner's).
    // The load is switched off at the end whatever happened.
    void Run(const VoltageCurrentParams& params, const TestProfile& profile, TestContext& context);

    // A consistent copy of the buffers and limits, safe while a run writes.
    VoltageCurrentResult Result() const;

private:
    friend class VoltageCurrentRun;
    mutable std::mutex lock_;  // guards result_
    VoltageCurrentResult result_;
};
