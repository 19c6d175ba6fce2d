#include "config/calibration.h"
#include "config/config_dialogs_win32.h"
#include "ui/config_ids.h"

namespace {

std::pair<int, int> Today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth};
}

struct CalibrationDialog {
    using Rules = Calibration;
    using Session = ConfigDialogSession<Rules>;

    static void Open(Session& session, HWND) {
        const ConfigDialogOwner& owner = *session.owner;
        // Its message boxes belong to the main window.
        session.rules = std::make_unique<Calibration>(
            Calibration::Parts{*session.controls, owner.prompts, owner.tester, owner.live, SystemClock(), Today});
        session.rules->Open();
    }

    static void Command(Session& session, HWND dialog, int id, int code) {
        if (id == IDOK || id == IDCANCEL) {
            EndDialog(dialog, id);
        } else if (id == IDC_CAL_PORT || id == IDC_CAL_QUANTITY) {
            if (code == CBN_SELENDOK) session.rules->OnCommand(id);
        } else if (code == BN_CLICKED) {
            session.rules->OnCommand(id);
        }
    }
};

}  // namespace

void ShowCalibration(const ConfigDialogOwner& owner) {
    ShowConfigDialog<CalibrationDialog>(owner, owner.window, L"CALIBBOX");
}
