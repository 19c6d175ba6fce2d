#include "device/response_queue.h"

#include <algorithm>
#include <chrono>

void ResponseQueue::Push(std::span<const uint8_t> frame) {
    {
        std::lock_guard<std::mutex> held(lock_);
        if (count_ == kCapacity) {
            head_ = (head_ + 1) % kCapacity;
            --count_;
        }
        Response& slot = slots_[(head_ + count_) % kCapacity];
        slot.length = std::min(frame.size(), Response::kSize);
        std::copy_n(frame.begin(), slot.length, slot.bytes.begin());
        std::fill(slot.bytes.begin() + static_cast<std::ptrdiff_t>(slot.length), slot.bytes.end(), 0);
        ++count_;
    }
    ready_.Set();
}

bool ResponseQueue::Pop(Response& out, uint32_t timeoutMs, Event* cancel) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> held(lock_);
            if (count_ > 0) {
                out = slots_[head_];
                head_ = (head_ + 1) % kCapacity;
                --count_;
                return true;
            }
        }
        if (cancel != nullptr && cancel->IsSet()) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        auto leftMs = static_cast<uint32_t>(left.count());
        bool ready = cancel != nullptr ? WaitAny({&ready_, cancel}, leftMs) == 0 : ready_.Wait(leftMs);
        if (!ready) return false;
    }
}

void ResponseQueue::Clear() {
    std::lock_guard<std::mutex> held(lock_);
    head_ = 0;
    count_ = 0;
    ready_.Reset();
}
