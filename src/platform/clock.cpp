#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace {
class SteadyClock : public Clock {
public:
    uint64_t NowMs() override {
        auto since = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    void SleepMs(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};
}  // namespace

Clock& SystemClock() {
    static SteadyClock clock;
    return clock;
}

uint64_t FastClock::NowMs() {
    return nowMs_.load();
}

void FastClock::SleepMs(uint32_t ms) {
    Advance(ms);
}

void FastClock::Advance(uint64_t ms) {
    nowMs_.fetch_add(ms);
}
