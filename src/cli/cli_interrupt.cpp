#include <atomic>

#include "cli/cli_interrupt.h"

namespace {
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");
}  // namespace

bool Interrupted() {
    return interrupted.load();
}
void ClearInterrupt() {
    interrupted.store(false);
}
void RaiseInterrupt() {
    interrupted.store(true);
}
