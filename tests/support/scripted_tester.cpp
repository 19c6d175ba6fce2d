#include "support/scripted_tester.h"

#include <algorithm>
#include <chrono>

void ScriptedTester::OnBytes(std::span<const uint8_t> bytes) {
    std::vector<Bytes> frames;
    Handler handler;
    Sender sender;
    {
        std::lock_guard<std::mutex> held(lock_);
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        for (;;) {
            pending_.erase(pending_.begin(), std::find(pending_.begin(), pending_.end(), kStx));
            if (pending_.size() < 2 || pending_.size() < pending_[1] + kFrameOverhead) break;
            Bytes frame(pending_.begin(), pending_.begin() + pending_[1] + kFrameOverhead);
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(frame.size()));
            requests_.push_back(frame);
            frames.push_back(frame);
        }
        handler = handler_;
        sender = sender_;
    }
    arrived_.notify_all();
    for (const Bytes& frame : frames) {
        if (!handler || frame.size() < 5) continue;
        Bytes answer = handler(frame[2], std::span<const uint8_t>(frame).subspan(3, frame[1] - 1));
        if (!answer.empty() && sender) sender(answer);
    }
}

bool ScriptedTester::WaitForRequests(size_t count, uint32_t timeoutMs) const {
    std::unique_lock<std::mutex> held(lock_);
    return arrived_.wait_for(held, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}
