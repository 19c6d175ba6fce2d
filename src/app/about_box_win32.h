#pragma once

#include <windows.h>

// Shows the About box over the main window until OK or Cancel.
void ShowAboutBox(HINSTANCE instance, HWND owner);
