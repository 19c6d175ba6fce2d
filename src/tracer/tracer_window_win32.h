#pragma once

#include <windows.h>

#include <optional>

#include "device/tester_connection.h"
#include "monitor/live_state.h"

// Opens the PD tracer as a modeless window owned by `owner`; when it is
// already open, brings it to the top instead.
void OpenTracerWindow(HINSTANCE instance, HWND owner, TesterConnection& tester, const LiveState& live);
// Has the open tracer trace again after the tester was connected anew:
// nothing when no tracer is open, else whether tracing started.
std::optional<bool> ResumeOpenTracer();
