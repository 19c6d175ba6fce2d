#include "config/config_dialogs_win32.h"
#include "config/source_types.h"
#include "ui/config_ids.h"

namespace {

constexpr int kNameCharacters = 15;

struct SourceTypesDialog {
    using Rules = SourceTypes;
    using Session = ConfigDialogSession<Rules>;

    static void Open(Session& session, HWND dialog) {
        const ConfigDialogOwner& owner = *session.owner;
        session.rules = std::make_unique<SourceTypes>(
            SourceTypes::Parts{*session.controls, *session.prompts, owner.controls, owner.prompts, owner.tester});
        SendDlgItemMessageW(dialog, IDC_SRC_NAME, EM_LIMITTEXT, kNameCharacters, 0);
        session.rules->Open();
    }

    static void Command(Session& session, HWND dialog, int id, int code) {
        if (id == IDOK) {
            session.rules->Apply();
        } else if (id == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        } else {
            session.rules->OnCommand(id, code);
        }
    }
};

}  // namespace

void ShowSourceTypes(const ConfigDialogOwner& owner) {
    ShowConfigDialog<SourceTypesDialog>(owner, owner.window, L"SRC_CONFIG");
}
