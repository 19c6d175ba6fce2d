#include "config/config_dialogs_win32.h"
#include "config/test_configuration.h"
#include "ui/center_on_owner_win32.h"
#include "ui/config_ids.h"

namespace {

// Accepting the danger confirmation holds for the rest of the run.
DangerAcceptance acceptance;

using DangerSession = ConfigDialogSession<DangerConfirmation>;
using ConfigurationSession = ConfigDialogSession<TestConfiguration>;

INT_PTR CALLBACK DangerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    DangerSession* session = DangerSession::Of(dialog, message, lParam);
    switch (message) {
        case WM_INITDIALOG:
            session->rules = std::make_unique<DangerConfirmation>(*session->controls, *session->prompts);
            CenterOnOwner(dialog, session->owner->window);
            for (int id : {IDC_WARNING_PICTURE_1, IDC_WARNING_PICTURE_2, IDC_WARNING_PICTURE_3})
                ShowWarningPicture(dialog, id);
            return TRUE;
        case WM_COMMAND:
            if (!session || !session->rules) break;
            if (LOWORD(wParam) == IDOK && session->rules->OnAccept()) {
                EndDialog(dialog, IDOK);
            } else if (LOWORD(wParam) == IDCANCEL) {
                bool escapeKey = (GetKeyState(VK_ESCAPE) & 0x8000) != 0;
                bool editFocused = GetFocus() == GetDlgItem(dialog, IDC_DANGER_WORD);
                if (DangerConfirmation::CancelCloses(escapeKey, editFocused)) EndDialog(dialog, IDCANCEL);
            }
            return TRUE;
        default:
            break;
    }
    return FALSE;
}

INT_PTR CALLBACK ConfigurationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ConfigurationSession* session = ConfigurationSession::Of(dialog, message, lParam);
    switch (message) {
        case WM_INITDIALOG: {
            const ConfigDialogOwner& owner = *session->owner;
            // The confirmation sits over this dialog, centred on the main window.
            auto confirm = [dialog, &owner] {
                DangerSession danger{&owner};
                return DialogBoxParamW(owner.instance, L"WARNINGBOX", dialog, DangerProc,
                                       reinterpret_cast<LPARAM>(&danger)) == IDOK;
            };
            session->rules = std::make_unique<TestConfiguration>(TestConfiguration::Parts{
                *session->controls, *session->prompts, owner.controls, owner.tester, owner.live, acceptance, confirm});
            CenterOnOwner(dialog, owner.window);
            ShowWarningPicture(dialog, IDC_WARNING_PICTURE_1);
            session->rules->Open();
            return TRUE;
        }
        case WM_COMMAND:
            if (!session || !session->rules) break;
            if (LOWORD(wParam) == IDOK) {
                if (session->rules->Ok()) EndDialog(dialog, IDOK);
            } else if (LOWORD(wParam) == IDCANCEL) {
                session->rules->Cancel();
                EndDialog(dialog, IDCANCEL);
            } else if (HIWORD(wParam) == BN_CLICKED) {
                session->rules->OnCommand(LOWORD(wParam));
            }
            return TRUE;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

void ShowWarningPicture(HWND dialog, int id) {
    SendDlgItemMessageW(dialog, id, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_WARNING)), 0);
}

void ShowTestConfiguration(const ConfigDialogOwner& owner) {
    ConfigurationSession session{&owner};
    DialogBoxParamW(owner.instance, L"CONFBOXREV2", owner.window, ConfigurationProc,
                    reinterpret_cast<LPARAM>(&session));
}
