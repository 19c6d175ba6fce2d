#pragma once

#include <mutex>

// A reference to a value guarded by a mutex, the mutex held for as long as
// the handle lives: `*Lock(lock_, value_) = v;`, `return *Lock(lock_, value_);`.
template <typename T>
struct Locked {
    std::unique_lock<std::mutex> held;
    T& value;
    T* operator->() { return &value; }
    T& operator*() { return value; }
};

template <typename T>
Locked<T> Lock(std::mutex& mutex, T& value) {
    return {std::unique_lock<std::mutex>(mutex), value};
}
