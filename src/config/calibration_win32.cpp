#include "config/calibration.h"
#include "config/config_dialogs_win32.h"
#include "ui/center_on_owner_win32.h"
#include "ui/config_ids.h"

namespace {

// Pauses the window thread between samples while still answering the
// messages other threads send it: the poll thread writes its readouts into
// the main window, and would otherwise stop measuring until the pause ends.
class AnsweringClock : public Clock {
public:
    uint64_t NowMs() override { return GetTickCount64(); }
    void SleepMs(uint32_t ms) override {
        uint64_t end = GetTickCount64() + ms;
        for (uint64_t now = GetTickCount64(); now < end; now = GetTickCount64()) {
            DWORD left = static_cast<DWORD>(end - now);
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, left, QS_SENDMESSAGE) == WAIT_OBJECT_0) {
                MSG message;
                PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            }
        }
    }
};

std::pair<int, int> Today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth};
}

AnsweringClock answeringClock;

using CalibrationSession = ConfigDialogSession<Calibration>;

INT_PTR CALLBACK CalibrationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    CalibrationSession* session = CalibrationSession::Of(dialog, message, lParam);
    switch (message) {
        case WM_INITDIALOG: {
            const ConfigDialogOwner& owner = *session->owner;
            // Its message boxes belong to the main window.
            session->rules = std::make_unique<Calibration>(
                Calibration::Parts{*session->controls, owner.prompts, owner.tester, owner.live, answeringClock, Today});
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
