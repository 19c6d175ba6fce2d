#pragma once

#include <windows.h>

#include <memory>

#include "device/tester_connection.h"
#include "monitor/live_state.h"
#include "ui/center_on_owner_win32.h"
#include "ui/controls_win32.h"
#include "ui/prompts_win32.h"

// What the configuration dialogs need of the main window that opens them.
struct ConfigDialogOwner {
    HINSTANCE instance;
    HWND window;
    Controls& controls;
    Prompts& prompts;
    TesterConnection& tester;
    LiveState& live;
};

// Each shows its dialog modally over the main window until it is closed.
void ShowTestConfiguration(const ConfigDialogOwner& owner);
void ShowSourceTypes(const ConfigDialogOwner& owner);
void ShowCalibration(const ConfigDialogOwner& owner);

// What a dialog procedure keeps while its dialog is open: who opened it, the
// dialog's controls and the message boxes it owns, and the dialog's rules.
template <typename Rules>
struct ConfigDialogSession {
    explicit ConfigDialogSession(const ConfigDialogOwner* opener) : owner(opener) {}

    const ConfigDialogOwner* owner;
    std::unique_ptr<ControlsWin32> controls;
    std::unique_ptr<PromptsWin32> prompts;
    std::unique_ptr<Rules> rules;

    // The session a dialog was opened with (its creation parameter), kept at
    // WM_INITDIALOG, where the dialog's seams are made; null for the messages
    // that come before it.
    static ConfigDialogSession* Of(HWND dialog, UINT message, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            auto* session = reinterpret_cast<ConfigDialogSession*>(lParam);
            session->controls = std::make_unique<ControlsWin32>(dialog);
            session->prompts = std::make_unique<PromptsWin32>(dialog);
        }
        return reinterpret_cast<ConfigDialogSession*>(GetWindowLongPtrW(dialog, DWLP_USER));
    }
};

// The window procedure of every configuration dialog. `Dialog` names its
// rules (`Dialog::Rules`) and says what it does when the dialog opens
// (`Dialog::Open`, which makes the rules) and on a command
// (`Dialog::Command`, once the rules exist). The dialog is centred on the
// main window before it opens.
template <typename Dialog>
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    using Session = ConfigDialogSession<typename Dialog::Rules>;
    Session* session = Session::Of(dialog, message, lParam);
    if (message == WM_INITDIALOG) {
        CenterOnOwner(dialog, session->owner->window);
        Dialog::Open(*session, dialog);
        return TRUE;
    }
    if (message == WM_COMMAND && session && session->rules) {
        Dialog::Command(*session, dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

// Shows the dialog made from template `name` modally over `parent` until it
// is closed; returns how it ended (IDOK, IDCANCEL).
template <typename Dialog>
INT_PTR ShowConfigDialog(const ConfigDialogOwner& owner, HWND parent, const wchar_t* name) {
    ConfigDialogSession<typename Dialog::Rules> session{&owner};
    return DialogBoxParamW(owner.instance, name, parent, ConfigDialogProc<Dialog>, reinterpret_cast<LPARAM>(&session));
}

// The warning picture in a static control of a dialog.
void ShowWarningPicture(HWND dialog, int id);
