#pragma once

#include <atomic>
#include <functional>
#include <utility>

// Wakes a window's thread after changes made on other threads, at most once
// until that thread has taken the wake-up: a burst of changes costs one
// posted message, and none is lost.
class CoalescedWake {
public:
    explicit CoalescedWake(std::function<void()> post) : post_(std::move(post)) {}

    // Any thread: posts unless a wake-up is already waiting to be taken.
    void Wake() {
        if (!pending_.exchange(true, std::memory_order_acq_rel)) post_();
    }
    // The woken thread, before it reads what changed: a change after this
    // posts again.
    void Taken() { pending_.store(false, std::memory_order_release); }

private:
    std::function<void()> post_;
    std::atomic<bool> pending_{false};
};
