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
    PeerPump(std::unique_ptr<PeerLink> link, ScriptedTester& tester);
    ~PeerPump();

    PeerLink& Link() { return *link_; }

private:
    std::unique_ptr<PeerLink> link_;
    ScriptedTester& tester_;
    std::atomic<bool> running_{true};
    std::thread thread_;
};
