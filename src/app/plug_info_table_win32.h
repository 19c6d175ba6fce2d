#pragma once

#include <windows.h>

// This process's place in the plug-information table shared by all running
// instances: a named section guarded by a named mutex.
class PlugInfoTable {
public:
    // Opens the table another instance made, or makes it; tells the user
    // when that fails (the application runs on without it).
    void Join();
    // Frees this process's records and closes the handles.
    void Leave();

private:
    HANDLE mutex_ = nullptr;
    HANDLE section_ = nullptr;
    void* view_ = nullptr;
};
