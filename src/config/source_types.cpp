#include "config/source_types.h"

#include <algorithm>

#include "config/edit_number.h"
#include "platform/format.h"
#include "platform/text.h"
#include "ui/config_ids.h"
#include "ui/main_window_ids.h"
#include "ui/source_type_list.h"

namespace {

constexpr const char* kErrorTitle = "Ampwright: Error";
constexpr uint8_t kOptionOff = 255;
constexpr size_t kNameCharacters = 15;
constexpr size_t kNameBytes = 15;
constexpr size_t kEditCharacters = 15;
constexpr uint8_t kFixed = 0, kProgrammable = 1;
constexpr int kMinimumMv = 3300, kMaximumMv = 21000, kMinimumMa = 100, kMaximumMa = 5000;

constexpr const char* kUsbcItems[] = {"500 mA", "1.5 A", "3 A"};
constexpr const char* kBcItems[] = {
    "SDP", "DCP", "SAMSUNG 2A + DCP", "QC3 12V Max", "QC 20V Max", "SAMSUNG 2A + QC3 12V", "SAMSUNG 2A + QC3 20V"};
constexpr const char* kAppleItems[] = {"None", "500 mA", "1 A", "2.1 A", "2.4 A", "3 A"};

// The control ids of profile k.
int CheckId(size_t k) {
    return IDC_SRC_PROFILE + 5 * static_cast<int>(k);
}
int TypeId(size_t k) {
    return CheckId(k) + 1;
}
int MinimumId(size_t k) {
    return CheckId(k) + 2;
}
int MaximumId(size_t k) {
    return CheckId(k) + 3;
}
int CurrentId(size_t k) {
    return CheckId(k) + 4;
}
int MinimumLabelId(size_t k) {
    return IDC_SRC_MIN_LABEL + 2 * static_cast<int>(k);
}
int MaximumLabelId(size_t k) {
    return MinimumLabelId(k) + 1;
}

// The profile whose control this is, or -1.
int ProfileOf(int id) {
    int offset = id - IDC_SRC_PROFILE;
    if (offset < 0 || offset >= 5 * static_cast<int>(SourceTypeRecord::kMaxProfiles)) return -1;
    return offset / 5;
}

// The first `units` UTF-16 units, as an edit counts its characters.
std::string CutToUtf16Units(const std::string& text, size_t units) {
    std::u16string wide = Utf8ToUtf16(text);
    if (wide.size() > units) wide.resize(units);
    // Never half of a surrogate pair.
    if (!wide.empty() && wide.back() >= 0xD800 && wide.back() <= 0xDBFF) wide.pop_back();
    return Utf16ToUtf8(wide);
}

template <size_t N>
void Fill(Controls& dialog, int id, const char* const (&items)[N], int selected) {
    dialog.ClearItems(id);
    for (const char* item : items)
        dialog.AddItem(id, item);
    dialog.SelectItem(id, selected < static_cast<int>(N) ? selected : -1);
}

const SourceProfileSetting kFiveVolts = {true, kFixed, 5000, 5000, 3000};

}  // namespace

SourceTypeConfig SourceTypeFromRecord(const SourceTypeRecord& record) {
    SourceTypeConfig c;
    c.usbcEnabled = record.usbcChoice != kOptionOff;
    c.usbcCurrent = c.usbcEnabled ? record.usbcChoice : 0;
    c.bcEnabled = record.batteryChargingChoice != kOptionOff;
    c.bcMode = c.bcEnabled ? record.batteryChargingChoice : 0;
    c.appleEnabled = record.appleChoice != 0 && record.appleChoice != kOptionOff;
    c.appleMode = c.appleEnabled ? record.appleChoice : 0;
    for (size_t k = 0; k < c.pd.size(); ++k) {
        const SourcePdProfile& p = record.pdProfiles[k];
        c.pd[k] = {k < record.pdProfileCount, p.type, p.minimumMv, p.maximumMv, p.currentMa};
    }
    return c;
}

SourceTypeRecord SourceTypeToRecord(const SourceTypeConfig& c, const std::string& name) {
    SourceTypeRecord r;
    r.name = name;
    r.usbcChoice = c.usbcCurrent;
    r.batteryChargingChoice = c.bcMode;
    r.appleChoice = c.appleMode;
    for (const SourceProfileSetting& p : c.pd) {
        if (!p.enabled) continue;
        uint16_t minimumMv = p.type == kFixed ? p.maximumMv : p.minimumMv;
        r.pdProfiles[r.pdProfileCount++] = {p.type, minimumMv, p.maximumMv, p.currentMa};
    }
    return r;
}

std::optional<std::string> SourceTypeProblem(const SourceTypeConfig& c, const std::string& name) {
    // The tester keeps a name in 15 bytes of UTF-8: an accented letter takes
    // two of them.
    if (name.empty() || name.size() > kNameBytes) {
        return "Invalid SRC Type Name\r\nThe Voltiq keeps 15 bytes of a name: up to 15 plain letters, fewer with "
               "accented letters or symbols.";
    }
    for (size_t k = 0; k < c.pd.size(); ++k) {
        const SourceProfileSetting& p = c.pd[k];
        int n = static_cast<int>(k + 1);
        if (!p.enabled) continue;
        if (p.maximumMv < kMinimumMv || p.maximumMv > kMaximumMv) {
            return Format("Invalid Max Voltage for PD Profile %d\r\nSelect between 3300mV - 21000mV", n);
        }
        if (p.currentMa < kMinimumMa || p.currentMa > kMaximumMa) {
            return Format("Invalid Max Current for PD Profile %d\r\nSelect between 100mA - 5000mA", n);
        }
        if (p.type == kProgrammable && (p.minimumMv < kMinimumMv || p.minimumMv > p.maximumMv)) {
            return Format("Invalid Min Voltage for PD Profile %d\r\nSelect between 3300mV - %umV", n,
                          static_cast<unsigned>(p.maximumMv));
        }
    }
    return std::nullopt;
}

// An enabled profile's edit whose text is not a whole number.
std::optional<std::string> SourceTypes::NotAWholeNumber() {
    for (size_t k = 0; k < config_.pd.size(); ++k) {
        if (!config_.pd[k].enabled) continue;
        int n = static_cast<int>(k + 1);
        if (notNumbers_.count(MinimumId(k)) && config_.pd[k].type == kProgrammable)
            return Format("Min Voltage for PD Profile %d must be a whole number.", n);
        if (notNumbers_.count(MaximumId(k))) return Format("Max Voltage for PD Profile %d must be a whole number.", n);
        if (notNumbers_.count(CurrentId(k))) return Format("Max Current for PD Profile %d must be a whole number.", n);
    }
    return std::nullopt;
}

int SourceTypes::SelectedType() {
    return parts_.dialog.SelectedItem(IDC_SRC_TYPE);
}

void SourceTypes::FillTypeList() {
    ListSourceTypes(parts_.dialog, IDC_SRC_TYPE, names_, SelectedType());
}

void SourceTypes::Open() {
    SourceTypeNames names;
    if (parts_.tester.GetSourceTypeNames(names)) {
        names_ = names.names;
        selectedType_ = names.selectedIndex;
    }
    FillTypeList();
    parts_.dialog.SelectItem(IDC_SRC_TYPE, selectedType_);
    ShowType(selectedType_, false);
}

void SourceTypes::ShowType(int index, bool picked) {
    SourceTypeRecord record;
    if (parts_.tester.GetSourceTypeConfig(static_cast<uint8_t>(index), record)) {
        config_ = SourceTypeFromRecord(record);
    } else {
        parts_.prompts.ShowMessage(
            Format("Unable to read source type %d from the Voltiq.\nThe values shown are the previous ones.",
                   index + 1),
            kErrorTitle, Prompts::kOk | Prompts::kIconError);
    }
    config_.usbcEnabled = true;
    config_.bcEnabled = true;
    ShowConfig();
    if (picked) {
        filling_ = true;
        parts_.dialog.SetText(IDC_SRC_NAME, names_[static_cast<size_t>(index)]);
        filling_ = false;
    }
}

void SourceTypes::FillAppleList() {
    Controls& d = parts_.dialog;
    if (config_.appleEnabled) {
        Fill(d, IDC_SRC_APPLE, kAppleItems, config_.appleMode);
    } else {
        config_.appleMode = 0;
        d.ClearItems(IDC_SRC_APPLE);
    }
    d.Enable(IDC_SRC_APPLE, config_.appleEnabled);
}

void SourceTypes::ShowConfig() {
    Controls& d = parts_.dialog;
    filling_ = true;
    d.SetCheck(IDC_SRC_USBC_CHECK, true);
    d.Enable(IDC_SRC_USBC_CHECK, false);
    Fill(d, IDC_SRC_USBC, kUsbcItems, config_.usbcCurrent);
    d.SetCheck(IDC_SRC_BC_CHECK, true);
    d.Enable(IDC_SRC_BC_CHECK, false);
    Fill(d, IDC_SRC_BC, kBcItems, config_.bcMode);
    d.SetCheck(IDC_SRC_APPLE_CHECK, config_.appleEnabled);
    FillAppleList();
    for (size_t k = 0; k < config_.pd.size(); ++k)
        ShowProfile(k);
    filling_ = false;
}

void SourceTypes::ShowProfile(size_t k) {
    Controls& d = parts_.dialog;
    const SourceProfileSetting& p = config_.pd[k];
    bool wasFilling = filling_;
    filling_ = true;
    for (int id : {MinimumId(k), MaximumId(k), CurrentId(k)})
        notNumbers_.erase(id);
    bool pps = p.type == kProgrammable;
    d.SetCheck(CheckId(k), p.enabled);
    d.ClearItems(TypeId(k));
    if (p.enabled) {
        d.AddItem(TypeId(k), "PD_FIX");
        d.AddItem(TypeId(k), "PD_PPS");
        d.SelectItem(TypeId(k), pps ? 1 : 0);
    }
    d.Enable(TypeId(k), p.enabled && k > 0);
    d.Show(MinimumId(k), p.enabled && pps);
    d.Show(MinimumLabelId(k), p.enabled && pps);
    d.Enable(MinimumId(k), p.enabled && pps);
    d.SetText(MaximumLabelId(k), pps ? "Max (mv)" : "Voltage (mv)");
    d.Enable(MaximumId(k), p.enabled && k > 0);
    d.Enable(CurrentId(k), p.enabled);
    d.SetText(MinimumId(k), p.enabled ? std::to_string(p.minimumMv) : "");
    d.SetText(MaximumId(k), p.enabled ? std::to_string(p.maximumMv) : "");
    d.SetText(CurrentId(k), p.enabled ? std::to_string(p.currentMa) : "");
    filling_ = wasFilling;
}

void SourceTypes::OnProfileCheck(size_t k) {
    bool on = parts_.dialog.IsChecked(CheckId(k));
    if (k == 0) {
        if (on) {
            config_.pd[0] = kFiveVolts;
        } else {
            config_.pd.fill({});
        }
        for (size_t i = 0; i < config_.pd.size(); ++i)
            ShowProfile(i);
        return;
    }
    config_.pd[k].enabled = on;
    if (on && !config_.pd[0].enabled) {
        config_.pd[0] = kFiveVolts;
        ShowProfile(0);
    }
    ShowProfile(k);
}

void SourceTypes::OnProfileEdit(int id) {
    size_t k = static_cast<size_t>(ProfileOf(id));
    std::string text = CutToUtf16Units(parts_.dialog.GetText(id), kEditCharacters);
    // Text that is not a whole number changes nothing; APPLY refuses it.
    std::optional<int> number = ParseUnsignedEdit(text);
    if (!number) {
        notNumbers_.insert(id);
        return;
    }
    notNumbers_.erase(id);
    uint16_t value = static_cast<uint16_t>(std::min(*number, 65535));
    SourceProfileSetting& p = config_.pd[k];
    if (id == MinimumId(k)) p.minimumMv = value;
    if (id == MaximumId(k)) p.maximumMv = value;
    if (id == CurrentId(k)) p.currentMa = value;
}

void SourceTypes::OnCommand(int id, int notification) {
    if (filling_) return;
    Controls& d = parts_.dialog;
    int profile = ProfileOf(id);
    if (profile >= 0) {
        size_t k = static_cast<size_t>(profile);
        if (id == CheckId(k) && notification == ControlNotification::kClicked) {
            OnProfileCheck(k);
        } else if (id == TypeId(k) && notification == ControlNotification::kSelectionChanged) {
            config_.pd[k].type = d.SelectedItem(id) == 1 ? kProgrammable : kFixed;
            ShowProfile(k);
        } else if (notification == ControlNotification::kEditChanged) {
            OnProfileEdit(id);
        }
        return;
    }
    switch (id) {
        case IDC_SRC_TYPE:
            if (notification == ControlNotification::kSelectionChanged && SelectedType() >= 0)
                ShowType(SelectedType(), true);
            break;
        case IDC_SRC_NAME:
            if (notification == ControlNotification::kEditChanged && SelectedType() >= 0) {
                names_[static_cast<size_t>(SelectedType())] = CutToUtf16Units(d.GetText(IDC_SRC_NAME), kNameCharacters);
                FillTypeList();
            }
            break;
        case IDC_SRC_USBC:
            if (notification == ControlNotification::kSelectionChanged)
                config_.usbcCurrent = static_cast<uint8_t>(d.SelectedItem(id));
            break;
        case IDC_SRC_BC:
            if (notification == ControlNotification::kSelectionChanged)
                config_.bcMode = static_cast<uint8_t>(d.SelectedItem(id));
            break;
        case IDC_SRC_APPLE:
            if (notification == ControlNotification::kSelectionChanged)
                config_.appleMode = static_cast<uint8_t>(d.SelectedItem(id));
            break;
        case IDC_SRC_APPLE_CHECK:
            config_.appleEnabled = d.IsChecked(IDC_SRC_APPLE_CHECK);
            FillAppleList();
            break;
        case IDC_SRC_DEFAULTS:
            Defaults();
            break;
        default:
            break;
    }
}

void SourceTypes::Defaults() {
    config_.usbcEnabled = true;
    config_.usbcCurrent = 1;
    config_.bcEnabled = true;
    config_.bcMode = 2;
    config_.appleEnabled = false;
    config_.appleMode = 0;
    config_.pd = {kFiveVolts,
                  {true, kFixed, 9000, 9000, 3000},
                  {true, kFixed, 15000, 15000, 3000},
                  {true, kFixed, 20000, 20000, 5000},
                  {true, kProgrammable, 3300, 21000, 5000},
                  {},
                  {}};
    ShowConfig();
}

void SourceTypes::Apply() {
    int index = SelectedType();
    if (index < 0) return;
    const std::string& name = names_[static_cast<size_t>(index)];
    std::optional<std::string> problem = NotAWholeNumber();
    if (!problem) problem = SourceTypeProblem(config_, name);
    if (problem) {
        parts_.mainPrompts.ShowMessage(*problem, kErrorTitle, Prompts::kOk | Prompts::kIconError);
        return;
    }
    uint8_t type = static_cast<uint8_t>(index);
    if (!parts_.tester.SetSourceTypeConfig(type, SourceTypeToRecord(config_, name))) {
        parts_.mainPrompts.ShowMessage(
            Format("The Voltiq did not store source type %d.\nNothing was applied.", index + 1), kErrorTitle,
            Prompts::kOk | Prompts::kIconError);
        return;
    }
    SourceTypeNames names;
    if (parts_.tester.GetSourceTypeNames(names)) {
        names_ = names.names;
        selectedType_ = names.selectedIndex;
        ListSourceTypes(parts_.mainWindow, IDC_SELECT_SOURCE_TYPE, names_, selectedType_);
        FillTypeList();
    }
    // The port offers the changed type at once when it is the selected one.
    if (index == selectedType_ && !parts_.tester.SelectSourceType(type)) {
        parts_.mainPrompts.ShowMessage(
            Format("Source type %d was stored, but the Voltiq did not offer it again.", index + 1), kErrorTitle,
            Prompts::kOk | Prompts::kIconError);
        return;
    }
    parts_.prompts.ShowMessage("Source Configuration Applied.\n", "", Prompts::kOk);
}
