#include "ui/row_scroll_win32.h"

RowScroll::Request ScrollRequestOf(HWND bar, WPARAM wParam, int& thumb) {
    using Request = RowScroll::Request;
    switch (LOWORD(wParam)) {
        case SB_LINEUP:
            return Request::LineUp;
        case SB_LINEDOWN:
            return Request::LineDown;
        case SB_PAGEUP:
            return Request::PageUp;
        case SB_PAGEDOWN:
            return Request::PageDown;
        case SB_TOP:
            return Request::Top;
        case SB_BOTTOM:
            return Request::Bottom;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO info = {};
            info.cbSize = sizeof(info);
            info.fMask = SIF_TRACKPOS;
            GetScrollInfo(bar, SB_CTL, &info);
            thumb = info.nTrackPos;
            return Request::Thumb;
        }
        default:
            return Request::Other;
    }
}
