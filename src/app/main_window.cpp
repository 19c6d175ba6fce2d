#include "app/main_window.h"

#include "platform/format.h"
#include "monitor/log_category.h"
#include "monitor/profile_type.h"
#include "ui/main_window_ids.h"

namespace {

constexpr const char* kErrorTitle = "Ampwright: Error";

}  // namespace

MainWindow::MainWindow(Parts parts)
    : parts_(parts), presenter_(parts.live, parts.window), wake_([this] { parts_.shell.PostModelChanged(); }) {}

void MainWindow::Initialize() {
    Controls& window = parts_.window;
    parts_.discovery.ResetSelectedDeviceName();
    parts_.log.ClearLog();
    parts_.discovery.ScanTesters();
    // A close handled inside one of the scan's message boxes has already
    // taken the window and its log away.
    if (stopped_) return;

    window.SetText(IDC_SINK_PROFILE_TYPE, "");
    window.SetText(IDC_SINK_RATED_CURRENT, "");
    for (int id : {IDC_SINK_VBUS, IDC_SOURCE_VBUS, IDC_SINK_CURRENT, IDC_SOURCE_CURRENT, IDC_TOTAL_CURRENT,
                   IDC_SINK_POWER, IDC_SOURCE_POWER, IDC_TEMPERATURE}) {
        window.SetText(id, " ");
    }
    window.SetText(IDC_CURRENT_EDIT, "0");

    window.SetRange(IDC_VOLTAGE_SLIDER, 0, 5000);
    window.SetLineSize(IDC_VOLTAGE_SLIDER, 200);
    window.SetPosition(IDC_VOLTAGE_SLIDER, 0);
    window.SetRange(IDC_CURRENT_SLIDER, 0, 5000);
    window.SetLineSize(IDC_CURRENT_SLIDER, 25);
    window.SetPosition(IDC_CURRENT_SLIDER, 0);

    window.ClearItems(IDC_LOAD_CHANGE_SPEED);
    for (int i = 0; i < kLoadChangeItemCount; ++i)
        window.AddItem(IDC_LOAD_CHANGE_SPEED, LoadChangeItemText(i));
    int index = LoadChangeIndexOrDefault(parts_.live.loadChangeSpeedMs.load());
    window.SelectItem(IDC_LOAD_CHANGE_SPEED, index);
    parts_.live.loadChangeSpeedMs = static_cast<uint16_t>(LoadChangeTimeForIndex(index));

    // From here on, the poll thread's changes reach the window as one
    // posted wake-up, never as calls into it.
    parts_.live.loopbackRequested = window.IsChecked(IDC_LOOPBACK);
    parts_.live.SetReadoutsListener([this] { wake_.Wake(); });
    parts_.logPane.SetRepaintRequest([this] { wake_.Wake(); });
    OnModelChanged();
    parts_.poll.Start();
    polling_ = true;
}

void MainWindow::StopPolling() {
    stopped_ = true;
    parts_.poll.RequestStop();
    parts_.tester.Close();
    if (!polling_) return;
    parts_.poll.Stop();
    polling_ = false;
    parts_.live.SetReadoutsListener(nullptr);
    parts_.logPane.SetRepaintRequest(nullptr);
}

void MainWindow::OnModelChanged() {
    wake_.Taken();
    presenter_.Apply();
    parts_.logPane.Refresh();
}

bool MainWindow::RequireTester() {
    if (parts_.live.connected.load()) return true;
    parts_.prompts.ShowMessage("No Voltiq device selected.", kErrorTitle, Prompts::kOk | Prompts::kIconError);
    return false;
}

int MainWindow::RoundForSinkProfile(int voltageMv) const {
    return RoundVoltageForProfile(parts_.live.sinkProfileType.load(), parts_.live.sinkProfileSubtype.load(), voltageMv);
}

void MainWindow::OnCommand(int id, int notification) {
    Controls& window = parts_.window;
    LiveState& live = parts_.live;
    switch (id) {
        case IDC_EXIT:
            parts_.shell.Exit();
            break;
        case IDC_ABOUT:
            parts_.shell.ShowAbout();
            break;
        case IDC_SAVE_LOG:
            parts_.logPane.SaveLog(parts_.prompts);
            break;
        case IDC_HELP:
            parts_.shell.OpenUserGuide();
            break;
        case IDC_DEVICE_LIST:
            if (notification == ControlNotification::kSelectionChosen) ConnectSelectedTester(true);
            break;
        case IDC_CURRENT_SET:
            SetCurrent();
            break;
        case IDC_GRAPHS:
            parts_.shell.ShowGraphWindow();
            break;
        case IDC_MESSAGE_TRACER:
            if (RequireTester()) parts_.shell.OpenTracer();
            break;
        case IDC_CONFIGURE:
            if (RequireTester()) parts_.shell.OpenTestConfiguration();
            break;
        case IDC_CONFIG_SRC:
            if (RequireTester()) parts_.shell.OpenSourceTypes();
            break;
        case IDC_CALIBRATION:
            if (RequireTester()) parts_.shell.OpenCalibration();
            break;
        case IDC_SELECT_PROFILE:
            if (notification == ControlNotification::kSelectionChosen) {
                live.requestedProfileIndex = window.SelectedItem(IDC_SELECT_PROFILE);
                live.profileSelectPending.store(true, std::memory_order_release);
            }
            break;
        case IDC_LOOPBACK:
            live.loopbackRequested = window.IsChecked(IDC_LOOPBACK);
            break;
        case IDC_SELECT_SOURCE_TYPE:
            if (notification == ControlNotification::kSelectionChosen) {
                int index = window.SelectedItem(IDC_SELECT_SOURCE_TYPE);
                if (index >= 0) parts_.tester.SelectSourceType(static_cast<uint8_t>(index));
            }
            break;
        case IDC_SINK_CAPACITY_RESET:
            ResetSinkCapacity(live);
            break;
        case IDC_CLEAR_LOG:
            parts_.log.ClearLog();
            break;
        case IDC_SOURCE_CAPACITY_RESET:
            ResetSourceCapacity(live);
            break;
        case IDC_VOLTAGE_SET:
            RequestVoltage();
            break;
        case IDC_LOAD_CHANGE_SPEED: {
            int time = LoadChangeTimeForIndex(window.SelectedItem(IDC_LOAD_CHANGE_SPEED));
            if (time > 0) live.loadChangeSpeedMs = static_cast<uint16_t>(time);
            break;
        }
        case IDC_SINK_DISCONNECT:
            TogglePort(TesterPort::Sink, sinkDisconnectedByUser_, IDC_SINK_DISCONNECT);
            break;
        case IDC_SOURCE_DISCONNECT:
            TogglePort(TesterPort::SourceOrLoopback, sourceDisconnectedByUser_, IDC_SOURCE_DISCONNECT);
            break;
        default:
            break;
    }
}

// The one path of every connection, chosen or automatic: the tester gets
// back the ports the user had disconnected, and the buttons say so.
void MainWindow::ConnectSelectedTester(bool endOnFailure) {
    bool connected = parts_.discovery.SelectTester(endOnFailure);
    if (sinkDisconnectedByUser_) parts_.tester.SetPortConnection(TesterPort::Sink, true);
    if (sourceDisconnectedByUser_) parts_.tester.SetPortConnection(TesterPort::SourceOrLoopback, true);
    sinkDisconnectedByUser_ = false;
    sourceDisconnectedByUser_ = false;
    parts_.window.SetText(IDC_SINK_DISCONNECT, "Disconnect USB-C");
    parts_.window.SetText(IDC_SOURCE_DISCONNECT, "Disconnect USB-C");
    // Connecting stops any trace the tester was running: an open tracer
    // would otherwise look live and stay empty.
    if (!connected) return;
    if (std::optional<bool> resumed = parts_.shell.ResumeTracing()) {
        if (*resumed) {
            parts_.log.LogEvent("PD tracing resumed on the selected device", kLogInformation);
        } else {
            parts_.log.LogEvent("Unable to resume PD tracing on the selected device", kLogError);
        }
    }
}

void MainWindow::TogglePort(TesterPort port, bool& disconnectedByUser, int buttonId) {
    // The caption follows the user's choice whatever the tester answered.
    parts_.tester.SetPortConnection(port, disconnectedByUser);
    disconnectedByUser = !disconnectedByUser;
    parts_.window.SetText(buttonId, disconnectedByUser ? "Connect USB-C" : "Disconnect USB-C");
}

void MainWindow::SetCurrent() {
    int currentMa = ReadNumber(parts_.window.GetText(IDC_CURRENT_EDIT), 4);
    parts_.live.requestedLoadMa = static_cast<uint16_t>(currentMa);
    parts_.window.SetText(IDC_CURRENT_EDIT, std::to_string(currentMa));
    parts_.window.SetPosition(IDC_CURRENT_SLIDER, currentMa);
    parts_.live.loadCurrentPending.store(true, std::memory_order_release);
}

void MainWindow::RequestVoltage() {
    LiveState& live = parts_.live;
    int voltageMv = RoundForSinkProfile(ReadNumber(parts_.window.GetText(IDC_VOLTAGE_EDIT), 5));
    live.requestedVoltageMv = static_cast<uint16_t>(voltageMv);
    parts_.window.SetText(IDC_VOLTAGE_EDIT, std::to_string(voltageMv));
    if (!IsRangedProfile(live.sinkProfileType.load(), live.sinkProfileSubtype.load())) return;
    std::optional<std::string> outside =
        VoltageRangeMessage(live.Capabilities(), live.sinkProfileIndex.load(), voltageMv);
    if (outside) {
        parts_.prompts.ShowMessage(*outside, kErrorTitle, Prompts::kOk | Prompts::kIconError);
        return;
    }
    live.voltageRequestPending.store(true, std::memory_order_release);
}

void MainWindow::OnSlider(int id, bool dragging, int thumbPosition) {
    Controls& window = parts_.window;
    LiveState& live = parts_.live;
    if (id == IDC_VOLTAGE_SLIDER) {
        if (dragging) {
            window.SetText(IDC_VOLTAGE_EDIT, std::to_string(RoundForSinkProfile(thumbPosition)));
            return;
        }
        int voltageMv = RoundForSinkProfile(window.Position(IDC_VOLTAGE_SLIDER));
        window.SetText(IDC_VOLTAGE_EDIT, std::to_string(voltageMv));
        live.requestedVoltageMv = static_cast<uint16_t>(voltageMv);
        live.voltageRequestPending.store(true, std::memory_order_release);
    } else if (id == IDC_CURRENT_SLIDER) {
        if (dragging) {
            window.SetText(IDC_CURRENT_EDIT, std::to_string(thumbPosition));
            return;
        }
        int currentMa = window.Position(IDC_CURRENT_SLIDER);
        window.SetText(IDC_CURRENT_EDIT, std::to_string(currentMa));
        live.requestedLoadMa = static_cast<uint16_t>(currentMa);
        live.loadCurrentPending.store(true, std::memory_order_release);
    }
}

void MainWindow::OnTimer(int timerId) {
    LiveState& live = parts_.live;
    if (timerId == IDT_CAPACITY) {
        IntegrateCapacity(live, parts_.clock.NowMs());
        return;
    }
    parts_.log.LogEvent(ReadingsLine(live), kLogDiagnostics);
}

void MainWindow::OnDeviceChange(TesterDiscovery::RescanReason reason) {
    // Reconnecting takes over a second: not inside the broadcast, which
    // other threads' calls into the window would wait for.
    if (parts_.discovery.RescanTesters(reason)) parts_.shell.PostReconnect();
}

void MainWindow::OnReconnect() {
    // The user may have chosen a tester meanwhile.
    if (parts_.discovery.LostSelected()) ConnectSelectedTester(false);
}

void MainWindow::OnSuspend() {
    parts_.log.LogEvent("Suspend", kLogError);
}
