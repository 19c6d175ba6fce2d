#include "config/source_types.h"

#include <gtest/gtest.h>

#include "device/source_type_wire.h"
#include "support/fake_window.h"
#include "support/memory_line.h"
#include "ui/config_ids.h"
#include "ui/main_window_ids.h"

using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kProfile1 = IDC_SRC_PROFILE, kProfile3 = IDC_SRC_PROFILE + 10;
const std::string kNameRefusal =
    "Invalid SRC Type Name\r\nThe Voltiq keeps 15 bytes of a name: up to 15 plain letters, fewer with accented "
    "letters or symbols.";

SourceTypeConfig ThreeProfiles() {
    SourceTypeConfig c;
    c.pd[0] = {true, 0, 5000, 5000, 3000};
    c.pd[1] = {true, 0, 0, 12000, 3000};
    c.pd[3] = {true, 1, 3300, 21000, 5000};
    return c;
}

// A tester holding five source types, the second one selected.
class SourceTypesDialog : public ::testing::Test {
protected:
    void SetUp() override {
        for (size_t i = 0; i < types.size(); ++i) {
            types[i].name = "Type " + std::to_string(i + 1);
            types[i].pdProfileCount = 1;
            types[i].pdProfiles[0] = {0, 5000, 5000, static_cast<uint16_t>(1000 + i)};
        }
        line.tester.SetHandler([this](uint8_t cmd, std::span<const uint8_t> payload) -> Bytes {
            std::lock_guard<std::mutex> held(lock);
            switch (cmd) {
                case kCmdGetSourceTypeNames: {
                    Bytes out = {1};
                    for (const SourceTypeRecord& type : types) {
                        Bytes record = EncodeSourceType(type);
                        out.insert(out.end(), record.begin(), record.begin() + 16);
                    }
                    return ScriptedTester::Frame(cmd, out);
                }
                case kCmdGetSourceTypeConfig:
                    // A failing read is answered with another command's code.
                    if (failReads) return ScriptedTester::Frame(kCmdGetDeviceInfo);
                    return ScriptedTester::Frame(cmd, EncodeSourceType(types.at(payload[0])));
                case kCmdSetSourceTypeConfig:
                    stored.emplace_back(payload.begin(), payload.end());
                    return ScriptedTester::Frame(cmd, {storeStatus});
                case kCmdSelectSourceType:
                    selected.push_back(payload[0]);
                    return ScriptedTester::Frame(cmd, {0});
                default:
                    return ScriptedTester::Frame(cmd);
            }
        });
        ASSERT_TRUE(connection.Connect("COM7", [](int) {}));
        dialogRules.Open();
    }

    void Pick(int type) {
        dialog.SelectItem(IDC_SRC_TYPE, type);
        dialogRules.OnCommand(IDC_SRC_TYPE, ControlNotification::kSelectionChanged);
    }
    void Type(int id, const std::string& text) {
        dialog.SetText(id, text);
        dialogRules.OnCommand(id, ControlNotification::kEditChanged);
    }
    void Click(int id, bool checked) {
        dialog.SetCheck(id, checked);
        dialogRules.OnCommand(id, 0);
    }

    MemoryLine line;
    FastClock clock;
    TesterConnection connection{line.Factory(), clock};
    std::mutex lock;
    std::array<SourceTypeRecord, 5> types;
    bool failReads = false;
    uint8_t storeStatus = 0;
    std::vector<Bytes> stored;
    std::vector<uint8_t> selected;
    FakeWindow dialog, main;
    SourceTypes dialogRules{{dialog, dialog, main, main, connection}};
};

}  // namespace

TEST(SourceTypeRecords, EnabledProfilesArePackedAndFixedOnesGetTheirVoltageTwice) {
    SourceTypeRecord r = SourceTypeToRecord(ThreeProfiles(), "Mine");
    EXPECT_EQ(r.pdProfileCount, 3);
    EXPECT_EQ(r.pdProfiles[1].minimumMv, 12000);
    EXPECT_EQ(r.pdProfiles[1].maximumMv, 12000);
    EXPECT_EQ(r.pdProfiles[2].type, 1) << "profile 4 travels in the third slot";
    EXPECT_EQ(r.pdProfiles[2].minimumMv, 3300);
    EXPECT_EQ(SourceTypeFromRecord(r).pd[2].maximumMv, 21000);
}

// The tester keeps 15 bytes of a name, so accented letters count twice.
TEST(SourceTypeRecords, NamesAreRefusedPastFifteenBytes) {
    for (auto [name, refused] : {std::pair{"", true}, std::pair{"Sixteen chars..!", true}, std::pair{"ÄÄÄÄÄÄÄÄ", true},
                                 std::pair{"Fifteen chars..", false}, std::pair{"ÄÄÄÄÄÄÄ.", false}})
        EXPECT_EQ(SourceTypeProblem(ThreeProfiles(), name).value_or(""), refused ? kNameRefusal : "") << name;
}

TEST_F(SourceTypesDialog, ApplyingTheSelectedTypeOffersItAgainAnotherTypeIsOnlyStored) {
    EXPECT_EQ(dialog.Get(IDC_SRC_TYPE).selected, 1);
    EXPECT_EQ(dialog.GetText(IDC_SRC_NAME), "") << "empty until a type is picked";
    EXPECT_EQ(dialog.GetText(kProfile1 + 4), "1001");
    Type(IDC_SRC_NAME, "Renamed");
    dialogRules.Apply();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][0], 1);
    EXPECT_EQ(std::string(stored[0].begin() + 1, stored[0].begin() + 8), "Renamed");
    EXPECT_EQ(selected, Bytes{1});
    EXPECT_EQ(dialog.Messages().back().text, "Source Configuration Applied.\n");
    EXPECT_EQ(dialog.Messages().back().title, "");
    EXPECT_EQ(main.Get(IDC_SELECT_SOURCE_TYPE).items.size(), 5u);
    EXPECT_EQ(main.Get(IDC_SELECT_SOURCE_TYPE).selected, 1);

    Pick(3);
    EXPECT_EQ(dialog.GetText(IDC_SRC_NAME), "Type 4");
    EXPECT_EQ(dialog.GetText(kProfile1 + 4), "1003");
    dialogRules.Apply();
    EXPECT_EQ(stored.size(), 2u);
    EXPECT_EQ(selected, Bytes{1}) << "another type is not selected";
}

TEST_F(SourceTypesDialog, AFailedStoreIsAnErrorAndAFailedReadKeepsTheValues) {
    storeStatus = 1;
    dialogRules.Apply();
    ASSERT_EQ(main.Messages().size(), 1u);
    EXPECT_EQ(main.Messages()[0].title, "Ampwright: Error");
    EXPECT_TRUE(dialog.Messages().empty()) << "never \"Applied\"";
    EXPECT_TRUE(selected.empty());
    EXPECT_EQ(main.Get(IDC_SELECT_SOURCE_TYPE).items.size(), 0u) << "not refreshed as if applied";

    failReads = true;
    Pick(4);
    ASSERT_EQ(dialog.Messages().size(), 1u);
    EXPECT_EQ(dialog.Messages()[0].text,
              "Unable to read source type 5 from the Voltiq.\nThe values shown are the previous ones.");
    EXPECT_EQ(dialog.GetText(kProfile1 + 4), "1001");
}

TEST_F(SourceTypesDialog, ProfileRulesNegativeNumbersAndNamesAsBytes) {
    Click(kProfile1, false);
    EXPECT_EQ(dialog.GetText(kProfile1 + 4), "");
    Click(kProfile3, true);
    EXPECT_TRUE(dialog.IsChecked(kProfile1)) << "profile 1 comes back as 5 V";
    EXPECT_EQ(dialog.GetText(kProfile1 + 3), "5000");
    EXPECT_EQ(dialog.GetText(kProfile1 + 4), "3000");
    EXPECT_FALSE(dialog.Get(kProfile1 + 3).enabled);
    dialogRules.Apply();
    EXPECT_EQ(main.Messages().back().text, "Invalid Max Voltage for PD Profile 3\r\nSelect between 3300mV - 21000mV");
    EXPECT_TRUE(stored.empty());

    Type(kProfile3 + 3, "9000");
    Type(kProfile3 + 4, "-1");  // 0, never 65535
    dialog.SelectItem(kProfile3 + 1, 1);
    dialogRules.OnCommand(kProfile3 + 1, ControlNotification::kSelectionChanged);
    EXPECT_EQ(dialog.GetText(kProfile3 + 4), "0");
    EXPECT_TRUE(dialog.Get(kProfile3 + 2).shown) << "PD_PPS shows its minimum";
    EXPECT_EQ(dialog.GetText(IDC_SRC_MIN_LABEL + 5), "Max (mv)");

    // Seven characters, fourteen bytes of UTF-8, stored as bytes.
    Type(kProfile3 + 2, "5000");
    Type(kProfile3 + 4, "2000");
    Type(IDC_SRC_NAME, "ÄÖÜÄÖÜÄ");
    dialogRules.Apply();
    ASSERT_EQ(stored.size(), 1u);
    Bytes name(stored[0].begin() + 1, stored[0].begin() + 17);
    EXPECT_EQ(std::string(name.begin(), name.begin() + 14), "ÄÖÜÄÖÜÄ");
    EXPECT_EQ(name[14], 0);
}

// A number beyond 16 bits never wraps into a valid one, one just past a bound
// is refused, and text that is not a whole number is refused by its field's
// name: nothing is stored.
TEST_F(SourceTypesDialog, NumbersThatWouldWrapOrAreNotWholeAreRefused) {
    Click(kProfile3, true);
    dialog.SelectItem(kProfile3 + 1, 1);  // PPS: all three edits count
    dialogRules.OnCommand(kProfile3 + 1, ControlNotification::kSelectionChanged);
    struct Case {
        int edit;
        const char* text;
        std::string message;
    } cases[] = {
        {kProfile3 + 3, "70000", "Invalid Max Voltage for PD Profile 3\r\nSelect between 3300mV - 21000mV"},
        {kProfile3 + 4, "70000", "Invalid Max Current for PD Profile 3\r\nSelect between 100mA - 5000mA"},
        {kProfile3 + 2, "70000", "Invalid Min Voltage for PD Profile 3\r\nSelect between 3300mV - 9000mV"},
        {kProfile3 + 3, "21001", "Invalid Max Voltage for PD Profile 3\r\nSelect between 3300mV - 21000mV"},
        {kProfile3 + 4, "99", "Invalid Max Current for PD Profile 3\r\nSelect between 100mA - 5000mA"},
        {kProfile3 + 2, "3299", "Invalid Min Voltage for PD Profile 3\r\nSelect between 3300mV - 9000mV"},
        {kProfile3 + 4, "1,5", "Max Current for PD Profile 3 must be a whole number."},
        {kProfile3 + 3, "9000abc", "Max Voltage for PD Profile 3 must be a whole number."},
        {kProfile3 + 2, "4.5", "Min Voltage for PD Profile 3 must be a whole number."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Type(kProfile3 + 2, "5000");
        Type(kProfile3 + 3, "9000");
        Type(kProfile3 + 4, "2000");
        Type(c.edit, c.text);
        dialogRules.Apply();
        EXPECT_EQ(main.Messages().back().text, c.message);
        EXPECT_TRUE(stored.empty());
    }
}
