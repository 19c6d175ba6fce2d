#pragma once

#include <optional>
#include <string>

#include "app/tester_discovery.h"
#include "device/tester_connection.h"
#include "monitor/event_log.h"
#include "monitor/live_state.h"
#include "monitor/status_poll_loop.h"
#include "ui/controls.h"
#include "ui/prompts.h"

// The load change list: item index <-> ramp time in ms.
constexpr int kLoadChangeItemCount = 7;
const char* LoadChangeItemText(int index);
int LoadChangeTimeForIndex(int index);   // -1 outside the list
int LoadChangeIndexForTime(int timeMs);  // -1 when no item has that time
// The item shown for a time read from a tester: its own, else "200 (Fast)".
int LoadChangeIndexOrDefault(int timeMs);

// The leading number of at most maxDigits characters of an edit's text, as
// a C runtime conversion would read it; 0 when there is none.
int ReadNumber(const std::string& text, size_t maxDigits);

// For a voltage request on a ranged profile: the message to show when the
// voltage lies outside the active capability entry's range, nothing when it
// may be requested.
std::optional<std::string> VoltageRangeMessage(const SinkCapabilities& caps, int activeIndex, int voltageMv);

// What the main window's rules ask of the window itself.
class MainWindowShell {
public:
    virtual ~MainWindowShell() = default;
    virtual void Exit() = 0;
    virtual void ShowAbout() = 0;
    virtual void OpenUserGuide() = 0;
    // The configuration dialogs, modal over the main window.
    virtual void OpenTestConfiguration() = 0;
    virtual void OpenSourceTypes() = 0;
    virtual void OpenCalibration() = 0;
};

// The main window's rules: turns the user's actions into LiveState changes
// and requests for the poll loop, tester commands and other windows.
class MainWindow {
public:
    struct Parts {
        Controls& window;
        Prompts& prompts;
        TesterConnection& tester;
        LiveState& live;
        EventLog& log;
        TesterDiscovery& discovery;
        StatusPollLoop& poll;
        MainWindowShell& shell;
    };

    explicit MainWindow(Parts parts);

    // Everything after the window, its fonts and the log exist: the banner,
    // the tester scan, the readouts, sliders and lists, the poll thread.
    void Initialize();
    // Ends the poll thread; the window's thread must keep handling messages
    // meanwhile, since the thread may be writing into the window.
    void StopPolling();

    // Combo box notifications that act.
    static constexpr int kSelEndOk = 9;

    void OnCommand(int id, int notification);
    // A slider notification; `dragging` while the thumb is being tracked,
    // with the thumb's position.
    void OnSlider(int id, bool dragging, int thumbPosition);
    void OnTimer(int timerId);
    void OnDeviceChange(TesterDiscovery::RescanReason reason);
    void OnSuspend();

    bool CheckFirmware(int minimumTenths);

private:
    void RequestVoltage();
    void SetCurrent();
    void TogglePort(TesterPort port, bool& disconnectedByUser, int buttonId);
    bool RequireTester();
    int RoundForSinkProfile(int voltageMv) const;

    Parts parts_;
    bool sinkDisconnectedByUser_ = false;
    bool sourceDisconnectedByUser_ = false;
    bool polling_ = false;
};
