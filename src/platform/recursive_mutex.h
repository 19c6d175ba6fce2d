#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/mutex.h"

// A lock its holder may take again, made of a plain mutex and a condition.
// libstdc++ never destroys a std::recursive_mutex's native mutex, and on
// MinGW's thread library one that was ever waited on keeps a Win32 event
// for good: a window that makes a new chart per run would gain a handle a
// run. This one's parts are destroyed with it (see Mutex).
class RecursiveMutex {
public:
    void lock() {
        std::unique_lock<std::mutex> held(lock_);
        std::thread::id self = std::this_thread::get_id();
        if (owner_ != self) {
            free_.wait(held, [this] { return depth_ == 0; });
            owner_ = self;
        }
        ++depth_;
    }

    bool try_lock() {
        std::lock_guard<std::mutex> held(lock_);
        std::thread::id self = std::this_thread::get_id();
        if (depth_ > 0 && owner_ != self) return false;
        owner_ = self;
        ++depth_;
        return true;
    }

    void unlock() {
        {
            std::lock_guard<std::mutex> held(lock_);
            if (--depth_ > 0) return;
            owner_ = std::thread::id();
        }
        free_.notify_one();
    }

private:
    Mutex lock_;
    std::condition_variable free_;
    std::thread::id owner_;
    int depth_ = 0;
};
