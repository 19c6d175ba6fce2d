#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/recursive_mutex.h"

// Its holder takes it again; another thread gets it after the last unlock.
TEST(RecursiveMutex, HolderTakesItAgainOthersWait) {
    RecursiveMutex mutex;
    mutex.lock();
    ASSERT_TRUE(mutex.try_lock());
    std::atomic<int> stage{0};
    std::thread other([&] {
        EXPECT_FALSE(mutex.try_lock()) << "held by another thread";
        stage = 1;
        mutex.lock();
        stage = 2;
        mutex.unlock();
    });
    while (stage < 1)
        std::this_thread::yield();
    mutex.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(stage, 1) << "held once more: the other thread still waits";
    mutex.unlock();
    other.join();
    EXPECT_EQ(stage, 2);
}
