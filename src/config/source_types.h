#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>

#include "device/tester_connection.h"
#include "ui/controls.h"
#include "ui/prompts.h"

// One PD profile of a source type as the dialog edits it.
struct SourceProfileSetting {
    bool enabled = false;
    uint8_t type = 0;  // 0 PD_FIX, 1 PD_PPS
    uint16_t minimumMv = 0;
    uint16_t maximumMv = 0;
    uint16_t currentMa = 0;
};

// The application's copy of the source type being edited.
struct SourceTypeConfig {
    uint8_t usbcCurrent = 0;  // 0 "500 mA", 1 "1.5 A", 2 "3 A"
    uint8_t bcMode = 0;
    bool appleEnabled = false;
    uint8_t appleMode = 0;  // 0 whenever Apple is off
    bool usbcEnabled = true;
    bool bcEnabled = true;
    std::array<SourceProfileSetting, SourceTypeRecord::kMaxProfiles> pd = {};
};

// The record as the tester keeps it, both ways. Writing packs the enabled
// profiles into the first slots and gives a PD_FIX profile its maximum
// voltage as minimum too.
SourceTypeConfig SourceTypeFromRecord(const SourceTypeRecord& record);
SourceTypeRecord SourceTypeToRecord(const SourceTypeConfig& config, const std::string& name);
// The first rule APPLY finds broken (name and enabled profiles), if any.
std::optional<std::string> SourceTypeProblem(const SourceTypeConfig& config, const std::string& name);

// The source type dialog's rules: one type at a time, read from the tester
// when picked, every edit stored at once, written back on APPLY.
class SourceTypes {
public:
    struct Parts {
        Controls& dialog;
        Prompts& prompts;  // owned by the dialog
        Controls& mainWindow;
        Prompts& mainPrompts;  // owned by the main window
        TesterConnection& tester;
    };

    explicit SourceTypes(Parts parts) : parts_(parts) {}

    void Open();
    // A control's notification: clicks, list selections, edit changes.
    void OnCommand(int id, int notification);
    void Apply();
    void Defaults();

private:
    std::optional<std::string> NotAWholeNumber();
    void FillTypeList();
    void ShowType(int index, bool picked);
    void ShowConfig();
    void ShowProfile(size_t k);
    void OnProfileCheck(size_t k);
    void OnProfileEdit(int id);
    void FillAppleList();
    int SelectedType();

    Parts parts_;
    std::array<std::string, SourceTypeNames::kTypeCount> names_;
    SourceTypeConfig config_;
    int selectedType_ = 0;      // the type the port offers, as the tester last said
    bool filling_ = false;      // the dialog's own changes to its edits are not edits
    std::set<int> notNumbers_;  // profile edits whose text is not a whole number
};
