#include "ui/wait_pumping_win32.h"

#include <windows.h>

#include <thread>

#include "platform/owned_win32.h"

void WaitPumpingSentMessages(const std::function<void()>& wait) {
    KernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE doneEvent = done.Get();
    std::thread waiter([&wait, doneEvent] {
        wait();
        SetEvent(doneEvent);
    });
    while (MsgWaitForMultipleObjects(1, &doneEvent, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    waiter.join();
}
