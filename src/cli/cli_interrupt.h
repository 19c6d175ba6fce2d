#pragma once

// Ctrl-C (and, on POSIX, SIGTERM) only raise a flag: the command that
// watches for it notices, switches the load off and ends cleanly.
void CatchInterrupt();
bool Interrupted();
// Lowers the flag again (tests run several commands in one process).
void ClearInterrupt();
// Raises the flag as the handler does (tests).
void RaiseInterrupt();
