#pragma once

#include <pthread.h>

#include <mutex>

// A std::mutex whose native mutex is destroyed with it. libstdc++ never
// destroys a std::mutex's pthread mutex, and MinGW's thread library gives a
// mutex the first time a thread waits on it a Win32 event that only
// destroying the mutex frees. Every object with a lock that comes and goes
// during a session (a chart per graph run, a queue per connection, a row
// store per tracer) would otherwise keep a handle for good.
class Mutex : public std::mutex {
public:
    Mutex() = default;
    ~Mutex() { pthread_mutex_destroy(native_handle()); }
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
};
