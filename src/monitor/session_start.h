#pragma once

#include <functional>

#include "device/tester_connection.h"
#include "monitor/live_state.h"

// What both programs do with a tester they have just connected to. First
// its registers become the sink settings (and the load's change speed) in
// `live`; then `whileTracing` runs, if given (the window reads the source
// types there); then a trace an earlier program left running is stopped.
// False, with nothing done after the read, when the tester does not answer.
bool StartTesterSession(TesterConnection& tester, LiveState& live, const std::function<void()>& whileTracing = {});

// Then, once the program is ready for it: the tester counts as connected, a
// new connection whose ports the poll loop reads afresh.
void MarkConnected(LiveState& live);
