#include "app/tester_discovery.h"

#include <algorithm>

#include "monitor/session_start.h"
#include "platform/format.h"
#include "monitor/log_category.h"
#include "ui/main_window_ids.h"
#include "ui/source_type_list.h"

namespace {

constexpr size_t kListEntryCharacters = 31;
constexpr size_t kEntryReadCharacters = 64;
constexpr const char* kErrorTitle = "Ampwright: Error";
constexpr const char* kNoSelection = "No Serial";

// The longest prefix holding at most `codePoints` code points.
std::string_view CutToCodePoints(std::string_view text, size_t codePoints) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && count++ == codePoints) return text.substr(0, i);
    }
    return text;
}

}  // namespace

std::string DeviceListEntry(std::string_view portName) {
    std::string entry = "Voltiq (" + std::string(portName) + ")";
    return std::string(CutToCodePoints(entry, kListEntryCharacters));
}

int FindListEntry(const std::vector<std::string>& entries, std::string_view text) {
    if (text.empty()) return -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].find(text) != std::string::npos) return static_cast<int>(i);
    }
    return -1;
}

TesterDiscovery::TesterDiscovery(Parts parts) : parts_(std::move(parts)) {}

int TesterDiscovery::Enumerate() {
    parts_.window.ClearItems(IDC_DEVICE_LIST);
    parts_.window.SetText(IDC_DEVICE_ID, " ");
    entries_.clear();
    for (const std::string& portName : TesterPortNames(parts_.ports)) {
        entries_.push_back(DeviceListEntry(portName));
        parts_.log.LogEvent("Device list updated", kLogInformation);
        parts_.window.AddItem(IDC_DEVICE_LIST, entries_.back());
    }
    return static_cast<int>(entries_.size());
}

void TesterDiscovery::ScanTesters() {
    if (Enumerate() == 0) {
        parts_.prompts.ShowMessage(
            "No Quarnel Voltiq device detected.\nYou may need to plug in (or install) USB devices.\n", kErrorTitle,
            Prompts::kOk | Prompts::kIconError);
        return;
    }
    parts_.window.SelectItem(IDC_DEVICE_LIST, 0);
    SelectTester();
}

std::optional<TesterDiscovery::RescanReason> RescanReasonFor(uint32_t event, uint32_t deviceType) {
    constexpr uint32_t kDeviceArrival = 0x8000, kDeviceRemoveComplete = 0x8004, kDeviceInterface = 5;
    if (deviceType != kDeviceInterface) return std::nullopt;
    if (event == kDeviceArrival) return TesterDiscovery::RescanReason::Arrival;
    if (event == kDeviceRemoveComplete) return TesterDiscovery::RescanReason::Removal;
    return std::nullopt;
}

bool TesterDiscovery::RescanTesters(RescanReason reason) {
    parts_.ports.CountBridgeDevices();
    Enumerate();
    int index = FindListEntry(entries_, selectedName_);
    if (index >= 0) {
        parts_.window.SelectItem(IDC_DEVICE_LIST, index);
        // The selected tester came back: the old link died with it.
        if (lostSelected_ && reason == RescanReason::Arrival) return true;
        // Listing again blanked the ID of a tester that is still connected.
        if (parts_.live.connected.load()) parts_.window.SetText(IDC_DEVICE_ID, parts_.tester.Info().DeviceIdText());
        return false;
    }
    if (reason == RescanReason::Removal) {
        if (parts_.live.connected.exchange(false) && selectedName_ != kNoSelection) lostSelected_ = true;
        parts_.log.LogEvent(Format("Device %s disconnected", selectedName_.c_str()), kLogInformation);
    }
    return false;
}

bool TesterDiscovery::SelectTester(bool endOnFailure) {
    return Connect(endOnFailure);
}

bool TesterDiscovery::Connect(bool endOnFailure) {
    int index = parts_.window.SelectedItem(IDC_DEVICE_LIST);
    if (index < 0 || index >= static_cast<int>(entries_.size())) return false;
    std::string entry = entries_[static_cast<size_t>(index)];
    std::string text(CutToCodePoints(entry, kEntryReadCharacters));
    text = text.substr(0, text.find(')'));
    size_t open = text.find('(');
    std::string portName = open == std::string::npos ? std::string() : text.substr(open + 1);

    {
        std::unique_lock<std::mutex> held(selectLock_);
        if (parts_.live.connected.load() || lostSelected_) {
            parts_.tester.Close();
            parts_.clock.SleepMs(1000);
        }
        if (!parts_.tester.Connect(portName, parts_.notification)) {
            held.unlock();
            if (!endOnFailure) {
                parts_.log.LogEvent("Unable to connect to selected Voltiq device", kLogError);
                return false;
            }
            parts_.prompts.ShowMessage("Unable to connect to selected Voltiq device", kErrorTitle,
                                       Prompts::kOk | Prompts::kIconError);
            parts_.closeWindow();
            return false;
        }
        parts_.clock.SleepMs(200);
        auto listSourceTypes = [this] {
            SourceTypeNames names;
            parts_.tester.GetSourceTypeNames(names);
            ListSourceTypes(parts_.window, IDC_SELECT_SOURCE_TYPE, names.names, names.selectedIndex);
            parts_.window.Enable(IDC_SELECT_SOURCE_TYPE, true);
        };
        if (!StartTesterSession(parts_.tester, parts_.live, listSourceTypes)) {
            held.unlock();
            parts_.prompts.ShowMessage("Unable to GetConfig from selected Voltiq device", kErrorTitle,
                                       Prompts::kOk | Prompts::kIconError);
            return false;
        }
    }

    selectedName_ = entry;
    lostSelected_ = false;
    const DeviceInfo& info = parts_.tester.Info();
    parts_.log.LogEvent(Format("Device %s selected", entry.c_str()), kLogInformation);
    parts_.log.LogEvent(Format("Hardware Revision: %0.1f", info.hardwareRevision / 10.0), kLogInformation);
    parts_.log.LogEvent(Format("Firmware Version: %0.1f", info.firmwareVersion / 10.0), kLogInformation);
    parts_.log.LogEvent(Format("API Version: %0.1f", info.apiVersion / 10.0), kLogInformation);
    std::string id = info.DeviceIdText();
    parts_.window.SetText(IDC_DEVICE_ID, id);
    parts_.log.LogEvent("Device ID: " + id, kLogInformation);
    MarkConnected(parts_.live);
    return true;
}
