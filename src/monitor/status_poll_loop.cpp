#include "monitor/status_poll_loop.h"

#include <cmath>
#include <cstdlib>

#include "monitor/log_category.h"
#include "monitor/profile_type.h"
#include "monitor/sink_test_settings.h"
#include "monitor/voltage_limits.h"
#include "platform/format.h"
#include "platform/power.h"
#include "ui/main_window_ids.h"

namespace {
constexpr uint32_t kIdleSleepMs = 100;
constexpr uint32_t kMeasureSleepMs = 500;
constexpr uint32_t kTestSleepMs = 1;
constexpr uint32_t kCapabilitySettleMs = 1000;
constexpr uint32_t kRequestSettleMs = 500;
constexpr int kWatchToleranceMa = 25;

double Volts(uint16_t millivolts) {
    return millivolts / 1000.0;
}

std::string CapacityText(double mah, double mwh) {
    return Format("%lu\r\n%lu", static_cast<unsigned long>(mah), static_cast<unsigned long>(mwh));
}
}  // namespace

void PortEvents::Notify(int notification) {
    if (notification >= 1 && notification <= kCount) port[notification - 1].Set();
}

StatusPollLoop::StatusPollLoop(TesterConnection& tester, LiveState& live, EventLog& log, Controls& window,
                               PortEvents& events, Clock& clock)
    : tester_(tester), live_(live), log_(log), window_(window), events_(events), clock_(clock) {}

StatusPollLoop::~StatusPollLoop() {
    Stop();
}

void StatusPollLoop::Start() {
    if (thread_.joinable()) return;
    stopRequested_ = false;
    thread_ = std::thread([this] {
        KeepSystemAwake();
        while (!stopRequested_)
            RunCycle();
    });
}

void StatusPollLoop::RequestStop() {
    stopRequested_ = true;
}

void StatusPollLoop::Stop() {
    RequestStop();
    if (thread_.joinable()) thread_.join();
}

void StatusPollLoop::Sleep(uint32_t ms) {
    // Long pauses are cut short by a stop request so shutdown stays quick.
    const uint32_t slice = 50;
    while (ms > 0 && !stopRequested_) {
        uint32_t step = ms < slice ? ms : slice;
        clock_.SleepMs(step);
        ms -= step;
    }
}

void StatusPollLoop::Log(const std::string& text, int category) {
    log_.LogEvent(text, category);
}

void StatusPollLoop::RunCycle() {
    if (!live_.connected) {
        // No readings line for a tester that is gone.
        if (wasConnected_) window_.StopTimer(IDT_READINGS_LOG);
        wasConnected_ = false;
        ForgetPorts();
        Sleep(kIdleSleepMs);
        return;
    }
    wasConnected_ = true;
    uint32_t connection = live_.connectionCount;
    if (connection != seenConnection_) {
        seenConnection_ = connection;
        window_.StopTimer(IDT_READINGS_LOG);
        ForgetPorts();
        resendSetpoint_ = true;
    }
    if (live_.sinkActive) {
        MeasureSinkCycle();
    } else if (live_.sourceActive || live_.loopbackEnabled) {
        MeasureSourceOnly();
    } else {
        Sleep(kIdleSleepMs);
    }
    if (Stopping()) return;

    int event = TakePortEvent();
    PortStatus status;
    bool statusRead = ReadPortStatus(&status);
    if (Stopping()) return;
    if (statusRead) {
        if (!live_.sinkActive && status.sinkAttached == 1) {
            event = PortEvents::kSinkAttached;
        } else if (!live_.sourceActive && status.sourceAttached == 1) {
            event = PortEvents::kSourceProfileChanged;
        }
    }
    HandleEvent(event);
    if (Stopping()) return;
    WatchLoopback();
    SendConfigIfDirty();
}

bool StatusPollLoop::Measure() {
    Measurements m;
    if (!tester_.GetMeasurements(m)) return false;
    live_.temperatureC = m.temperatureC;
    live_.sinkVolts = static_cast<float>(Volts(m.sinkVbusMv));
    live_.sourceVolts = static_cast<float>(Volts(m.sourceVbusMv));
    live_.loadSetpointMa = m.loadSetpointMa;
    live_.sinkCurrentMa = m.sinkCurrentMa;
    live_.loopbackCurrentMa = m.sourceCurrentMa;
    live_.totalCurrentMa = static_cast<uint16_t>(m.sinkCurrentMa + m.sourceCurrentMa);
    live_.measurementCount.fetch_add(1, std::memory_order_release);
    return true;
}

void StatusPollLoop::MeasureSinkCycle() {
    bool measured = Measure();
    if (measured) {
        uint16_t voltageMv = live_.sinkVoltageMv;
        if (voltageMv != shownVoltageMv_) {
            window_.SetPosition(IDC_VOLTAGE_SLIDER, voltageMv);
            window_.SetText(IDC_VOLTAGE_EDIT, Format("%d", voltageMv));
        }
        uint16_t setpointMa = live_.loadSetpointMa;
        if (setpointMa != shownSetpointMa_ || !setpointShown_) {
            window_.SetPosition(IDC_CURRENT_SLIDER, setpointMa);
            window_.SetText(IDC_CURRENT_EDIT, Format("%d", setpointMa));
        }
        ShowSinkReadings();
        if (live_.sourceActive) {
            ShowSourceReadings();
        } else if (live_.loopbackEnabled) {
            window_.SetText(IDC_SOURCE_PROFILE_TYPE, "");
            window_.SetText(IDC_SOURCE_RATED_CURRENT, "");
            window_.SetText(IDC_SOURCE_REQUESTED_CURRENT, "");
            window_.SetText(IDC_SOURCE_CAPACITY, "");
            ShowSourceReadings();
            window_.SetText(IDC_SOURCE_CAPACITY, "");
        }
        shownVoltageMv_ = voltageMv;
        shownSetpointMa_ = setpointMa;
        setpointShown_ = true;
        if (live_.testIdle) WatchVoltage();
        // While a test runs the readings stay near-continuous, so a test's
        // sample is never older than one cycle.
        Sleep(live_.testIdle ? kMeasureSleepMs : kTestSleepMs);
        ++measuredCycles_;
    }
    ServeRequests(measured);
}

void StatusPollLoop::MeasureSourceOnly() {
    if (!Measure()) return;
    window_.SetText(IDC_TEMPERATURE, Format("%d C", live_.temperatureC.load()));
    ShowSourceReadings();
}

void StatusPollLoop::ShowSinkReadings() {
    float volts = live_.sinkVolts;
    int currentMa = live_.sinkCurrentMa;
    window_.SetText(IDC_SINK_VBUS, Format("%.2f V", volts));
    window_.SetText(IDC_SINK_CURRENT, Format("%d mA", currentMa));
    window_.SetText(IDC_SINK_POWER, Format("%.2f W", currentMa * volts / 1000));
    window_.SetText(IDC_TEMPERATURE, Format("%d C", live_.temperatureC.load()));
    window_.SetText(IDC_SINK_CAPACITY, CapacityText(live_.sinkMah, live_.sinkMwh));
}

void StatusPollLoop::ShowSourceReadings() {
    float volts = live_.sourceVolts;
    int currentMa = live_.loopbackCurrentMa;
    window_.SetText(IDC_SOURCE_VBUS, Format("%.2f V", volts));
    window_.SetText(IDC_SOURCE_CURRENT, Format("%d mA", currentMa));
    window_.SetText(IDC_TOTAL_CURRENT, Format("%d mA", live_.totalCurrentMa.load()));
    window_.SetText(IDC_SOURCE_POWER, Format("%.2f W", currentMa * volts / 1000));
    window_.SetText(IDC_SOURCE_CAPACITY, CapacityText(live_.sourceMah, live_.sourceMwh));
}

void StatusPollLoop::WatchVoltage() {
    int currentMa = live_.sinkCurrentMa;
    int setpointMa = live_.loadSetpointMa;
    if (currentMa == 0 || std::abs(currentMa - setpointMa) >= kWatchToleranceMa) return;

    VoltageLimitInputs in;
    in.profileType = live_.sinkProfileType;
    in.profileSubtype = live_.sinkProfileSubtype;
    in.negotiatedMv = live_.sinkVoltageMv;
    in.loadCurrentMa = static_cast<uint16_t>(setpointMa);
    in.sinkCurrentMa = static_cast<uint16_t>(currentMa);
    in.loadCurrentLimitMa = live_.loadCurrentLimit;
    in.estimateUpstreamVbus = live_.Settings().estimateUpstreamVbus;
    std::optional<VoltageLimits> limits = ComputeVoltageLimits(in);
    if (!limits) return;  // no limits are defined for an unknown profile

    float volts = live_.sinkVolts;
    bool under = limits->minimumV > volts && currentMa > live_.loadCurrentLimit;
    bool over = !under && volts > limits->maximumV;
    // A fixed PD profile other than the one negotiated is not judged.
    if (in.profileType == kProfilePd && in.profileSubtype == kSubtypeFixed) {
        SinkCapabilities caps = live_.Capabilities();
        uint8_t index = live_.sinkProfileIndex;
        if (index < caps.count && caps.entries[index].minimumMv != in.negotiatedMv) under = over = false;
    }
    if (under && !underVoltage_) {
        Log(Format("V=%.3fV, I=%dmA Capacity=%umAh,%umWh, Under voltage detected", volts, currentMa,
                   static_cast<unsigned>(live_.sinkMah), static_cast<unsigned>(live_.sinkMwh)),
            kLogError);
    }
    if (over && !overVoltage_) {
        Log(Format("V=%.3fV, I=%dmA, Over voltage detected", volts, currentMa), kLogError);
    }
    underVoltage_ = under;
    overVoltage_ = over;
}

// Each flag is cleared before its command goes out, so a request raised
// during that exchange is served by the next cycle instead of being lost.
void StatusPollLoop::ServeRequests(bool measured) {
    if (Stopping()) return;
    if (live_.loadCurrentPending.exchange(false, std::memory_order_acquire)) {
        resendSetpoint_ = false;
        tester_.SetLoadCurrent(live_.requestedLoadMa, live_.loadChangeSpeedMs);
    } else if (resendSetpoint_ && measured) {
        resendSetpoint_ = false;
        tester_.SetLoadCurrent(live_.loadSetpointMa, live_.loadChangeSpeedMs);
    }
    if (!Stopping() && live_.profileSelectPending.exchange(false, std::memory_order_acquire)) {
        int index = window_.SelectedItem(IDC_SELECT_PROFILE);
        SinkCapabilities caps = live_.Capabilities();
        // A selection that is not one of the listed profiles requests nothing.
        if (index >= 0 && index < caps.count) {
            const SinkCapability& entry = caps.entries[static_cast<size_t>(index)];
            tester_.RequestSinkProfile(static_cast<uint8_t>(index), entry.maximumMv);
            live_.sinkRatedCurrentMa =
                RatedCurrentMa(entry.ProfileType(), entry.ProfileSubtype(), entry.maximumCurrentMa, entry.maximumMv);
            uint16_t limit = RecomputeLoadCurrentLimit();
            window_.SetRange(IDC_CURRENT_SLIDER, 0, limit);
            window_.SetPosition(IDC_CURRENT_SLIDER, 0);
            window_.SetText(IDC_CURRENT_SLIDER_MAX, Format("%dmA", limit));
        }
        Sleep(kRequestSettleMs);
    }
    if (!Stopping() && live_.voltageRequestPending.exchange(false, std::memory_order_acquire)) {
        uint16_t voltageMv = live_.requestedVoltageMv;
        window_.SetPosition(IDC_VOLTAGE_SLIDER, voltageMv);
        tester_.RequestSinkProfile(live_.sinkProfileIndex, voltageMv);
        Sleep(kRequestSettleMs);
    }
}

int StatusPollLoop::TakePortEvent() {
    for (int i = 0; i < PortEvents::kCount; ++i) {
        if (events_.port[static_cast<size_t>(i)].IsSet()) return i;
    }
    return -1;
}

bool StatusPollLoop::ReadPortStatus(PortStatus* out) {
    PortStatus status;
    if (!tester_.GetPortStatus(status)) return false;
    live_.sinkProfileIndex = status.sinkProfileIndex;
    live_.sinkProfileType = status.sinkProfileType;
    live_.sinkProfileSubtype = status.sinkProfileSubtype;
    live_.sinkVoltageMv = status.sinkVoltageMv;
    live_.sinkRatedCurrentMa = RatedCurrentMa(status.sinkProfileType, status.sinkProfileSubtype,
                                              status.sinkProfileCurrentMa, status.sinkVoltageMv);
    live_.sourceProfileIndex = status.sourceProfileIndex;
    live_.sourceProfileType = status.sourceProfileType;
    live_.sourceProfileSubtype = status.sourceProfileSubtype;
    live_.sourceVoltageMv = status.sourceVoltageMv;
    live_.sourceRatedCurrentMa = status.sourceRatedCurrentMa;
    live_.sourceRequestedCurrentMa = status.sourceRequestedCurrentMa;
    live_.selectedSourceType = status.selectedSourceType;
    if (out != nullptr) *out = status;
    return true;
}

void StatusPollLoop::HandleEvent(int event) {
    switch (event) {
        case PortEvents::kSinkAttached:
            OnSinkAttached();
            break;
        case PortEvents::kSinkDetached:
            OnSinkDetached();
            break;
        case PortEvents::kSinkProfileChanged:
            OnSinkProfileChanged();
            break;
        case PortEvents::kSinkCapabilityChanged:
            OnSinkCapabilityChanged();
            break;
        case PortEvents::kSourceAttached:
            OnSourceAttached();
            break;
        case PortEvents::kSourceDetached:
            OnSourceDetached();
            break;
        case PortEvents::kSourceProfileChanged:
            OnSourceProfileChanged();
            break;
        default:
            break;
    }
}

uint16_t StatusPollLoop::RecomputeLoadCurrentLimit() {
    SinkTestSettings settings = live_.Settings();
    uint16_t limit = LoadCurrentLimit(settings.currentLimitMode, settings.forcedLimitIndex, live_.sinkRatedCurrentMa);
    live_.loadCurrentLimit = limit;
    return limit;
}

bool StatusPollLoop::ReadCapabilities(SinkCapabilities& caps) {
    if (!tester_.GetSinkCapabilities(caps)) return false;
    std::lock_guard<std::mutex> held(live_.capsLock);
    live_.sinkCaps = caps;
    return true;
}

// Fills the "Select Profile" list, one item per capability; with logEntries
// also writes one log line per capability.
void StatusPollLoop::FillProfileList(const SinkCapabilities& caps, bool logEntries) {
    for (size_t i = 0; i < caps.count; ++i) {
        const SinkCapability& entry = caps.entries[i];
        uint8_t type = entry.ProfileType(), subtype = entry.ProfileSubtype();
        std::string name(ProfileTypeName(type, subtype));
        double minimumV = Volts(entry.minimumMv), maximumV = Volts(entry.maximumMv);
        bool ranged = IsRangedProfile(type, subtype);
        window_.AddItem(IDC_SELECT_PROFILE, ranged ? Format("%s %.2fV-%.2fV", name.c_str(), minimumV, maximumV)
                                                   : Format("%s %.2fV", name.c_str(), maximumV));
        window_.Enable(IDC_SELECT_PROFILE, true);
        if (!logEntries) continue;
        int maximumMa = RatedCurrentMa(type, subtype, entry.maximumCurrentMa, entry.maximumMv);
        Log(ranged ? Format("%s Voltage:%.2fV-%.2fV Max Current:%dmA", name.c_str(), minimumV, maximumV, maximumMa)
                   : Format("%s Voltage:%.2fV Max Current:%dmA", name.c_str(), maximumV, maximumMa),
            kLogDiagnostics);
    }
}

// Enables the voltage edit, its "Set" button and slider for a ranged
// profile, with the slider over the selected capability's range.
void StatusPollLoop::SetUpVoltageControls(const SinkCapabilities& caps, bool moveSlider) {
    uint8_t index = live_.sinkProfileIndex;
    bool ranged = IsRangedProfile(live_.sinkProfileType, live_.sinkProfileSubtype) && index < caps.count;
    if (ranged) {
        const SinkCapability& entry = caps.entries[index];
        window_.SetRange(IDC_VOLTAGE_SLIDER, entry.minimumMv, entry.maximumMv);
        window_.SetLineSize(IDC_VOLTAGE_SLIDER, (entry.maximumMv - entry.minimumMv) / 200);
        if (moveSlider) window_.SetPosition(IDC_VOLTAGE_SLIDER, live_.sinkVoltageMv);
    }
    for (int id : {IDC_VOLTAGE_EDIT, IDC_VOLTAGE_SET, IDC_VOLTAGE_SLIDER})
        window_.Enable(id, ranged);
}

void StatusPollLoop::ShowRatedCurrentAndLimit() {
    uint16_t limit = live_.loadCurrentLimit;
    window_.SetText(IDC_SINK_RATED_CURRENT, Format("%dmA", live_.sinkRatedCurrentMa.load()));
    window_.SetText(IDC_CURRENT_SLIDER_MAX, Format("%dmA", limit));
    window_.SetRange(IDC_CURRENT_SLIDER, 0, limit);
    window_.SetPosition(IDC_CURRENT_SLIDER, 0);
    // The next measurement puts the slider back on the set point the tester
    // reports, so slider and edit never disagree.
    setpointShown_ = false;
}

void StatusPollLoop::OnSinkAttached() {
    PortStatus status;
    if (ReadPortStatus(&status) && status.sinkAttached == 1) {
        window_.ClearItems(IDC_SELECT_PROFILE);
        window_.Enable(IDC_SELECT_PROFILE, false);
        RecomputeLoadCurrentLimit();
        window_.SetText(IDC_SINK_PROFILE_TYPE,
                        std::string(ProfileTypeName(live_.sinkProfileType, live_.sinkProfileSubtype)));
        Sleep(kCapabilitySettleMs);
        if (Stopping()) return;
        SinkCapabilities caps;
        if (ReadCapabilities(caps)) {
            window_.ClearItems(IDC_SELECT_PROFILE);
            if (caps.count != 0) {
                bool logEntries = !live_.capsLogged;
                if (logEntries) Log("Port detected capabilities:", kLogDiagnostics);
                FillProfileList(caps, logEntries);
                live_.sinkActive = true;
            }
        }
        live_.capsLogged = true;
        ShowRatedCurrentAndLimit();
        window_.SelectItem(IDC_SELECT_PROFILE, live_.sinkProfileIndex);
        SetUpVoltageControls(live_.Capabilities(), true);
    }
    Sleep(kIdleSleepMs);
    events_.port[PortEvents::kSinkAttached].Reset();
    uint8_t intervalS = live_.Settings().logIntervalS;
    if (live_.testIdle && intervalS != 0) window_.StartTimer(IDT_READINGS_LOG, intervalS * 1000u);
}

// A tester that went away leaves no stale readings on screen, and the ports
// of the next one are read afresh.
void StatusPollLoop::ForgetPorts() {
    if (live_.sinkActive) ClearSinkReadouts();
    if (live_.sourceActive) ClearSourceReadouts();
    live_.capsLogged = false;
    live_.sinkActive = false;
    live_.sourceActive = false;
}

void StatusPollLoop::ClearSinkReadouts() {
    window_.ClearItems(IDC_SELECT_PROFILE);
    window_.Enable(IDC_SELECT_PROFILE, false);
    window_.SetText(IDC_SINK_PROFILE_TYPE, "");
    window_.SetText(IDC_SINK_RATED_CURRENT, "");
    for (int id : {IDC_SINK_VBUS, IDC_SINK_CURRENT, IDC_SINK_POWER, IDC_TEMPERATURE})
        window_.SetText(id, " ");
    window_.SetText(IDC_CURRENT_EDIT, "0");
    window_.SetText(IDC_SINK_CAPACITY, "");
}

void StatusPollLoop::ClearSourceReadouts() {
    for (int id : {IDC_SOURCE_PROFILE_TYPE, IDC_SOURCE_RATED_CURRENT, IDC_SOURCE_REQUESTED_CURRENT}) {
        window_.SetText(id, "");
    }
    for (int id : {IDC_SOURCE_VBUS, IDC_SOURCE_CURRENT, IDC_TOTAL_CURRENT, IDC_SOURCE_POWER})
        window_.SetText(id, " ");
    window_.SetText(IDC_SOURCE_CAPACITY, "");
}

void StatusPollLoop::OnSinkDetached() {
    events_.port[PortEvents::kSinkDetached].Reset();
    live_.capsLogged = false;
    live_.sinkActive = false;
    events_.sinkDetach.Set();
    ClearSinkReadouts();
    ResetSinkCapacity(live_);
    Log("Sink Port detached", kLogDiagnostics);
    window_.StopTimer(IDT_READINGS_LOG);
}

void StatusPollLoop::OnSinkProfileChanged() {
    events_.port[PortEvents::kSinkProfileChanged].Reset();
    bool statusOk = ReadPortStatus();
    live_.profileChanged = true;
    if (!statusOk) return;
    window_.SetText(IDC_SINK_PROFILE_TYPE,
                    std::string(ProfileTypeName(live_.sinkProfileType, live_.sinkProfileSubtype)));
    SinkCapabilities caps;
    if (!ReadCapabilities(caps)) return;
    RecomputeLoadCurrentLimit();
    window_.ClearItems(IDC_SELECT_PROFILE);
    uint8_t index = live_.sinkProfileIndex;
    if (caps.count != 0) {
        Log("New profile selected", kLogDiagnostics);
        FillProfileList(caps, false);
        window_.SelectItem(IDC_SELECT_PROFILE, index);
        SetUpVoltageControls(caps, false);
        if (index < caps.count) {
            const SinkCapability& entry = caps.entries[index];
            uint8_t type = entry.ProfileType(), subtype = entry.ProfileSubtype();
            int maximumMa = RatedCurrentMa(type, subtype, entry.maximumCurrentMa, entry.maximumMv);
            Log(IsRangedProfile(live_.sinkProfileType, live_.sinkProfileSubtype)
                    ? Format("Voltage:%.2fV-%.2fV Max Current:%dmA", Volts(entry.minimumMv), Volts(entry.maximumMv),
                             maximumMa)
                    : Format("Voltage:%.2fV Max Current:%dmA", Volts(entry.minimumMv), maximumMa),
                kLogDiagnostics);
        }
    }
    ShowRatedCurrentAndLimit();
}

void StatusPollLoop::OnSinkCapabilityChanged() {
    events_.port[PortEvents::kSinkCapabilityChanged].Reset();
    // The notification carries no values: the port status has the new ones.
    // Without it there is nothing new to show or log.
    if (!ReadPortStatus()) return;
    uint16_t ratedMa = live_.sinkRatedCurrentMa;
    window_.SetText(IDC_SINK_RATED_CURRENT, Format("%dmA", ratedMa));
    window_.SetText(IDC_CURRENT_SLIDER_MAX, Format("%dmA", ratedMa));
    window_.SetRange(IDC_CURRENT_SLIDER, 0, ratedMa);
    live_.loadSetpointMa = ratedMa;
    Log("Port capability changed", kLogDiagnostics);
    Log(Format("Voltage:%.2fV Max Current:%dmA", Volts(live_.sinkVoltageMv), ratedMa), kLogDiagnostics);
    live_.sinkActive = false;
}

void StatusPollLoop::OnSourceAttached() {
    events_.port[PortEvents::kSourceAttached].Reset();
    Log("Source Port Attached", kLogDiagnostics);
}

void StatusPollLoop::OnSourceDetached() {
    events_.port[PortEvents::kSourceDetached].Reset();
    live_.sourceActive = false;
    ClearSourceReadouts();
    ResetSourceCapacity(live_);
    Log("Sorce Port detached", kLogDiagnostics);
}

void StatusPollLoop::OnSourceProfileChanged() {
    events_.port[PortEvents::kSourceProfileChanged].Reset();
    Log("Source Profile Changed", kLogDiagnostics);
    live_.sourceActive = true;
    PortStatus status;
    if (ReadPortStatus(&status) && status.sourceAttached == 1) {
        double volts = Volts(status.sourceVoltageMv);
        std::string name(ProfileTypeName(status.sourceProfileType, status.sourceProfileSubtype));
        window_.SetText(IDC_SOURCE_PROFILE_TYPE, Format("%s %.0fV", name.c_str(), volts));
        window_.SetText(IDC_SOURCE_RATED_CURRENT, Format("%dmA", status.sourceRatedCurrentMa));
        window_.SetText(IDC_SOURCE_REQUESTED_CURRENT, Format("%dmA", status.sourceRequestedCurrentMa));
        Log(Format("Src Type: Voltage:%.2fV Max Current:%dmA", volts, status.sourceRatedCurrentMa), kLogDiagnostics);
    }
    SourceTypeNames names;
    if (!tester_.GetSourceTypeNames(names)) return;
    {
        std::lock_guard<std::mutex> held(live_.namesLock);
        live_.sourceTypeNames = names.names;
    }
    window_.ClearItems(IDC_SELECT_SOURCE_TYPE);
    for (size_t i = 0; i < names.names.size(); ++i) {
        window_.AddItem(IDC_SELECT_SOURCE_TYPE, Format("%d. %s", static_cast<int>(i + 1), names.names[i].c_str()));
    }
    window_.SelectItem(IDC_SELECT_SOURCE_TYPE, live_.selectedSourceType);
    window_.Enable(IDC_SELECT_SOURCE_TYPE, true);
}

void StatusPollLoop::WatchLoopback() {
    bool checked = window_.IsChecked(IDC_LOOPBACK);
    if (!live_.connected || checked == live_.loopbackEnabled) return;
    live_.loopbackEnabled = checked;
    live_.configDirty = true;
    Log(checked ? "Loopback Mode Enabled" : "Loopback Mode Disabled", kLogDiagnostics);
}

void StatusPollLoop::SendConfigIfDirty() {
    if (!live_.configDirty.exchange(false, std::memory_order_acquire)) return;
    // One snapshot of the settings: never a mix of an old and a new set.
    tester_.SetConfig(SinkSettingsToConfig(live_.Settings(), live_.loopbackEnabled, live_.sinkRatedCurrentMa));
}
