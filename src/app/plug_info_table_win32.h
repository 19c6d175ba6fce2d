#pragma once

#include <windows.h>

#include "platform/owned_win32.h"

// This process's place in the plug-information table shared by all running
// instances: a named section guarded by a named mutex.
class PlugInfoTable {
public:
    PlugInfoTable() = default;
    ~PlugInfoTable() { Leave(); }
    PlugInfoTable(const PlugInfoTable&) = delete;
    PlugInfoTable& operator=(const PlugInfoTable&) = delete;
    // Opens the table another instance made, or makes it; tells the user
    // when that fails (the application runs on without it).
    void Join();
    // Frees this process's records and closes the handles; done once, when
    // called again or by the destructor.
    void Leave();

private:
    KernelHandle mutex_;
    KernelHandle section_;
    MappedView view_;
};
