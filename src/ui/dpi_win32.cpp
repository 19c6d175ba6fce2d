#include "ui/dpi_win32.h"

DpiScale WindowScale(HWND window) {
    UINT dpi = GetDpiForWindow(window);
    return {dpi != 0 ? static_cast<int>(dpi) : DpiScale::kLayoutDpi};
}

Rect WorkAreaOf(HWND window) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info))
        return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
}

DpiScale FollowDpiChange(HWND window, WPARAM wParam, LPARAM lParam) {
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    if (suggested != nullptr) {
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    int dpi = LOWORD(wParam);
    return {dpi != 0 ? dpi : DpiScale::kLayoutDpi};
}
