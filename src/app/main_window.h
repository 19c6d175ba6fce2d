#pragma once

#include <optional>
#include <string>

#include "app/tester_discovery.h"
#include "device/tester_connection.h"
#include "monitor/event_log.h"
#include "monitor/load_change_speed.h"
#include "monitor/live_state.h"
#include "app/readouts_presenter.h"
#include "monitor/status_poll_loop.h"
#include "monitor/voltage_limits.h"
#include "platform/coalesced_wake.h"
#include "ui/controls.h"
#include "ui/log_pane.h"
#include "ui/number_text.h"
#include "ui/prompts.h"

// What the main window's rules ask of the window itself.
class MainWindowShell {
public:
    virtual ~MainWindowShell() = default;
    virtual void Exit() = 0;
    virtual void ShowAbout() = 0;
    virtual void OpenUserGuide() = 0;
    // Has OnReconnect called from the window's own message queue.
    virtual void PostReconnect() = 0;
    // Has OnModelChanged called from the window's own message queue; may be
    // called from any thread and must not wait.
    virtual void PostModelChanged() = 0;
    virtual void ShowGraphWindow() = 0;
    // Opens the PD tracer, or brings the open one to the top.
    virtual void OpenTracer() = 0;
    // Has an open tracer trace the tester that was just connected: nothing
    // when no tracer is open, else whether the tester started tracing.
    virtual std::optional<bool> ResumeTracing() = 0;
    // The configuration dialogs, modal over the main window.
    virtual void OpenTestConfiguration() = 0;
    virtual void OpenSourceTypes() = 0;
    virtual void OpenCalibration() = 0;
};

// The main window's rules: turns the user's actions into LiveState changes
// and requests for the poll loop, tester commands and other windows, and
// shows the live model's readouts and the log when they change.
class MainWindow {
public:
    struct Parts {
        Controls& window;
        Prompts& prompts;
        TesterConnection& tester;
        LiveState& live;
        EventLog& log;
        LogPane& logPane;
        TesterDiscovery& discovery;
        StatusPollLoop& poll;
        MainWindowShell& shell;
        Clock& clock;  // the poll loop's: measurements carry its time
    };

    explicit MainWindow(Parts parts);

    // Everything after the window, its fonts and the log exist: the banner,
    // the tester scan, the readouts, sliders and lists, the poll thread.
    void Initialize();
    // Ends the poll thread for good and closes the tester link, cancelling a
    // command in flight so a silent tester cannot hold up the exit. After
    // it, Initialize does nothing more (the window went away while it was
    // running).
    void StopPolling();

    void OnCommand(int id, int notification);
    // A slider notification; `dragging` while the thumb is being tracked,
    // with the thumb's position.
    void OnSlider(int id, bool dragging, int thumbPosition);
    void OnTimer(int timerId);
    void OnDeviceChange(TesterDiscovery::RescanReason reason);
    // Connects again the selected tester that came back after it was unplugged.
    void OnReconnect();
    void OnSuspend();
    // The live model or the log changed: shows what changed.
    void OnModelChanged();

private:
    void RequestVoltage();
    void SetCurrent();
    void ConnectSelectedTester(bool endOnFailure);
    void TogglePort(TesterPort port, bool& disconnectedByUser, int buttonId);
    bool RequireTester();
    int RoundForSinkProfile(int voltageMv) const;

    Parts parts_;
    ReadoutsPresenter presenter_;
    CoalescedWake wake_;
    bool sinkDisconnectedByUser_ = false;
    bool sourceDisconnectedByUser_ = false;
    bool polling_ = false;
    bool stopped_ = false;
};
