#pragma once

#include <windows.h>

// Moves a dialog so that it is centred on its owner window, kept in the work
// area of the owner's monitor; size and z-order stay.
void CenterOnOwner(HWND dialog, HWND owner);

// A resizable window larger than the work area of its monitor (at a large
// display scale) is made to fit it, then kept inside it.
void ShrinkToWorkArea(HWND window);
