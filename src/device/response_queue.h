#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

#include "platform/event.h"
#include "platform/mutex.h"

// One response from the tester: CMD at position 0, payload after it. Positions
// the frame did not carry read as 0, never as bytes of an earlier frame.
struct Response {
    static constexpr size_t kSize = 250;

    std::array<uint8_t, kSize> bytes = {};
    size_t length = 0;  // the frame's LEN, at most kSize

    uint8_t Cmd() const { return bytes[0]; }
    // True when the frame carried `count` payload bytes from `position` on.
    bool Carries(size_t position, size_t count) const { return position + count <= length; }
};

// Responses handed from the communication thread to the command waiting for
// them. A few are held so that the 30 frames of one spectrum answer, which
// arrive back to back, are not overwritten before the command takes them.
class ResponseQueue {
public:
    static constexpr size_t kCapacity = 32;

    // Called by the receiving side; when full, the oldest response is lost.
    void Push(std::span<const uint8_t> frame);
    // Waits up to timeoutMs for the next response; gives up at once when
    // `cancel` is (or becomes) signalled.
    bool Pop(Response& out, uint32_t timeoutMs, Event* cancel = nullptr);
    // Forgets everything received so far (late answers to earlier commands).
    void Clear();

private:
    Mutex lock_;
    std::array<Response, kCapacity> slots_;
    size_t head_ = 0;
    size_t count_ = 0;
    Event ready_{Event::ResetKind::Automatic};
};
