#include "ui/row_scroll.h"

#include <algorithm>

void RowScroll::UpdateRange(int rowCount, int visibleRows) {
    int newMaxTop = rowCount - visibleRows;
    if (newMaxTop != maxTop && top == maxTop) top = newMaxTop;
    maxTop = newMaxTop;
    if (maxTop <= 0) {
        maxTop = 0;
        top = 0;
    }
    top = std::clamp(top, 0, maxTop);
}

void RowScroll::Apply(Request request, int thumbPosition) {
    switch (request) {
        case Request::LineUp:
            if (top > 0) --top;
            break;
        case Request::LineDown:
            if (top < maxTop) ++top;
            break;
        case Request::PageUp:
            top = top < kPageRows + 1 ? 0 : top - kPageRows;
            break;
        case Request::PageDown:
            top = top >= maxTop - kPageRows ? maxTop : top + kPageRows;
            break;
        case Request::Thumb:
            top = std::clamp(thumbPosition, 0, maxTop);
            break;
        case Request::Top:
            top = 0;
            break;
        case Request::Bottom:
            top = maxTop;
            break;
        case Request::Other:
            break;
    }
}

void RowScroll::Wheel(int delta) {
    int notches = delta / 120;
    if (notches > 0 && top > 0) --top;
    if (notches < 0 && top < maxTop) ++top;
}
