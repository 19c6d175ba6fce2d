#include "config/calibration.h"
#include "config/config_dialogs_win32.h"
#include "ui/center_on_owner_win32.h"
#include "ui/config_ids.h"

namespace {

std::pair<int, int> Today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth};
}

using CalibrationSession = ConfigDialogSession<Calibration>;

INT_PTR CALLBACK CalibrationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    CalibrationSession* session = CalibrationSession::Of(dialog, message, lParam);
    switch (message) {
        case WM_INITDIALOG: {
            const ConfigDialogOwner& owner = *session->owner;
            // Its message boxes belong to the main window.
            session->rules = std::make_unique<Calibration>(
                Calibration::Parts{*session->controls, owner.prompts, owner.tester, owner.live, SystemClock(), Today});
            CenterOnOwner(dialog, owner.window);
            session->rules->Open();
            return TRUE;
        }
        case WM_COMMAND: {
            if (!session || !session->rules) break;
            int id = LOWORD(wParam), code = HIWORD(wParam);
            if (id == IDOK || id == IDCANCEL) {
                EndDialog(dialog, id);
            } else if (id == IDC_CAL_PORT || id == IDC_CAL_QUANTITY) {
                if (code == CBN_SELENDOK) session->rules->OnCommand(id);
            } else if (code == BN_CLICKED) {
                session->rules->OnCommand(id);
            }
            return TRUE;
        }
        default:
            break;
    }
    return FALSE;
}

}  // namespace

void ShowCalibration(const ConfigDialogOwner& owner) {
    CalibrationSession session{&owner};
    DialogBoxParamW(owner.instance, L"CALIBBOX", owner.window, CalibrationProc, reinterpret_cast<LPARAM>(&session));
}
