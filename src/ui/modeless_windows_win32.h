#pragma once

#include <windows.h>

// The program's modeless dialog windows. A modal dialog's own loop gives it
// keyboard navigation (Tab, Shift+Tab, Enter, Esc, arrow keys); a modeless one
// gets it only when the application's message loop asks for it, which it
// does for every window listed here. Used on the window thread only.
void AddModelessWindow(HWND window);
void RemoveModelessWindow(HWND window);
// True when `message` was a dialog key of a listed window and was handled:
// the loop must then neither translate nor dispatch it.
bool HandleModelessDialogMessage(MSG& message);
