#include "ui/center_on_owner_win32.h"

#include <algorithm>

#include "ui/center_on_owner.h"
#include "ui/dpi_win32.h"

void CenterOnOwner(HWND dialog, HWND owner) {
    RECT ownerRect;
    RECT dialogRect;
    if (!GetWindowRect(owner, &ownerRect) || !GetWindowRect(dialog, &dialogRect)) return;
    Point at =
        CenteredOnOwner({ownerRect.left, ownerRect.top, ownerRect.right, ownerRect.bottom},
                        dialogRect.right - dialogRect.left, dialogRect.bottom - dialogRect.top, WorkAreaOf(owner));
    SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShrinkToWorkArea(HWND window) {
    RECT frame;
    if (!GetWindowRect(window, &frame)) return;
    Rect area = WorkAreaOf(window);
    int width = std::min<int>(frame.right - frame.left, area.Width());
    int height = std::min<int>(frame.bottom - frame.top, area.Height());
    Point at = KeptInWorkArea({frame.left, frame.top}, width, height, area);
    SetWindowPos(window, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}
