#pragma once

#include <atomic>
#include <cstdint>

// Monotonic time and sleeping, behind an interface so tests can run code that
// sleeps for seconds in a few milliseconds.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

// The real clock: steady time since an arbitrary start.
Clock& SystemClock();

// A clock that never sleeps: SleepMs advances its time at once. Records the
// total time slept so tests can check pauses without waiting for them.
class FastClock : public Clock {
public:
    uint64_t NowMs() override;
    void SleepMs(uint32_t ms) override;
    void Advance(uint64_t ms);

private:
    std::atomic<uint64_t> nowMs_{0};
};
