#include "platform/event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

// All events share one lock and one condition: that makes waiting on several
// events at once simple and free of lock-ordering problems. The program has a
// handful of threads and events, so a broadcast per Set costs nothing.
namespace {
std::mutex& EventLock() {
    static std::mutex lock;
    return lock;
}
std::condition_variable& EventCondition() {
    static std::condition_variable condition;
    return condition;
}

template <typename Ready>
bool WaitUntilReady(std::unique_lock<std::mutex>& held, uint32_t timeoutMs, Ready ready) {
    if (timeoutMs == kWaitForever) {
        EventCondition().wait(held, ready);
        return true;
    }
    return EventCondition().wait_for(held, std::chrono::milliseconds(timeoutMs), ready);
}
}  // namespace

Event::Event(Event::ResetKind kind, bool initiallySignalled)
    : manualReset_(kind == ResetKind::Manual), signalled_(initiallySignalled) {}

void Event::Set() {
    {
        std::lock_guard<std::mutex> held(EventLock());
        signalled_ = true;
    }
    EventCondition().notify_all();
}

void Event::Reset() {
    std::lock_guard<std::mutex> held(EventLock());
    signalled_ = false;
}

bool Event::IsSet() const {
    std::lock_guard<std::mutex> held(EventLock());
    return signalled_;
}

bool Event::TryConsumeLocked() {
    if (!signalled_) return false;
    if (!manualReset_) signalled_ = false;
    return true;
}

bool Event::Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> held(EventLock());
    return WaitUntilReady(held, timeoutMs, [this] { return TryConsumeLocked(); });
}

int WaitAny(std::initializer_list<Event*> events, uint32_t timeoutMs) {
    std::unique_lock<std::mutex> held(EventLock());
    int found = kWaitTimedOut;
    WaitUntilReady(held, timeoutMs, [&] {
        int index = 0;
        for (Event* event : events) {
            if (event->TryConsumeLocked()) {
                found = index;
                return true;
            }
            ++index;
        }
        return false;
    });
    return found;
}
