#include <signal.h>

#include "cli/cli_interrupt.h"

namespace {
void OnSignal(int) {
    RaiseInterrupt();
}
}  // namespace

void CatchInterrupt() {
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
