#include <windows.h>

#include "platform/power.h"

void KeepSystemAwake() {
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
}
