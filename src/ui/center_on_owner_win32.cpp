#include "ui/center_on_owner_win32.h"

#include "ui/center_on_owner.h"

void CenterOnOwner(HWND dialog, HWND owner) {
    RECT ownerRect;
    RECT dialogRect;
    if (!GetWindowRect(owner, &ownerRect) || !GetWindowRect(dialog, &dialogRect)) return;
    Point at = CenteredOnOwner({ownerRect.left, ownerRect.top, ownerRect.right, ownerRect.bottom},
                               dialogRect.right - dialogRect.left, dialogRect.bottom - dialogRect.top,
                               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
