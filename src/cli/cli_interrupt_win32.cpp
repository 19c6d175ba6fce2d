#include <windows.h>

#include "cli/cli_interrupt.h"

namespace {
BOOL WINAPI OnConsoleControl(DWORD) {
    RaiseInterrupt();
    return TRUE;
}
}  // namespace

void CatchInterrupt() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}
