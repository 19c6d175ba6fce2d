#pragma once

#include <cstdint>

#include "graphs/graph_run.h"

struct RealTimeResult {
    uint64_t samples = 0;  // fills included
    uint64_t filled = 0;
    double elapsedMs = 0;
};

// Runs the real-time graph of the chosen signal until Stop (testStop or
// testIdle), a sink detach, or the duration is reached: samples LiveState at
// every 1 ms tick (100 ms in seconds mode), time-stamped by the run's clock.
RealTimeResult RealTimeLoop(GraphRun& run);

// The present value of a real-time signal.
float ReadSignal(const Measurement& m, int signal);
