#include "ui/modeless_windows_win32.h"

#include <algorithm>
#include <vector>

namespace {
std::vector<HWND>& ModelessWindows() {
    static std::vector<HWND> windows;
    return windows;
}
}  // namespace

void AddModelessWindow(HWND window) {
    std::vector<HWND>& windows = ModelessWindows();
    if (window && std::find(windows.begin(), windows.end(), window) == windows.end()) windows.push_back(window);
}

void RemoveModelessWindow(HWND window) {
    std::vector<HWND>& windows = ModelessWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
}

bool HandleModelessDialogMessage(MSG& message) {
    if (!message.hwnd) return false;
    // A copy: handling a key (Esc) may close a window and change the list.
    std::vector<HWND> windows = ModelessWindows();
    for (HWND window : windows) {
        if (!IsWindow(window)) continue;
        if (window != message.hwnd && !IsChild(window, message.hwnd)) continue;
        return IsDialogMessageW(window, &message) != FALSE;
    }
    return false;
}
