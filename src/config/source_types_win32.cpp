#include "config/config_dialogs_win32.h"
#include "config/source_types.h"
#include "ui/center_on_owner_win32.h"
#include "ui/config_ids.h"

namespace {

constexpr int kNameCharacters = 15;

using SourceTypesSession = ConfigDialogSession<SourceTypes>;

INT_PTR CALLBACK SourceTypesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    SourceTypesSession* session = SourceTypesSession::Of(dialog, message, lParam);
    switch (message) {
        case WM_INITDIALOG: {
            const ConfigDialogOwner& owner = *session->owner;
            session->rules = std::make_unique<SourceTypes>(
                SourceTypes::Parts{*session->controls, *session->prompts, owner.controls, owner.prompts, owner.tester});
            CenterOnOwner(dialog, owner.window);
            SendDlgItemMessageW(dialog, IDC_SRC_NAME, EM_LIMITTEXT, kNameCharacters, 0);
            session->rules->Open();
            return TRUE;
        }
        case WM_COMMAND:
            if (!session || !session->rules) break;
            if (LOWORD(wParam) == IDOK) {
                session->rules->Apply();
            } else if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
            } else {
                session->rules->OnCommand(LOWORD(wParam), HIWORD(wParam));
            }
            return TRUE;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

void ShowSourceTypes(const ConfigDialogOwner& owner) {
    SourceTypesSession session{&owner};
    DialogBoxParamW(owner.instance, L"SRC_CONFIG", owner.window, SourceTypesProc, reinterpret_cast<LPARAM>(&session));
}
