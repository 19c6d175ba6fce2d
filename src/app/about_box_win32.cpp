#include "app/about_box_win32.h"

#include "app/about_box.h"
#include "ui/about_box_ids.h"
#include "ui/center_on_owner_win32.h"
#include "platform/wide_text_win32.h"

namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            CenterOnOwner(dialog, GetWindow(dialog, GW_OWNER));
            SetDlgItemTextW(dialog, IDC_ABOUT_NOTICE, Wide(AboutNoticeText()).c_str());
            SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, Wide(AboutVersionText()).c_str());
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

void ShowAboutBox(HINSTANCE instance, HWND owner) {
    DialogBoxParamW(instance, L"ABOUTBOX", owner, AboutProc, 0);
}
