#include "monitor/status_poll_loop.h"

#include <cmath>
#include <cstdlib>

#include "device/config_registers.h"
#include "monitor/log_category.h"
#include "monitor/profile_type.h"
#include "monitor/sink_test_settings.h"
#include "monitor/voltage_limits.h"
#include "platform/format.h"
#include "platform/power.h"

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

Capacity SinkCapacity(const LiveState& live) {
    return {live.sinkMah, live.sinkMwh};
}

Capacity SourceCapacity(const LiveState& live) {
    return {live.sourceMah, live.sourceMwh};
}
}  // namespace

void PortEvents::Notify(int notification) {
    if (notification >= 1 && notification <= kCount) port[notification - 1].Set();
}

StatusPollLoop::StatusPollLoop(TesterConnection& tester, LiveState& live, EventLog& log, PortEvents& events,
                               Clock& clock)
    : tester_(tester), live_(live), log_(log), events_(events), clock_(clock) {}

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
        if (wasConnected_) Publish([](Readouts& r) { r.readingsLogPeriodMs.Set(0); });
        wasConnected_ = false;
        ForgetPorts();
        Sleep(kIdleSleepMs);
        return;
    }
    wasConnected_ = true;
    uint32_t connection = live_.connectionCount;
    if (connection != seenConnection_) {
        seenConnection_ = connection;
        Publish([](Readouts& r) { r.readingsLogPeriodMs.Set(0); });
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

std::optional<Measurement> StatusPollLoop::Measure() {
    Measurements answer;
    if (!tester_.GetMeasurements(answer)) return std::nullopt;
    return live_.PublishMeasurement(answer, clock_.NowMs());
}

void StatusPollLoop::MeasureSinkCycle() {
    std::optional<Measurement> measured = Measure();
    if (measured) {
        const Measurement& m = *measured;
        uint16_t voltageMv = live_.sinkVoltageMv;
        bool voltageChanged = voltageMv != shownVoltageMv_;
        bool setpointChanged = m.loadSetpointMa != shownSetpointMa_ || !setpointShown_;
        bool loopbackOnly = !live_.sourceActive && live_.loopbackEnabled;
        bool showSource = live_.sourceActive || loopbackOnly;
        Capacity sink = SinkCapacity(live_), source = SourceCapacity(live_);
        Publish([&](Readouts& r) {
            if (voltageChanged) {
                r.voltageSliderMv.Set(voltageMv);
                r.voltageEditMv.Set(voltageMv);
            }
            if (setpointChanged) {
                r.currentSliderMa.Set(m.loadSetpointMa);
                r.currentEditMa.Set(m.loadSetpointMa);
            }
            r.sinkReadings.Set(m);
            r.temperatureC.Set(m.temperatureC);
            r.sinkCapacity.Set(sink);
            if (loopbackOnly) {
                // Loopback without a source profile: no profile and no capacity.
                r.sourceProfile.Set(std::nullopt);
                r.sourceRatedCurrentMa.Set(std::nullopt);
                r.sourceRequestedCurrentMa.Set(std::nullopt);
            }
            if (showSource) {
                r.sourceReadings.Set(m);
                r.sourceCapacity.Set(loopbackOnly ? std::nullopt : std::optional<Capacity>(source));
            }
        });
        shownVoltageMv_ = voltageMv;
        shownSetpointMa_ = m.loadSetpointMa;
        setpointShown_ = true;
        if (live_.testIdle) WatchVoltage(m);
        // While a test runs the readings stay near-continuous, so a test's
        // sample is never older than one cycle.
        Sleep(live_.testIdle ? kMeasureSleepMs : kTestSleepMs);
        ++measuredCycles_;
    }
    ServeRequests(measured.has_value());
}

void StatusPollLoop::MeasureSourceOnly() {
    std::optional<Measurement> measured = Measure();
    if (!measured) return;
    Capacity source = SourceCapacity(live_);
    Publish([&](Readouts& r) {
        r.temperatureC.Set(measured->temperatureC);
        r.sourceReadings.Set(*measured);
        r.sourceCapacity.Set(source);
    });
}

void StatusPollLoop::WatchVoltage(const Measurement& m) {
    int currentMa = m.sinkCurrentMa;
    int setpointMa = m.loadSetpointMa;
    if (currentMa == 0 || std::abs(currentMa - setpointMa) >= kWatchToleranceMa) return;

    const RunProfile profile = CopyRunProfile(live_);
    std::optional<VoltageLimits> limits =
        ComputeVoltageLimits(profile, static_cast<uint16_t>(setpointMa), static_cast<uint16_t>(currentMa));
    if (!limits) return;  // no limits are defined for an unknown profile

    float volts = m.SinkVolts();
    bool under = limits->minimumV > volts && currentMa > live_.loadCurrentLimit;
    bool over = !under && volts > limits->maximumV;
    // A fixed PD profile other than the one negotiated is not judged.
    if (profile.type == kProfilePd && profile.subtype == kSubtypeFixed) {
        SinkCapabilities caps = live_.Capabilities();
        uint8_t index = live_.sinkProfileIndex;
        if (index < caps.count && caps.entries[index].minimumMv != profile.voltageMv) under = over = false;
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
        // A load the tester did not take is asked for again next cycle: a
        // switch-off must reach a tester that was silent for a while.
        if (!tester_.SetLoadCurrent(live_.requestedLoadMa, live_.loadChangeSpeedMs))
            live_.loadCurrentPending.store(true, std::memory_order_release);
    } else if (resendSetpoint_ && measured) {
        resendSetpoint_ = false;
        tester_.SetLoadCurrent(live_.LatestMeasurement().loadSetpointMa, live_.loadChangeSpeedMs);
    }
    if (!Stopping() && live_.profileSelectPending.exchange(false, std::memory_order_acquire)) {
        int index = live_.requestedProfileIndex.load();
        SinkCapabilities caps = live_.Capabilities();
        // A selection that is not one of the listed profiles requests nothing.
        if (index >= 0 && index < caps.count) {
            const SinkCapability& entry = caps.entries[static_cast<size_t>(index)];
            tester_.RequestSinkProfile(static_cast<uint8_t>(index), entry.maximumMv);
            live_.sinkRatedCurrentMa =
                RatedCurrentMa(entry.ProfileType(), entry.ProfileSubtype(), entry.maximumCurrentMa, entry.maximumMv);
            uint16_t limit = RecomputeLoadCurrentLimit();
            Publish([limit](Readouts& r) {
                r.loadLimitMa.Set(limit);
                r.currentSliderMa.Set(0);
            });
        }
        Sleep(kRequestSettleMs);
    }
    if (!Stopping() && live_.voltageRequestPending.exchange(false, std::memory_order_acquire)) {
        uint16_t voltageMv = live_.requestedVoltageMv;
        Publish([voltageMv](Readouts& r) { r.voltageSliderMv.Set(voltageMv); });
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

// One log line per capability, after "Port detected capabilities:".
void StatusPollLoop::LogCapabilities(const SinkCapabilities& caps) {
    Log("Port detected capabilities:", kLogDiagnostics);
    for (size_t i = 0; i < caps.count; ++i) {
        const SinkCapability& entry = caps.entries[i];
        uint8_t type = entry.ProfileType(), subtype = entry.ProfileSubtype();
        std::string name(ProfileTypeName(type, subtype));
        double minimumV = Volts(entry.minimumMv), maximumV = Volts(entry.maximumMv);
        int maximumMa = RatedCurrentMa(type, subtype, entry.maximumCurrentMa, entry.maximumMv);
        Log(IsRangedProfile(type, subtype)
                ? Format("%s Voltage:%.2fV-%.2fV Max Current:%dmA", name.c_str(), minimumV, maximumV, maximumMa)
                : Format("%s Voltage:%.2fV Max Current:%dmA", name.c_str(), maximumV, maximumMa),
            kLogDiagnostics);
    }
}

// Enables the voltage edit, its "Set" button and slider for a ranged
// profile, with the slider over the selected capability's range.
void StatusPollLoop::SetUpVoltageControls(Readouts& r, const SinkCapabilities& caps, bool moveSlider) {
    uint8_t index = live_.sinkProfileIndex;
    bool ranged = IsRangedProfile(live_.sinkProfileType, live_.sinkProfileSubtype) && index < caps.count;
    if (ranged) {
        const SinkCapability& entry = caps.entries[index];
        r.voltageRange.Set({entry.minimumMv, entry.maximumMv, (entry.maximumMv - entry.minimumMv) / 200});
        if (moveSlider) r.voltageSliderMv.Set(live_.sinkVoltageMv);
    }
    r.voltageControlsEnabled.Set(ranged);
}

void StatusPollLoop::ShowRatedCurrentAndLimit(Readouts& r) {
    r.sinkRatedCurrentMa.Set(live_.sinkRatedCurrentMa.load());
    r.loadLimitMa.Set(live_.loadCurrentLimit.load());
    r.currentSliderMa.Set(0);
    // The next measurement puts the slider back on the set point the tester
    // reports, so slider and edit never disagree.
    setpointShown_ = false;
}

void StatusPollLoop::OnSinkAttached() {
    PortStatus status;
    if (ReadPortStatus(&status) && status.sinkAttached == 1) {
        RecomputeLoadCurrentLimit();
        ProfileKind kind{live_.sinkProfileType, live_.sinkProfileSubtype};
        Publish([kind](Readouts& r) {
            r.profileList.Set({});
            r.sinkProfile.Set(kind);
        });
        Sleep(kCapabilitySettleMs);
        if (Stopping()) return;
        SinkCapabilities caps;
        ProfileList list;
        if (ReadCapabilities(caps) && caps.count != 0) {
            if (!live_.capsLogged) LogCapabilities(caps);
            list = {caps, true, -1};
            live_.sinkActive = true;
        }
        live_.capsLogged = true;
        list.selected = live_.sinkProfileIndex;
        SinkCapabilities listed = live_.Capabilities();
        Publish([&](Readouts& r) {
            ShowRatedCurrentAndLimit(r);
            r.profileList.Set(list);
            SetUpVoltageControls(r, listed, true);
        });
    }
    Sleep(kIdleSleepMs);
    events_.port[PortEvents::kSinkAttached].Reset();
    uint8_t intervalS = live_.Settings().logIntervalS;
    if (live_.testIdle && intervalS != 0)
        Publish([intervalS](Readouts& r) { r.readingsLogPeriodMs.Set(intervalS * 1000u); });
}

// A tester that went away leaves no stale readings on screen, and the ports
// of the next one are read afresh.
void StatusPollLoop::ForgetPorts() {
    bool sinkWasActive = live_.sinkActive, sourceWasActive = live_.sourceActive;
    if (sinkWasActive) SinkNoLongerMeasured();
    live_.capsLogged = false;
    live_.sourceActive = false;
    if (sourceWasActive) Publish([](Readouts& r) { ClearSourceReadouts(r); });
}

// The one path for "the sink port is no longer measured": a detach, a lost
// or replaced tester. Every consumer waiting for a sink measurement wakes.
void StatusPollLoop::SinkNoLongerMeasured() {
    live_.capsLogged = false;
    live_.sinkActive = false;
    events_.sinkDetach.Set();
    Publish([](Readouts& r) { ClearSinkReadouts(r); });
}

void StatusPollLoop::ClearSinkReadouts(Readouts& r) {
    r.profileList.Set({});
    r.sinkProfile.Set(std::nullopt);
    r.sinkRatedCurrentMa.Set(std::nullopt);
    r.sinkReadings.Set(std::nullopt);
    r.temperatureC.Set(std::nullopt);
    r.currentEditMa.Set(0);
    r.sinkCapacity.Set(std::nullopt);
}

void StatusPollLoop::ClearSourceReadouts(Readouts& r) {
    r.sourceProfile.Set(std::nullopt);
    r.sourceRatedCurrentMa.Set(std::nullopt);
    r.sourceRequestedCurrentMa.Set(std::nullopt);
    r.sourceReadings.Set(std::nullopt);
    r.sourceCapacity.Set(std::nullopt);
}

void StatusPollLoop::OnSinkDetached() {
    events_.port[PortEvents::kSinkDetached].Reset();
    SinkNoLongerMeasured();
    ResetSinkCapacity(live_);
    Log("Sink Port detached", kLogDiagnostics);
    Publish([](Readouts& r) { r.readingsLogPeriodMs.Set(0); });
}

void StatusPollLoop::OnSinkProfileChanged() {
    events_.port[PortEvents::kSinkProfileChanged].Reset();
    bool statusOk = ReadPortStatus();
    live_.profileChanged = true;
    if (!statusOk) return;
    ProfileKind kind{live_.sinkProfileType, live_.sinkProfileSubtype};
    Publish([kind](Readouts& r) { r.sinkProfile.Set(kind); });
    SinkCapabilities caps;
    if (!ReadCapabilities(caps)) return;
    RecomputeLoadCurrentLimit();
    uint8_t index = live_.sinkProfileIndex;
    if (caps.count != 0) {
        Log("New profile selected", kLogDiagnostics);
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
    Publish([&](Readouts& r) {
        if (caps.count != 0) {
            r.profileList.Set({caps, true, index});
            SetUpVoltageControls(r, caps, false);
        } else {
            // An empty list keeps whether it can be opened.
            r.profileList.Set({{}, r.profileList.value.enabled, -1});
        }
        ShowRatedCurrentAndLimit(r);
    });
}

void StatusPollLoop::OnSinkCapabilityChanged() {
    events_.port[PortEvents::kSinkCapabilityChanged].Reset();
    // The notification carries no values: the port status has the new ones.
    // Without it there is nothing new to show or log.
    if (!ReadPortStatus()) return;
    uint16_t ratedMa = live_.sinkRatedCurrentMa;
    Publish([ratedMa](Readouts& r) {
        r.sinkRatedCurrentMa.Set(ratedMa);
        r.loadLimitMa.Set(ratedMa);
    });
    Log("Port capability changed", kLogDiagnostics);
    Log(Format("Voltage:%.2fV Max Current:%dmA", Volts(live_.sinkVoltageMv), ratedMa), kLogDiagnostics);
    // Measuring resumes once the next cycle has read the new capabilities.
    live_.sinkActive = false;
}

void StatusPollLoop::OnSourceAttached() {
    events_.port[PortEvents::kSourceAttached].Reset();
    Log("Source Port Attached", kLogDiagnostics);
}

void StatusPollLoop::OnSourceDetached() {
    events_.port[PortEvents::kSourceDetached].Reset();
    live_.sourceActive = false;
    Publish([](Readouts& r) { ClearSourceReadouts(r); });
    ResetSourceCapacity(live_);
    Log("Sorce Port detached", kLogDiagnostics);
}

void StatusPollLoop::OnSourceProfileChanged() {
    events_.port[PortEvents::kSourceProfileChanged].Reset();
    Log("Source Profile Changed", kLogDiagnostics);
    live_.sourceActive = true;
    PortStatus status;
    if (ReadPortStatus(&status) && status.sourceAttached == 1) {
        Publish([&status](Readouts& r) {
            r.sourceProfile.Set(
                SourceProfile{{status.sourceProfileType, status.sourceProfileSubtype}, status.sourceVoltageMv});
            r.sourceRatedCurrentMa.Set(status.sourceRatedCurrentMa);
            r.sourceRequestedCurrentMa.Set(status.sourceRequestedCurrentMa);
        });
        Log(Format("Src Type: Voltage:%.2fV Max Current:%dmA", Volts(status.sourceVoltageMv),
                   status.sourceRatedCurrentMa),
            kLogDiagnostics);
    }
    SourceTypeNames names;
    if (!tester_.GetSourceTypeNames(names)) return;
    {
        std::lock_guard<std::mutex> held(live_.namesLock);
        live_.sourceTypeNames = names.names;
    }
    SourceTypeList list{names.names, live_.selectedSourceType, true};
    Publish([&list](Readouts& r) { r.sourceTypes.Set(list); });
}

void StatusPollLoop::WatchLoopback() {
    bool requested = live_.loopbackRequested;
    if (!live_.connected || requested == live_.loopbackEnabled) return;
    live_.loopbackEnabled = requested;
    live_.configDirty = true;
    Log(requested ? "Loopback Mode Enabled" : "Loopback Mode Disabled", kLogDiagnostics);
}

void StatusPollLoop::SendConfigIfDirty() {
    if (!live_.configDirty.exchange(false, std::memory_order_acquire)) return;
    // One snapshot of the settings: never a mix of an old and a new set.
    uint8_t failed = 0;
    if (tester_.SetConfig(SinkSettingsToConfig(live_.Settings(), live_.loopbackEnabled, live_.sinkRatedCurrentMa),
                          &failed)) {
        return;
    }
    Log(Format("The Voltiq did not take the configuration: register 0x%02X (%s) failed", failed,
               ConfigRegisterName(failed)),
        kLogError);
}
