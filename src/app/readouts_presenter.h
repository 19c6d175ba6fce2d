#pragma once

#include <map>
#include <string>

#include "monitor/live_state.h"
#include "ui/controls.h"

// Shows the live model's readouts in the main window's controls. Runs on the
// window's thread only, woken after the model changed; each Apply writes the
// readouts published since the last one, and leaves a readout text alone
// when it would not change.
class ReadoutsPresenter {
public:
    ReadoutsPresenter(LiveState& live, Controls& window) : live_(live), window_(window) {}

    void Apply();

private:
    // A readout's text, written only when it differs from what this
    // presenter last wrote there (no other code writes these controls).
    void ShowText(int id, const std::string& text);
    void ApplySink(const Readouts& now);
    void ApplySinkControls(const Readouts& now);
    void ApplySource(const Readouts& now);

    LiveState& live_;
    Controls& window_;
    Readouts shown_;
    std::map<int, std::string> texts_;
};
