#pragma once

#include <windows.h>

#include <memory>

#include "device/tester_connection.h"
#include "monitor/live_state.h"
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

// The warning picture in a static control of a dialog.
void ShowWarningPicture(HWND dialog, int id);
