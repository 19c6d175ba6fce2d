#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "device/frame.h"
#include "support/locked.h"

// The far end of a serial line in tests: assembles the frames the program
// sends and answers each with whatever the test's handler returns (zero or
// more frames). Records every request so tests can check the bytes.
class ScriptedTester {
public:
    using Bytes = std::vector<uint8_t>;
    // Gets a request's CMD and payload; returns the bytes to send back.
    using Handler = std::function<Bytes(uint8_t cmd, std::span<const uint8_t> payload)>;
    using Sender = std::function<void(std::span<const uint8_t> bytes)>;

    explicit ScriptedTester(Handler handler = nullptr) : handler_(std::move(handler)) {}

    void SetHandler(Handler handler) { *Lock(lock_, handler_) = std::move(handler); }
    void SetSender(Sender sender) { *Lock(lock_, sender_) = std::move(sender); }

    // Feeds bytes received from the program (any split).
    void OnBytes(std::span<const uint8_t> bytes);

    // Complete request frames received so far, STX to ETX.
    std::vector<Bytes> Requests() const { return *Lock(lock_, requests_); }
    void ClearRequests() { Lock(lock_, requests_)->clear(); }
    // Waits until `count` requests have arrived.
    bool WaitForRequests(size_t count, uint32_t timeoutMs) const;

    // Sends bytes to the program unasked.
    void Send(std::span<const uint8_t> bytes) {
        if (Sender sender = *Lock(lock_, sender_)) sender(bytes);
    }

    // A response frame for CMD with payload.
    static Bytes Frame(uint8_t cmd, std::span<const uint8_t> payload = {}) { return BuildFrame(cmd, payload); }
    static Bytes Frame(uint8_t cmd, std::initializer_list<uint8_t> payload) {
        return Frame(cmd, std::span<const uint8_t>(payload.begin(), payload.size()));
    }

private:
    mutable std::mutex lock_;
    mutable std::condition_variable arrived_;
    Handler handler_;
    Sender sender_;
    Bytes pending_;
    std::vector<Bytes> requests_;
};
