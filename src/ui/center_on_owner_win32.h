#pragma once

#include <windows.h>

// Moves a dialog so that it is centred on its owner window, kept on the
// primary screen; size and z-order stay.
void CenterOnOwner(HWND dialog, HWND owner);
