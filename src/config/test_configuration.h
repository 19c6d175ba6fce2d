#pragma once

#include <functional>
#include <optional>
#include <string>

#include "device/tester_connection.h"
#include "monitor/live_state.h"
#include "ui/controls.h"
#include "ui/prompts.h"

// Whether the user accepted the danger confirmation for each of the two
// hazardous current limit modes; once set, set for the rest of the run.
struct DangerAcceptance {
    bool overLimit = false;
    bool forcedLimit = false;
};

// The rules of the danger confirmation shown before a hazardous current limit
// mode: the word that must be typed, and its message.
class DangerConfirmation {
public:
    DangerConfirmation(Controls& dialog, Prompts& prompts) : dialog_(dialog), prompts_(prompts) {}

    static bool IsConfirmWord(const std::string& text);
    // "I accept the risk": true when the confirmation closes accepted;
    // otherwise tells the user what to type and stays open.
    bool OnAccept();
    // Whether a cancel request closes the confirmation: the Escape key is
    // ignored while the word's edit has the focus.
    static bool CancelCloses(bool escapeKey, bool editFocused) { return !(escapeKey && editFocused); }

private:
    Controls& dialog_;
    Prompts& prompts_;
};

// The test configuration dialog's rules: fills the controls from the tester's
// registers, reacts to the controls, and on OK stores the settings, updates
// the main window and hands the sending to the poll loop (ConfigDirty).
class TestConfiguration {
public:
    struct Parts {
        Controls& dialog;
        Prompts& prompts;  // owned by the dialog
        Controls& mainWindow;
        TesterConnection& tester;
        LiveState& live;
        DangerAcceptance& acceptance;
        std::function<bool()> confirmDanger;  // shows the danger confirmation: true when accepted
    };

    explicit TestConfiguration(Parts parts) : parts_(parts) {}

    void Open();
    // A click on a control.
    void OnCommand(int id);
    // OK: true when every field was accepted and the dialog closes.
    bool Ok();
    void Cancel();

private:
    void FillControls(const SinkTestSettings& s);
    void OnAutoEnable();
    void OnVoltageMax();
    void OnCurrentMax();
    void OnDangerousMode(uint32_t mode, int buttonId, bool& accepted);
    void SetMode(uint32_t mode);
    void ShowLoadLimit(uint16_t limitMa);
    void ShowVbusLabel(bool upstream);

    // OK in three steps: read the dialog, find the first field it refuses,
    // then store the settings up to that field and show what follows.
    struct Form;
    enum class Field;
    struct Rejection;
    Form ReadForm();
    static std::optional<Rejection> FirstRejection(const Form& form);
    static SinkTestSettings FormSettings(const Form& form, SinkTestSettings s, Field stop);
    void Apply(const Form& form, const SinkTestSettings& s, Field stop);

    Parts parts_;
    SinkTestSettings opened_;  // as the dialog opened: what Cancel brings back
    bool limitChanged_ = false;
};
