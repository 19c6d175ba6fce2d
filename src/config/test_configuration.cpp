#include "config/test_configuration.h"

#include <algorithm>
#include <array>

#include "config/edit_number.h"
#include "monitor/sink_test_settings.h"
#include "monitor/voltage_limits.h"
#include "platform/format.h"
#include "ui/config_ids.h"
#include "ui/main_window_ids.h"

namespace {

constexpr const char* kErrorTitle = "Ampwright Error";
constexpr size_t kConfirmWordCharacters = 63;
constexpr uint16_t kMaximumVoltageMv = 21000;
constexpr uint16_t kMaximumCurrentMa = 5000;
constexpr uint16_t kMaximumCableMilliohm = 1000;

constexpr std::array<uint16_t, 6> kLoadSpeedsMs = {20, 50, 100, 200, 500, 1000};
constexpr std::array<uint8_t, 5> kLogIntervalsS = {0, 1, 10, 30, 60};
constexpr std::array<const char*, 10> kForcedLimits = {"1A",   "1.5A", "2A",   "2.5A", "3A",
                                                       "3.5A", "4A",   "4.5A", "5A",   "5.5A"};

template <typename T, size_t N>
int IndexOf(const std::array<T, N>& values, T value) {
    for (size_t i = 0; i < N; ++i) {
        if (values[i] == value) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

bool DangerConfirmation::IsConfirmWord(const std::string& text) {
    return text == "confirm" || text == "Confirm" || text == "CONFIRM";
}

bool DangerConfirmation::OnAccept() {
    std::string word = dialog_.GetText(IDC_DANGER_WORD).substr(0, kConfirmWordCharacters);
    if (IsConfirmWord(word)) return true;
    prompts_.ShowMessage("Type the word 'confirm' and then click on the 'I accept the risk' button", "Ampwright",
                         Prompts::kOk | Prompts::kIconWarning);
    return false;
}

int TestConfiguration::Number(int id) {
    return ParseUnsignedEdit(parts_.dialog.GetText(id)).value_or(0);
}

void TestConfiguration::Open() {
    // What the tester holds now; the current limit mode, which it does not
    // report, is the one last sent. A failed read shows what the cache holds.
    // Settings an OK stored that the poll loop has not sent yet are what the
    // tester is about to hold: they are shown, never the old registers.
    if (!parts_.live.configDirty.load(std::memory_order_acquire)) {
        TesterConfig config;
        parts_.tester.GetConfig(config);
        parts_.live.UpdateSettings([&config](SinkTestSettings& s) { LoadSinkSettings(config, s); });
    }
    opened_ = parts_.live.Settings();
    limitChanged_ = false;
    FillControls(opened_);
}

void TestConfiguration::FillControls(const SinkTestSettings& s) {
    Controls& d = parts_.dialog;
    d.SetCheck(IDC_TC_ENFORCE, s.currentLimitMode == kLimitEnforce);
    d.SetCheck(IDC_TC_ALLOW_OVER, s.currentLimitMode == kLimitAllowOver);
    d.SetCheck(IDC_TC_FORCE, s.currentLimitMode == kLimitForced);
    d.ClearItems(IDC_TC_FORCED_LIMIT);
    for (const char* limit : kForcedLimits)
        d.AddItem(IDC_TC_FORCED_LIMIT, limit);
    d.SelectItem(IDC_TC_FORCED_LIMIT, s.forcedLimitIndex < kForcedLimits.size() ? s.forcedLimitIndex : -1);
    d.Enable(IDC_TC_FORCED_LIMIT, s.currentLimitMode == kLimitForced);

    d.SetCheck(IDC_TC_AUTO_ENABLE, true);
    d.SetCheck(IDC_TC_APPLY_ON_CHANGE, s.applyOnCapabilityChange != 0);
    d.ClearItems(IDC_TC_LOAD_SPEED);
    for (uint16_t ms : kLoadSpeedsMs)
        d.AddItem(IDC_TC_LOAD_SPEED, std::to_string(ms));
    d.SelectItem(IDC_TC_LOAD_SPEED, IndexOf(kLoadSpeedsMs, s.dialLoadChangeSpeedMs));

    d.ClearItems(IDC_TC_PROFILE_INDEX);
    d.AddItem(IDC_TC_PROFILE_INDEX, "Auto");
    for (int i = 1; i <= 20; ++i)
        d.AddItem(IDC_TC_PROFILE_INDEX, std::to_string(i));
    d.SelectItem(IDC_TC_PROFILE_INDEX, s.autoProfileIndex < kAutoProfileVoltageMax ? s.autoProfileIndex : 0);
    bool voltageMax = s.autoProfileIndex == kAutoProfileVoltageMax;
    d.SetCheck(IDC_TC_VOLTAGE_MAX, voltageMax);
    d.SetText(IDC_TC_VOLTAGE, voltageMax ? "Max" : std::to_string(s.autoVoltageMv));
    d.Enable(IDC_TC_VOLTAGE, !voltageMax);
    d.Enable(IDC_TC_PROFILE_INDEX, !voltageMax);
    bool currentMax = s.autoCurrentMa == kCurrentNotSet;
    d.SetCheck(IDC_TC_CURRENT_MAX, currentMax);
    d.SetText(IDC_TC_CURRENT, currentMax ? "Max" : std::to_string(s.autoCurrentMa));
    d.Enable(IDC_TC_CURRENT, !currentMax);

    d.ClearItems(IDC_TC_SDP);
    d.AddItem(IDC_TC_SDP, "500mA");
    d.AddItem(IDC_TC_SDP, "900mA");
    d.SelectItem(IDC_TC_SDP, s.sdpCurrentLimitMa != 500 ? 1 : 0);
    d.ClearItems(IDC_TC_USBC);
    for (const char* item : {"500mA", "900mA", "1500mA"})
        d.AddItem(IDC_TC_USBC, item);
    d.SelectItem(IDC_TC_USBC, s.usbcDefaultCurrentLimitMa == 900 ? 1 : s.usbcDefaultCurrentLimitMa == 1500 ? 2 : 0);

    d.SetCheck(IDC_TC_ESTIMATE, s.estimateUpstreamVbus);
    d.Show(IDC_TC_CABLE_LABEL, s.estimateUpstreamVbus);
    d.Show(IDC_TC_CABLE, s.estimateUpstreamVbus);
    d.SetText(IDC_TC_CABLE, std::to_string(s.cableResistanceMilliohm));

    bool operating = s.operatingCurrentMa < kCurrentNotSet;
    d.SetCheck(IDC_TC_SET_OPERATING, operating);
    d.SetText(IDC_TC_OPERATING, operating ? std::to_string(s.operatingCurrentMa) : "Max");
    d.Enable(IDC_TC_OPERATING, operating);

    d.ClearItems(IDC_TC_LOG_INTERVAL);
    for (const char* item : {"Disabled", "1", "10", "30", "60"})
        d.AddItem(IDC_TC_LOG_INTERVAL, item);
    d.SelectItem(IDC_TC_LOG_INTERVAL, IndexOf(kLogIntervalsS, s.logIntervalS));

    d.SetCheck(IDC_TC_PPS, s.ppsDetection != 0);
    d.SetCheck(IDC_TC_PD, s.pdDetection == kDetectionOn);
    d.Enable(IDC_TC_PPS, s.pdDetection == kDetectionOn);
    d.SetCheck(IDC_TC_EPR, s.eprDetection == kDetectionOn);
    d.SetCheck(IDC_TC_BC, s.bcDetection == kDetectionOn);
    d.SetCheck(IDC_TC_QC, s.qcDetection == kDetectionOn);

    d.SetCheck(IDC_TC_CAP1, true);
    d.Enable(IDC_TC_CAP1, false);
    bool cap2 = !(s.sinkCap2Mv == kCurrentNotSet && s.sinkCap2Ma == kCurrentNotSet);
    d.SetCheck(IDC_TC_CAP2, cap2);
    d.SetText(IDC_TC_CAP2_MV, cap2 ? std::to_string(s.sinkCap2Mv) : "");
    d.SetText(IDC_TC_CAP2_MA, cap2 ? std::to_string(s.sinkCap2Ma) : "");
    d.Enable(IDC_TC_CAP2_MV, cap2);
    d.Enable(IDC_TC_CAP2_MA, cap2);
}

void TestConfiguration::OnCommand(int id) {
    Controls& d = parts_.dialog;
    switch (id) {
        case IDC_TC_PD:
            d.SetCheck(IDC_TC_PPS, d.IsChecked(IDC_TC_PD));
            d.Enable(IDC_TC_PPS, d.IsChecked(IDC_TC_PD));
            break;
        case IDC_TC_PPS:
            if (!d.IsChecked(IDC_TC_PD)) d.SetCheck(IDC_TC_PPS, false);
            break;
        case IDC_TC_AUTO_ENABLE:
            OnAutoEnable();
            break;
        case IDC_TC_VOLTAGE_MAX:
            OnVoltageMax();
            break;
        case IDC_TC_CURRENT_MAX:
            OnCurrentMax();
            break;
        case IDC_TC_SET_OPERATING: {
            bool checked = d.IsChecked(IDC_TC_SET_OPERATING);
            uint16_t operatingMa = parts_.live.Settings().operatingCurrentMa;
            d.SetText(IDC_TC_OPERATING, checked && operatingMa != kCurrentNotSet ? std::to_string(operatingMa) : "Max");
            d.Enable(IDC_TC_OPERATING, checked);
            break;
        }
        case IDC_TC_CAP2: {
            bool checked = d.IsChecked(IDC_TC_CAP2);
            if (!checked) {
                d.SetText(IDC_TC_CAP2_MV, "");
                d.SetText(IDC_TC_CAP2_MA, "");
            }
            d.Enable(IDC_TC_CAP2_MV, checked);
            d.Enable(IDC_TC_CAP2_MA, checked);
            break;
        }
        case IDC_TC_ESTIMATE: {
            bool checked = d.IsChecked(IDC_TC_ESTIMATE);
            parts_.live.UpdateSettings([checked](SinkTestSettings& s) { s.estimateUpstreamVbus = checked; });
            d.Show(IDC_TC_CABLE_LABEL, checked);
            d.Show(IDC_TC_CABLE, checked);
            break;
        }
        case IDC_TC_ENFORCE:
            SetMode(kLimitEnforce);
            break;
        case IDC_TC_ALLOW_OVER:
            OnDangerousMode(kLimitAllowOver, IDC_TC_ALLOW_OVER, parts_.acceptance.overLimit);
            break;
        case IDC_TC_FORCE:
            OnDangerousMode(kLimitForced, IDC_TC_FORCE, parts_.acceptance.forcedLimit);
            break;
        default:
            break;
    }
}

void TestConfiguration::OnAutoEnable() {
    Controls& d = parts_.dialog;
    bool enabled = d.IsChecked(IDC_TC_AUTO_ENABLE);
    if (!enabled) {
        d.SetCheck(IDC_TC_APPLY_ON_CHANGE, false);
        d.SelectItem(IDC_TC_PROFILE_INDEX, 0);
        d.SetText(IDC_TC_VOLTAGE, "5000");
        d.SetText(IDC_TC_CURRENT, "0");
        d.SetCheck(IDC_TC_VOLTAGE_MAX, false);
        d.SetCheck(IDC_TC_CURRENT_MAX, false);
    }
    for (int id : {IDC_TC_APPLY_ON_CHANGE, IDC_TC_PROFILE_INDEX, IDC_TC_VOLTAGE, IDC_TC_CURRENT, IDC_TC_VOLTAGE_MAX,
                   IDC_TC_CURRENT_MAX}) {
        d.Enable(id, enabled);
    }
}

void TestConfiguration::OnVoltageMax() {
    Controls& d = parts_.dialog;
    bool max = d.IsChecked(IDC_TC_VOLTAGE_MAX);
    SinkTestSettings s = parts_.live.Settings();
    d.SetText(IDC_TC_VOLTAGE, max ? "Max" : std::to_string(s.autoVoltageMv));
    d.Enable(IDC_TC_VOLTAGE, !max);
    d.Enable(IDC_TC_PROFILE_INDEX, !max);
    d.SelectItem(IDC_TC_PROFILE_INDEX, !max && s.autoProfileIndex < kAutoProfileVoltageMax ? s.autoProfileIndex : 0);
}

void TestConfiguration::OnCurrentMax() {
    Controls& d = parts_.dialog;
    bool max = d.IsChecked(IDC_TC_CURRENT_MAX);
    uint16_t currentMa = parts_.live.Settings().autoCurrentMa;
    d.SetText(IDC_TC_CURRENT, max ? "Max" : currentMa == kCurrentNotSet ? "0" : std::to_string(currentMa));
    d.Enable(IDC_TC_CURRENT, !max);
}

void TestConfiguration::SetMode(uint32_t mode) {
    parts_.live.UpdateSettings([mode](SinkTestSettings& s) { s.currentLimitMode = mode; });
    parts_.dialog.Enable(IDC_TC_FORCED_LIMIT, mode == kLimitForced);
}

void TestConfiguration::OnDangerousMode(uint32_t mode, int buttonId, bool& accepted) {
    if (parts_.live.Settings().currentLimitMode == mode) return;
    if (!accepted && !parts_.confirmDanger()) {
        Controls& d = parts_.dialog;
        SetMode(kLimitEnforce);
        d.SetCheck(IDC_TC_ENFORCE, true);
        d.SetCheck(buttonId, false);
        // An automatic radio button that gets the focus back checks itself.
        d.SetFocus(IDC_TC_ENFORCE);
        return;
    }
    accepted = true;
    SetMode(mode);
}

void TestConfiguration::ShowLoadLimit(uint16_t limitMa) {
    Controls& main = parts_.mainWindow;
    uint16_t setpointMa = parts_.live.LatestMeasurement().loadSetpointMa;
    parts_.live.loadCurrentLimit = limitMa;
    main.SetText(IDC_CURRENT_SLIDER_MAX, Format("%dmA", limitMa));
    main.SetRange(IDC_CURRENT_SLIDER, 0, limitMa);
    main.SetPosition(IDC_CURRENT_SLIDER, setpointMa);
    main.SetText(IDC_CURRENT_EDIT, Format("%d", setpointMa));
}

bool TestConfiguration::Reject(const std::string& message, int editId, const std::string& editText) {
    parts_.prompts.ShowMessage(message, kErrorTitle, Prompts::kOk | Prompts::kIconError);
    parts_.dialog.SetText(editId, editText);
    return false;
}

// The number edits OK reads, each with the name its message gives it, and
// whether OK reads it as the dialog stands.
std::optional<std::string> TestConfiguration::NotAWholeNumber() {
    Controls& d = parts_.dialog;
    struct Field {
        int id;
        const char* name;
        bool read;
    };
    const Field fields[] = {
        {IDC_TC_VOLTAGE, "Default Voltage", !d.IsChecked(IDC_TC_VOLTAGE_MAX)},
        {IDC_TC_CURRENT, "Default Current", !d.IsChecked(IDC_TC_CURRENT_MAX)},
        {IDC_TC_CABLE, "Cable Resistance", true},
        {IDC_TC_OPERATING, "Operating Current",
         d.IsChecked(IDC_TC_SET_OPERATING) && d.GetText(IDC_TC_OPERATING) != "Max"},
        {IDC_TC_CAP2_MV, "Voltage of the sink's capability", d.IsChecked(IDC_TC_CAP2)},
        {IDC_TC_CAP2_MA, "Current of the sink's capability", d.IsChecked(IDC_TC_CAP2)},
    };
    for (const Field& field : fields) {
        if (field.read && !ParseEditNumber(d.GetText(field.id))) {
            return Format("%s must be a whole number.", field.name);
        }
    }
    return std::nullopt;
}

bool TestConfiguration::Ok() {
    Controls& d = parts_.dialog;
    LiveState& live = parts_.live;
    // A field that is not a number stores nothing at all.
    if (std::optional<std::string> problem = NotAWholeNumber()) {
        parts_.prompts.ShowMessage(*problem, kErrorTitle, Prompts::kOk | Prompts::kIconError);
        return false;
    }
    SinkTestSettings s = live.Settings();
    // Each step takes effect at once: a rejected field leaves the ones
    // before it stored.
    auto stopAt = [&](const std::string& message, int editId, const std::string& editText) {
        live.SetSettings(s);
        return Reject(message, editId, editText);
    };

    if (s.currentLimitMode == kLimitForced) {
        int index = d.SelectedItem(IDC_TC_FORCED_LIMIT);
        if (index >= 0) s.forcedLimitIndex = static_cast<uint16_t>(index);
    }
    ShowLoadLimit(LoadCurrentLimit(s.currentLimitMode, s.forcedLimitIndex, live.sinkRatedCurrentMa));
    limitChanged_ = true;

    s.applyOnCapabilityChange = d.IsChecked(IDC_TC_APPLY_ON_CHANGE) ? 1 : 0;
    int speed = d.SelectedItem(IDC_TC_LOAD_SPEED);
    if (speed >= 0 && speed < static_cast<int>(kLoadSpeedsMs.size())) s.dialLoadChangeSpeedMs = kLoadSpeedsMs[speed];

    s.autoProfileIndex = static_cast<uint8_t>(std::max(d.SelectedItem(IDC_TC_PROFILE_INDEX), 0));
    if (d.IsChecked(IDC_TC_VOLTAGE_MAX)) {
        s.autoVoltageMv = kMaximumVoltageMv;
        s.autoProfileIndex = kAutoProfileVoltageMax;
    } else {
        int mv = Number(IDC_TC_VOLTAGE);
        if (mv > kMaximumVoltageMv)
            return stopAt("Maximum value for Default Voltage is 21000mV", IDC_TC_VOLTAGE, "21000");
        s.autoVoltageMv = static_cast<uint16_t>(mv);
    }
    if (d.IsChecked(IDC_TC_CURRENT_MAX)) {
        s.autoCurrentMa = kCurrentNotSet;
    } else {
        int ma = Number(IDC_TC_CURRENT);
        if (ma > kMaximumCurrentMa)
            return stopAt("Maximum value for Default Current is 5000mA", IDC_TC_CURRENT, "5000");
        s.autoCurrentMa = static_cast<uint16_t>(ma);
    }

    s.sdpCurrentLimitMa = d.SelectedItem(IDC_TC_SDP) == 1 ? 900 : 500;
    int usbc = d.SelectedItem(IDC_TC_USBC);
    s.usbcDefaultCurrentLimitMa = usbc == 1 ? 900 : usbc == 2 ? 1500 : 500;
    s.estimateUpstreamVbus = d.IsChecked(IDC_TC_ESTIMATE);
    int cable = Number(IDC_TC_CABLE);
    if (cable > kMaximumCableMilliohm) {
        s.cableResistanceMilliohm = 0;
        return stopAt("Maximum value for Cable Resistance is 1000 milliohms", IDC_TC_CABLE, "0");
    }
    s.cableResistanceMilliohm = static_cast<uint16_t>(cable);
    ShowVbusLabel(s.estimateUpstreamVbus);

    if (!d.IsChecked(IDC_TC_SET_OPERATING)) {
        s.operatingCurrentMa = kCurrentNotSet;
        d.SetText(IDC_TC_OPERATING, "Max");
    } else if (d.GetText(IDC_TC_OPERATING) == "Max") {
        s.operatingCurrentMa = kCurrentNotSet;
    } else {
        int ma = Number(IDC_TC_OPERATING);
        if (ma > kMaximumCurrentMa) {
            s.operatingCurrentMa = kCurrentNotSet;
            return stopAt("Maximum value for Operating Current is 5000mA", IDC_TC_OPERATING, "Max");
        }
        s.operatingCurrentMa = static_cast<uint16_t>(ma);
    }

    int interval = d.SelectedItem(IDC_TC_LOG_INTERVAL);
    if (interval >= 0 && interval < static_cast<int>(kLogIntervalsS.size())) {
        s.logIntervalS = kLogIntervalsS[interval];
        if (s.logIntervalS == 0) {
            parts_.mainWindow.StopTimer(IDT_READINGS_LOG);
        } else if (live.testIdle) {
            parts_.mainWindow.StartTimer(IDT_READINGS_LOG, s.logIntervalS * 1000u);
        }
    }

    s.ppsDetection = d.IsChecked(IDC_TC_PPS) ? 1 : 0;
    s.pdDetection = d.IsChecked(IDC_TC_PD) ? kDetectionOn : kDetectionOff;
    s.eprDetection = d.IsChecked(IDC_TC_EPR) ? kDetectionOn : kDetectionOff;
    s.bcDetection = d.IsChecked(IDC_TC_BC) ? kDetectionOn : kDetectionOff;
    s.qcDetection = d.IsChecked(IDC_TC_QC) ? kDetectionOn : kDetectionOff;

    if (d.IsChecked(IDC_TC_CAP2)) {
        int mv = Number(IDC_TC_CAP2_MV);
        if (mv > kMaximumVoltageMv) {
            return stopAt("Maximum voltage of the sink's capability is 21000mV.", IDC_TC_CAP2_MV, "21000");
        }
        s.sinkCap2Mv = static_cast<uint16_t>(mv);
        int ma = Number(IDC_TC_CAP2_MA);
        if (ma > kMaximumCurrentMa) {
            return stopAt("Maximum current of the sink's capability is 5000mA.", IDC_TC_CAP2_MA, "5000");
        }
        s.sinkCap2Ma = static_cast<uint16_t>(ma);
    } else {
        s.sinkCap2Mv = kCurrentNotSet;
        s.sinkCap2Ma = kCurrentNotSet;
    }

    live.SetSettings(s);
    live.configDirty.store(true, std::memory_order_release);
    return true;
}

void TestConfiguration::ShowVbusLabel(bool upstream) {
    parts_.mainWindow.SetText(IDC_SINK_VBUS_LABEL, upstream ? "Upstream VBUS" : "Downstream VBUS");
}

void TestConfiguration::Cancel() {
    // Nothing chosen here and then cancelled reached the tester, so nothing
    // of it stays: not a mode or an estimate clicked, nor the fields a
    // rejected OK stored before the one it refused, nor the limit and the
    // label that OK showed.
    SinkTestSettings now = parts_.live.Settings();
    parts_.live.SetSettings(opened_);
    if (limitChanged_ || !(now == opened_)) {
        ShowLoadLimit(
            LoadCurrentLimit(opened_.currentLimitMode, opened_.forcedLimitIndex, parts_.live.sinkRatedCurrentMa));
        ShowVbusLabel(opened_.estimateUpstreamVbus);
    }
}
