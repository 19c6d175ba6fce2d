#pragma once

#include <windows.h>

#include "ui/canvas.h"
#include "ui/dpi_scale.h"

// The display scale of the monitor the window is on.
DpiScale WindowScale(HWND window);

// The work area (the screen less the task bar) of the monitor that holds
// most of the window.
Rect WorkAreaOf(HWND window);

// A window asked to follow a new display scale (WM_DPICHANGED): it takes the
// rectangle the system suggests. Returns the new scale.
DpiScale FollowDpiChange(HWND window, WPARAM wParam, LPARAM lParam);
