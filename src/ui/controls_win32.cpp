#include "ui/controls_win32.h"

#include <commctrl.h>

#include <string>

#include "platform/wide_text_win32.h"

namespace {

bool OnWindowThread(HWND window) {
    return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

}  // namespace

void ControlsWin32::SetText(int id, const std::string& text) {
    SetDlgItemTextW(dialog_, id, Wide(text).c_str());
}

std::string ControlsWin32::GetText(int id) {
    HWND item = Item(id);
    if (!item) return {};
    int length = static_cast<int>(SendMessageW(item, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetDlgItemTextW(dialog_, id, text.data(), length + 1);
    return Narrow(std::wstring_view(text.data(), static_cast<size_t>(copied)));
}

void ControlsWin32::Enable(int id, bool enabled) {
    EnableWindow(Item(id), enabled);
}

void ControlsWin32::Show(int id, bool shown) {
    ShowWindowAsync(Item(id), shown ? SW_SHOW : SW_HIDE);
}

void ControlsWin32::SetCheck(int id, bool checked) {
    CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool ControlsWin32::IsChecked(int id) {
    return IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
}

void ControlsWin32::SetFocus(int id) {
    // The dialog's own way, so its default button follows the focus.
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
}

void ControlsWin32::SetTextLimit(int id, int characters) {
    SendDlgItemMessageW(dialog_, id, EM_LIMITTEXT, static_cast<WPARAM>(characters), 0);
}

bool ControlsWin32::IsListBox(int id) const {
    wchar_t name[32] = {};
    GetClassNameW(Item(id), name, 32);
    return lstrcmpiW(name, L"ListBox") == 0;
}

void ControlsWin32::ClearItems(int id) {
    SendDlgItemMessageW(dialog_, id, IsListBox(id) ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
}

void ControlsWin32::AddItem(int id, const std::string& text) {
    std::wstring wide = Wide(text);
    SendDlgItemMessageW(dialog_, id, IsListBox(id) ? LB_ADDSTRING : CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(wide.c_str()));
}

void ControlsWin32::SelectItem(int id, int index) {
    SendDlgItemMessageW(dialog_, id, IsListBox(id) ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int ControlsWin32::SelectedItem(int id) {
    LRESULT index = SendDlgItemMessageW(dialog_, id, IsListBox(id) ? LB_GETCURSEL : CB_GETCURSEL, 0, 0);
    return index < 0 ? -1 : static_cast<int>(index);
}

int ControlsWin32::ItemCount(int id) {
    LRESULT count = SendDlgItemMessageW(dialog_, id, IsListBox(id) ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
    return count < 0 ? 0 : static_cast<int>(count);
}

// Track bars are erased whole after a change: Wine's track bar otherwise
// leaves the old thumb drawn where it was.
void ControlsWin32::SetRange(int id, int minimum, int maximum) {
    SendDlgItemMessageW(dialog_, id, TBM_SETRANGEMIN, FALSE, minimum);
    SendDlgItemMessageW(dialog_, id, TBM_SETRANGEMAX, TRUE, maximum);
    InvalidateRect(GetDlgItem(dialog_, id), nullptr, TRUE);
}

void ControlsWin32::SetPosition(int id, int position) {
    SendDlgItemMessageW(dialog_, id, TBM_SETPOS, TRUE, position);
    InvalidateRect(GetDlgItem(dialog_, id), nullptr, TRUE);
}

int ControlsWin32::Position(int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog_, id, TBM_GETPOS, 0, 0));
}

void ControlsWin32::SetLineSize(int id, int size) {
    SendDlgItemMessageW(dialog_, id, TBM_SETLINESIZE, 0, size);
}

void ControlsWin32::SetScrollBar(int id, bool shown, int maximum, int page, int position) {
    HWND bar = Item(id);
    if (!bar) return;
    if (shown) {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        info.nMin = 0;
        info.nMax = maximum;
        info.nPage = static_cast<UINT>(page);
        info.nPos = position;
        SendMessageW(bar, SBM_SETSCROLLINFO, TRUE, reinterpret_cast<LPARAM>(&info));
    }
    ShowWindowAsync(bar, shown ? SW_SHOW : SW_HIDE);
}

void ControlsWin32::StartTimer(int timerId, uint32_t periodMs) {
    if (OnWindowThread(dialog_)) {
        SetTimer(dialog_, static_cast<UINT_PTR>(timerId), periodMs, nullptr);
    } else {
        PostMessageW(dialog_, kDeferredTimerMessage, static_cast<WPARAM>(timerId), static_cast<LPARAM>(periodMs));
    }
}

void ControlsWin32::StopTimer(int timerId) {
    if (OnWindowThread(dialog_)) {
        KillTimer(dialog_, static_cast<UINT_PTR>(timerId));
    } else {
        PostMessageW(dialog_, kDeferredTimerMessage, static_cast<WPARAM>(timerId), 0);
    }
}

void ControlsWin32::Repaint(int id) {
    InvalidateRect(id == 0 ? dialog_ : Item(id), nullptr, FALSE);
}

bool ControlsWin32::HandleDeferredTimer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kDeferredTimerMessage) return false;
    if (lParam > 0) {
        SetTimer(window, wParam, static_cast<UINT>(lParam), nullptr);
    } else {
        KillTimer(window, wParam);
    }
    return true;
}
