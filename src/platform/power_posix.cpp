#include "platform/power.h"

void KeepSystemAwake() {}
