#include "ui/wait_pumping_win32.h"

#include <windows.h>

#include <thread>

void WaitPumpingSentMessages(const std::function<void()>& wait) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread waiter([&wait, done] {
        wait();
        SetEvent(done);
    });
    while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    waiter.join();
    CloseHandle(done);
}
