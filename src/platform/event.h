#pragma once

#include <cstdint>
#include <initializer_list>

// A signalled/non-signalled flag that threads wait on, with the two reset
// kinds of Win32 events: a manual-reset event stays signalled until Reset; an
// automatic-reset event is cleared by the one wait it releases.
class Event {
public:
    enum class ResetKind { Manual, Automatic };

    explicit Event(ResetKind kind, bool initiallySignalled = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

    // Waits until the event is signalled or timeoutMs has passed; true when
    // signalled (and, for an automatic-reset event, consumed).
    bool Wait(uint32_t timeoutMs);

private:
    friend int WaitAny(std::initializer_list<Event*>, uint32_t);
    bool TryConsumeLocked();

    const bool manualReset_;
    bool signalled_;
};

constexpr uint32_t kWaitForever = 0xFFFFFFFFu;
constexpr int kWaitTimedOut = -1;

// Waits for the first of several events; returns its index in the list, or
// kWaitTimedOut. When several are signalled the lowest index wins, and only
// that one is consumed.
int WaitAny(std::initializer_list<Event*> events, uint32_t timeoutMs);
