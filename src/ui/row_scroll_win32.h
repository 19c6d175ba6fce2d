#pragma once

#include <windows.h>

#include "ui/row_scroll.h"

// What a scroll bar control's WM_VSCROLL asks for; for the thumb, its 32-bit
// position goes to `thumb` (the message carries only 16 bits).
RowScroll::Request ScrollRequestOf(HWND bar, WPARAM wParam, int& thumb);
