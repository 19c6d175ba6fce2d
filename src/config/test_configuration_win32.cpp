#include "config/config_dialogs_win32.h"
#include "config/test_configuration.h"
#include "ui/config_ids.h"

namespace {

// Accepting the danger confirmation holds for the rest of the run.
DangerAcceptance acceptance;

struct DangerDialog {
    using Rules = DangerConfirmation;
    using Session = ConfigDialogSession<Rules>;

    static void Open(Session& session, HWND dialog) {
        session.rules = std::make_unique<DangerConfirmation>(*session.controls, *session.prompts);
        for (int id : {IDC_WARNING_PICTURE_1, IDC_WARNING_PICTURE_2, IDC_WARNING_PICTURE_3})
            ShowWarningPicture(dialog, id);
    }

    static void Command(Session& session, HWND dialog, int id, int) {
        if (id == IDOK && session.rules->OnAccept()) {
            EndDialog(dialog, IDOK);
        } else if (id == IDCANCEL) {
            bool escapeKey = (GetKeyState(VK_ESCAPE) & 0x8000) != 0;
            bool editFocused = GetFocus() == GetDlgItem(dialog, IDC_DANGER_WORD);
            if (DangerConfirmation::CancelCloses(escapeKey, editFocused)) EndDialog(dialog, IDCANCEL);
        }
    }
};

struct ConfigurationDialog {
    using Rules = TestConfiguration;
    using Session = ConfigDialogSession<Rules>;

    static void Open(Session& session, HWND dialog) {
        const ConfigDialogOwner& owner = *session.owner;
        // The confirmation sits over this dialog, centred on the main window.
        auto confirm = [dialog, &owner] {
            return ShowConfigDialog<DangerDialog>(owner, dialog, L"WARNINGBOX") == IDOK;
        };
        session.rules = std::make_unique<TestConfiguration>(TestConfiguration::Parts{
            *session.controls, *session.prompts, owner.controls, owner.tester, owner.live, acceptance, confirm});
        ShowWarningPicture(dialog, IDC_WARNING_PICTURE_1);
        session.rules->Open();
    }

    static void Command(Session& session, HWND dialog, int id, int code) {
        if (id == IDOK) {
            if (session.rules->Ok()) EndDialog(dialog, IDOK);
        } else if (id == IDCANCEL) {
            session.rules->Cancel();
            EndDialog(dialog, IDCANCEL);
        } else if (code == BN_CLICKED) {
            session.rules->OnCommand(id);
        }
    }
};

}  // namespace

void ShowWarningPicture(HWND dialog, int id) {
    SendDlgItemMessageW(dialog, id, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_WARNING)), 0);
}

void ShowTestConfiguration(const ConfigDialogOwner& owner) {
    ShowConfigDialog<ConfigurationDialog>(owner, owner.window, L"CONFBOXREV2");
}
