#pragma once

// A high-resolution time base for sampling, in milliseconds since an
// arbitrary start, with fractions.
class SampleClock {
public:
    virtual ~SampleClock() = default;
    virtual double NowMs() = 0;
};

// The steady clock of the platform (the performance counter on Windows).
SampleClock& SteadySampleClock();
