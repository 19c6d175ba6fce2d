#include "support/peer_pump.h"

PeerPump::PeerPump(std::unique_ptr<PeerLink> link, ScriptedTester& tester) : link_(std::move(link)), tester_(tester) {
    tester_.SetSender([this](std::span<const uint8_t> bytes) { link_->Send(bytes); });
    thread_ = std::thread([this] {
        uint8_t buffer[512];
        while (running_) {
            size_t n = link_->Receive(buffer, sizeof buffer, 5);
            if (n > 0) tester_.OnBytes({buffer, n});
        }
    });
}

PeerPump::~PeerPump() {
    running_ = false;
    thread_.join();
    tester_.SetSender(nullptr);
}
