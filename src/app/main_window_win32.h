#pragma once

#include <windows.h>

// The main window: its class, creation and initialisation. Its procedure
// turns messages into calls on the portable rules.
bool RegisterMainWindowClass(HINSTANCE instance);
// Creates the modeless window from its template, shows it and initialises
// it (tester scan, poll thread). Null when the window could not be made.
HWND CreateMainWindow(HINSTANCE instance, int showCommand);
