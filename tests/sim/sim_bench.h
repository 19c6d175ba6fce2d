#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "device/tester_connection.h"
#include "simulator.h"
#include "simulator_link.h"

// A TesterConnection wired in-process to a simulator whose model runs on a
// fast clock: tests move model time with Advance.
struct SimBench {
    explicit SimBench(uint32_t seed = 7, const TesterIdentity& identity = TesterIdentity())
        : simulator(modelClock, seed, identity) {}

    bool Connect() {
        return connection.Connect("SIM", [this](int n) {
            std::lock_guard<std::mutex> held(lock);
            notifications.push_back(n);
        });
    }

    void Advance(uint64_t ms) {
        modelClock.Advance(ms);
        simulator.Poke();
    }

    std::vector<int> Notifications() {
        std::lock_guard<std::mutex> held(lock);
        return notifications;
    }
    void ClearNotifications() {
        std::lock_guard<std::mutex> held(lock);
        notifications.clear();
    }
    // Collects the trace records the connection delivers on its own thread.
    bool StartTrace() {
        return connection.StartTrace([this](const TraceRecord& r) {
            std::lock_guard<std::mutex> held(lock);
            traced.push_back(r);
        });
    }
    std::vector<TraceRecord> Traced() {
        std::lock_guard<std::mutex> held(lock);
        return traced;
    }
    // Waits (real time) until `n` has been notified.
    bool WaitForNotification(int n, uint32_t timeoutMs = 1000) {
        return WaitUntil(
            [&] {
                auto seen = Notifications();
                return std::find(seen.begin(), seen.end(), n) != seen.end();
            },
            timeoutMs);
    }
    static bool WaitUntil(const std::function<bool()>& done, uint32_t timeoutMs = 1000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
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
