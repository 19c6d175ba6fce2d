#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "support/peer_link.h"
#include "support/scripted_tester.h"

// Runs a ScriptedTester on the far end of a real serial line: a thread moves
// what arrives on the link into the tester, and the tester answers on it.
class PeerPump {
public:
    PeerPump(std::unique_ptr<PeerLink> link, ScriptedTester& tester) : link_(std::move(link)), tester_(tester) {
        tester_.SetSender([this](std::span<const uint8_t> bytes) { link_->Send(bytes); });
        thread_ = std::thread([this] {
            uint8_t buffer[512];
            while (running_) {
                size_t n = link_->Receive(buffer, sizeof buffer, 5);
                if (n > 0) tester_.OnBytes({buffer, n});
            }
        });
    }
    ~PeerPump() {
        running_ = false;
        thread_.join();
        tester_.SetSender(nullptr);
    }

private:
    std::unique_ptr<PeerLink> link_;
    ScriptedTester& tester_;
    std::atomic<bool> running_{true};
    std::thread thread_;
};
