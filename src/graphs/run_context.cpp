#include "graphs/run_context.h"

#include <algorithm>

TestWait WaitForTest(RunContext& context, uint32_t timeoutMs, uint32_t sliceMs, const std::function<bool()>& done) {
    // Waiting in slices of the context's clock lets tests run on a fast one;
    // a slice also bounds how late a Stop is noticed.
    uint64_t start = context.clock.NowMs();
    for (;;) {
        int event = WaitAny({&context.events.testStop, &context.events.sinkDetach}, 0);
        if (event == 0) return TestWait::Stopped;
        if (event == 1) return TestWait::Detached;
        if (done && done()) return TestWait::Done;
        if (context.live.testIdle) return TestWait::Idle;
        uint64_t elapsed = context.clock.NowMs() - start;
        if (elapsed >= timeoutMs) return TestWait::TimedOut;
        context.clock.SleepMs(static_cast<uint32_t>(std::min<uint64_t>(sliceMs, timeoutMs - elapsed)));
    }
}
