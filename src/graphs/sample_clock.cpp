#include "graphs/sample_clock.h"

#include <chrono>

namespace {
class SteadyClock : public SampleClock {
public:
    double NowMs() override {
        auto now = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration<double, std::milli>(now).count();
    }
};
}  // namespace

SampleClock& SteadySampleClock() {
    static SteadyClock clock;
    return clock;
}
