#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "device/tester_connection.h"
#include "simulator.h"
#include "simulator_link.h"
#include "support/locked.h"
#include "support/test_helpers.h"

// A TesterConnection wired in-process to a simulator whose model runs on a
// fast clock: tests move model time with Advance.
struct SimBench {
    explicit SimBench(uint32_t seed = 7, const TesterIdentity& identity = TesterIdentity())
        : simulator(modelClock, seed, identity) {}

    bool Connect() {
        return connection.Connect("SIM", [this](int n) { Lock(lock, notifications)->push_back(n); });
    }
    void Advance(uint64_t ms) {
        modelClock.Advance(ms);
        simulator.Poke();
    }
    std::vector<int> Notifications() { return *Lock(lock, notifications); }
    void ClearNotifications() { Lock(lock, notifications)->clear(); }
    // Collects the trace records the connection delivers on its own thread.
    bool StartTrace() {
        return connection.StartTrace([this](const TraceRecord& r) { Lock(lock, traced)->push_back(r); });
    }
    std::vector<TraceRecord> Traced() { return *Lock(lock, traced); }
    // Waits (real time) until `n` has been notified.
    bool WaitForNotification(int n, uint32_t timeoutMs = 1000) {
        return WaitUntil(
            [&] {
                auto seen = Notifications();
                return std::find(seen.begin(), seen.end(), n) != seen.end();
            },
            timeoutMs);
    }
    // Connected, with the 65 W charger attached.
    void PlugPd65() {
        ASSERT_TRUE(Connect());
        ASSERT_TRUE(simulator.Plug("pd65"));
        ASSERT_TRUE(WaitForNotification(1));
        ClearNotifications();
    }

    // Declared first so that they outlive the connection that fills them.
    std::mutex lock;
    std::vector<int> notifications;
    std::vector<TraceRecord> traced;
    FastClock modelClock;
    FastClock connectionClock;  // SetConfig's pauses pass at once
    Simulator simulator;
    SimulatorLink link{simulator};
    TesterConnection connection{link.Factory(), connectionClock};
};
