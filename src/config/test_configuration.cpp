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

// What OK stores from a number edit; a text that is not a number reads as 0.
int Number(const std::string& text) {
    return ParseUnsignedEdit(text).value_or(0);
}
uint16_t Setting(const std::string& text) {
    return static_cast<uint16_t>(Number(text));
}

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

// What OK reads: the choices and the number edits' texts.
struct TestConfiguration::Form {
    int forcedLimit, loadSpeed, profileIndex, sdp, usbc, logInterval;  // the selected items
    bool applyOnChange, voltageMax, currentMax, estimate, setOperating, cap2, pps, pd, epr, bc, qc;
    std::string voltage, current, cable, operating, cap2Mv, cap2Ma;

    // The operating current is a number unless left at "Max".
    bool OperatingNumber() const { return setOperating && operating != "Max"; }
    bool LogIntervalChosen() const { return logInterval >= 0 && logInterval < static_cast<int>(kLogIntervalsS.size()); }
};

// The fields OK may refuse, in the order it takes them: every field before
// the one refused is stored, none after it. One that is not a number stops
// OK before anything is stored.
enum class TestConfiguration::Field {
    kNotANumber,
    kVoltage,
    kCurrent,
    kCable,
    kOperating,
    kCap2Voltage,
    kCap2Current,
    kNone  // nothing refused
};

struct TestConfiguration::Rejection {
    Field field;
    std::string message;
    int editId = 0;  // the edit set to editText, none for kNotANumber
    std::string editText;
};

TestConfiguration::Form TestConfiguration::ReadForm() {
    Controls& d = parts_.dialog;
    Form f;
    f.forcedLimit = d.SelectedItem(IDC_TC_FORCED_LIMIT);
    f.loadSpeed = d.SelectedItem(IDC_TC_LOAD_SPEED);
    f.profileIndex = d.SelectedItem(IDC_TC_PROFILE_INDEX);
    f.sdp = d.SelectedItem(IDC_TC_SDP);
    f.usbc = d.SelectedItem(IDC_TC_USBC);
    f.logInterval = d.SelectedItem(IDC_TC_LOG_INTERVAL);
    f.applyOnChange = d.IsChecked(IDC_TC_APPLY_ON_CHANGE);
    f.voltageMax = d.IsChecked(IDC_TC_VOLTAGE_MAX);
    f.currentMax = d.IsChecked(IDC_TC_CURRENT_MAX);
    f.estimate = d.IsChecked(IDC_TC_ESTIMATE);
    f.setOperating = d.IsChecked(IDC_TC_SET_OPERATING);
    f.cap2 = d.IsChecked(IDC_TC_CAP2);
    f.pps = d.IsChecked(IDC_TC_PPS);
    f.pd = d.IsChecked(IDC_TC_PD);
    f.epr = d.IsChecked(IDC_TC_EPR);
    f.bc = d.IsChecked(IDC_TC_BC);
    f.qc = d.IsChecked(IDC_TC_QC);
    f.voltage = d.GetText(IDC_TC_VOLTAGE);
    f.current = d.GetText(IDC_TC_CURRENT);
    f.cable = d.GetText(IDC_TC_CABLE);
    f.operating = d.GetText(IDC_TC_OPERATING);
    f.cap2Mv = d.GetText(IDC_TC_CAP2_MV);
    f.cap2Ma = d.GetText(IDC_TC_CAP2_MA);
    return f;
}

std::optional<TestConfiguration::Rejection> TestConfiguration::FirstRejection(const Form& f) {
    // The number edits OK reads as the dialog stands, each with the name its
    // message gives it.
    struct Edit {
        const std::string& text;
        const char* name;
        bool read;
    };
    const Edit edits[] = {
        {f.voltage, "Default Voltage", !f.voltageMax},
        {f.current, "Default Current", !f.currentMax},
        {f.cable, "Cable Resistance", true},
        {f.operating, "Operating Current", f.OperatingNumber()},
        {f.cap2Mv, "Voltage of the sink's capability", f.cap2},
        {f.cap2Ma, "Current of the sink's capability", f.cap2},
    };
    for (const Edit& edit : edits) {
        if (edit.read && !ParseEditNumber(edit.text)) {
            return Rejection{Field::kNotANumber, Format("%s must be a whole number.", edit.name), 0, ""};
        }
    }
    if (!f.voltageMax && Number(f.voltage) > kMaximumVoltageMv) {
        return Rejection{Field::kVoltage, "Maximum value for Default Voltage is 21000mV", IDC_TC_VOLTAGE, "21000"};
    }
    if (!f.currentMax && Number(f.current) > kMaximumCurrentMa) {
        return Rejection{Field::kCurrent, "Maximum value for Default Current is 5000mA", IDC_TC_CURRENT, "5000"};
    }
    if (Number(f.cable) > kMaximumCableMilliohm) {
        return Rejection{Field::kCable, "Maximum value for Cable Resistance is 1000 milliohms", IDC_TC_CABLE, "0"};
    }
    if (f.OperatingNumber() && Number(f.operating) > kMaximumCurrentMa) {
        return Rejection{Field::kOperating, "Maximum value for Operating Current is 5000mA", IDC_TC_OPERATING, "Max"};
    }
    if (f.cap2 && Number(f.cap2Mv) > kMaximumVoltageMv) {
        return Rejection{Field::kCap2Voltage, "Maximum voltage of the sink's capability is 21000mV.", IDC_TC_CAP2_MV,
                         "21000"};
    }
    if (f.cap2 && Number(f.cap2Ma) > kMaximumCurrentMa) {
        return Rejection{Field::kCap2Current, "Maximum current of the sink's capability is 5000mA.", IDC_TC_CAP2_MA,
                         "5000"};
    }
    return std::nullopt;
}

SinkTestSettings TestConfiguration::FormSettings(const Form& f, SinkTestSettings s, Field stop) {
    if (s.currentLimitMode == kLimitForced && f.forcedLimit >= 0) {
        s.forcedLimitIndex = static_cast<uint16_t>(f.forcedLimit);
    }
    s.applyOnCapabilityChange = f.applyOnChange ? 1 : 0;
    if (f.loadSpeed >= 0 && f.loadSpeed < static_cast<int>(kLoadSpeedsMs.size())) {
        s.dialLoadChangeSpeedMs = kLoadSpeedsMs[f.loadSpeed];
    }
    s.autoProfileIndex = static_cast<uint8_t>(std::max(f.profileIndex, 0));
    if (stop == Field::kVoltage) return s;
    if (f.voltageMax) {
        s.autoVoltageMv = kMaximumVoltageMv;
        s.autoProfileIndex = kAutoProfileVoltageMax;
    } else {
        s.autoVoltageMv = Setting(f.voltage);
    }
    if (stop == Field::kCurrent) return s;
    s.autoCurrentMa = f.currentMax ? kCurrentNotSet : Setting(f.current);

    s.sdpCurrentLimitMa = f.sdp == 1 ? 900 : 500;
    s.usbcDefaultCurrentLimitMa = f.usbc == 1 ? 900 : f.usbc == 2 ? 1500 : 500;
    s.estimateUpstreamVbus = f.estimate;
    // A refused cable resistance or operating current is stored cleared.
    s.cableResistanceMilliohm = stop == Field::kCable ? 0 : Setting(f.cable);
    if (stop == Field::kCable) return s;
    s.operatingCurrentMa = f.OperatingNumber() && stop != Field::kOperating ? Setting(f.operating) : kCurrentNotSet;
    if (stop == Field::kOperating) return s;

    if (f.LogIntervalChosen()) s.logIntervalS = kLogIntervalsS[f.logInterval];
    s.ppsDetection = f.pps ? 1 : 0;
    s.pdDetection = f.pd ? kDetectionOn : kDetectionOff;
    s.eprDetection = f.epr ? kDetectionOn : kDetectionOff;
    s.bcDetection = f.bc ? kDetectionOn : kDetectionOff;
    s.qcDetection = f.qc ? kDetectionOn : kDetectionOff;
    if (stop == Field::kCap2Voltage) return s;
    s.sinkCap2Mv = f.cap2 ? Setting(f.cap2Mv) : kCurrentNotSet;
    if (stop == Field::kCap2Current) return s;
    s.sinkCap2Ma = f.cap2 ? Setting(f.cap2Ma) : kCurrentNotSet;
    return s;
}

// Stores the settings and shows what follows from them, as far as OK got:
// the load limit always; the VBUS label and an unset operating current's
// "Max" past the cable resistance; the readings timer past the operating
// current.
void TestConfiguration::Apply(const Form& f, const SinkTestSettings& s, Field stop) {
    LiveState& live = parts_.live;
    ShowLoadLimit(LoadCurrentLimit(s.currentLimitMode, s.forcedLimitIndex, live.sinkRatedCurrentMa));
    limitChanged_ = true;
    if (stop > Field::kCable) {
        ShowVbusLabel(s.estimateUpstreamVbus);
        if (!f.setOperating) parts_.dialog.SetText(IDC_TC_OPERATING, "Max");
    }
    if (stop > Field::kOperating && f.LogIntervalChosen()) {
        if (s.logIntervalS == 0) {
            parts_.mainWindow.StopTimer(IDT_READINGS_LOG);
        } else if (live.testIdle) {
            parts_.mainWindow.StartTimer(IDT_READINGS_LOG, s.logIntervalS * 1000u);
        }
    }
    live.SetSettings(s);
}

bool TestConfiguration::Ok() {
    const Form form = ReadForm();
    const std::optional<Rejection> rejection = FirstRejection(form);
    const Field stop = rejection ? rejection->field : Field::kNone;
    if (stop != Field::kNotANumber) Apply(form, FormSettings(form, parts_.live.Settings(), stop), stop);
    if (!rejection) {
        parts_.live.configDirty.store(true, std::memory_order_release);
        return true;
    }
    parts_.prompts.ShowMessage(rejection->message, kErrorTitle, Prompts::kOk | Prompts::kIconError);
    if (rejection->editId != 0) parts_.dialog.SetText(rejection->editId, rejection->editText);
    return false;
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
