#include <gtest/gtest.h>

#include "app/main_window.h"
#include "monitor/log_category.h"
#include "monitor/profile_type.h"
#include "support/fake_window.h"
#include "ui/main_window_ids.h"

TEST(LoadChangeList, ItemsStandForTheirRampTimes) {
    const int times[] = {10, 20, 50, 100, 200, 500, 1000};
    for (int i = 0; i < kLoadChangeItemCount; ++i) {
        EXPECT_EQ(LoadChangeTimeForIndex(i), times[i]);
        EXPECT_EQ(LoadChangeIndexForTime(times[i]), i);
    }
    EXPECT_STREQ(LoadChangeItemText(0), "10 (Instant)");
    EXPECT_STREQ(LoadChangeItemText(4), "200 (Fast)");
    EXPECT_STREQ(LoadChangeItemText(6), "1000 (Slow)");
    EXPECT_EQ(LoadChangeTimeForIndex(-1), -1);
    EXPECT_EQ(LoadChangeTimeForIndex(7), -1);
    EXPECT_EQ(LoadChangeIndexForTime(300), -1);
    // A time no item has shows "200 (Fast)".
    EXPECT_EQ(LoadChangeIndexOrDefault(300), 4);
    EXPECT_EQ(LoadChangeIndexOrDefault(1000), 6);
}

TEST(EditNumbers, OnlyTheLeadingDigitsWithinTheFieldCount) {
    EXPECT_EQ(ReadNumber("9000", 5), 9000);
    EXPECT_EQ(ReadNumber("123456", 5), 12345);
    EXPECT_EQ(ReadNumber("12x4", 4), 12);
    EXPECT_EQ(ReadNumber("", 4), 0);
    EXPECT_EQ(ReadNumber("abc", 4), 0);
}

TEST(VoltageRange, InclusiveLimitsOfTheActiveEntry) {
    SinkCapabilities caps;
    caps.count = 2;
    caps.entries[1] = {0x0360, 3300, 11000, 3000};
    EXPECT_EQ(VoltageRangeMessage(caps, 1, 3300), std::nullopt);
    EXPECT_EQ(VoltageRangeMessage(caps, 1, 11000), std::nullopt);
    EXPECT_EQ(VoltageRangeMessage(caps, 1, 3280), "Please enter a number between 3300-11000");
    EXPECT_EQ(VoltageRangeMessage(caps, 1, 11020), "Please enter a number between 3300-11000");
}

namespace {

class FakeShell : public MainWindowShell {
public:
    void Exit() override { ++exits; }
    void ShowAbout() override { ++abouts; }
    void OpenUserGuide() override { ++guides; }
    void OpenTestConfiguration() override { dialogs += "configure "; }
    void OpenSourceTypes() override { dialogs += "source "; }
    void OpenCalibration() override { dialogs += "calibration "; }
    int exits = 0, abouts = 0, guides = 0;
    std::string dialogs;
};

class NoPorts : public PortDirectory {
public:
    bool ListPorts(std::vector<SerialPortListing>& out) override {
        out.clear();
        return true;
    }
    void CountBridgeDevices() override {}
};

class MainWindowRules : public ::testing::Test {
protected:
    ~MainWindowRules() override { rules.StopPolling(); }

    // A negotiated ranged profile whose active entry spans 3.3 V to 11 V.
    void NegotiateRanged(uint32_t type, uint8_t subtype) {
        live.sinkProfileType = type;
        live.sinkProfileSubtype = subtype;
        live.sinkProfileIndex = 0;
        std::lock_guard<std::mutex> held(live.capsLock);
        live.sinkCaps.count = 1;
        live.sinkCaps.entries[0] = {static_cast<uint16_t>(type << 4 | subtype << 8), 3300, 11000, 3000};
    }

    TesterConnection tester;
    LiveState live;
    EventLog log;
    FakeWindow window;
    NoPorts ports;
    FastClock clock;
    PortEvents events;
    FakeShell shell;
    StatusPollLoop poll{tester, live, log, window, events, clock};
    TesterDiscovery discovery{{window, window, tester, live, log, ports, clock, [](int) {}, [] {}}};
    MainWindow rules{{window, window, tester, live, log, discovery, poll, shell}};
};

}  // namespace

TEST_F(MainWindowRules, InitialisationBlanksReadoutsAndSetsUpSlidersAndLists) {
    live.loadChangeSpeedMs = 300;
    rules.Initialize();
    EXPECT_EQ(window.Messages().at(0).text,
              "No Quarnel Voltiq device detected.\nYou may need to plug in (or install) USB devices.\n");
    EXPECT_EQ(window.Get(IDC_SINK_PROFILE_TYPE).text, "");
    EXPECT_EQ(window.Get(IDC_SINK_VBUS).text, " ");
    EXPECT_EQ(window.Get(IDC_TEMPERATURE).text, " ");
    EXPECT_EQ(window.Get(IDC_CURRENT_EDIT).text, "0");
    FakeWindow::Control voltage = window.Get(IDC_VOLTAGE_SLIDER);
    EXPECT_EQ(voltage.maximum, 5000);
    EXPECT_EQ(voltage.lineSize, 200);
    EXPECT_EQ(window.Get(IDC_CURRENT_SLIDER).lineSize, 25);
    EXPECT_EQ(window.Get(IDC_LOAD_CHANGE_SPEED).items.size(), 7u);
    EXPECT_EQ(window.Get(IDC_LOAD_CHANGE_SPEED).selected, 4);
    EXPECT_EQ(live.loadChangeSpeedMs, 200);
    EXPECT_EQ(log.Records().RecordCount(), 1);  // the banner
}

TEST_F(MainWindowRules, VoltageSetOnAFixedProfileRoundsNothingAndRequestsNothing) {
    live.sinkProfileType = kProfilePd;
    live.sinkProfileSubtype = kSubtypeFixed;
    window.SetText(IDC_VOLTAGE_EDIT, "9011");
    rules.OnCommand(IDC_VOLTAGE_SET, 0);
    EXPECT_EQ(window.Get(IDC_VOLTAGE_EDIT).text, "9011");
    EXPECT_FALSE(live.voltageRequestPending);
    EXPECT_TRUE(window.Messages().empty());
}

TEST_F(MainWindowRules, VoltageSetOnRangedProfilesRoundsDownToTheirGrid) {
    NegotiateRanged(kProfilePd, kSubtypePps);
    window.SetText(IDC_VOLTAGE_EDIT, "5019");
    rules.OnCommand(IDC_VOLTAGE_SET, 0);
    EXPECT_EQ(window.Get(IDC_VOLTAGE_EDIT).text, "5000");
    EXPECT_EQ(live.requestedVoltageMv, 5000);
    EXPECT_TRUE(live.voltageRequestPending);

    live.voltageRequestPending = false;
    NegotiateRanged(kProfileQc, 2);
    window.SetText(IDC_VOLTAGE_EDIT, "9199");
    rules.OnCommand(IDC_VOLTAGE_SET, 0);
    EXPECT_EQ(window.Get(IDC_VOLTAGE_EDIT).text, "9000");
    EXPECT_TRUE(live.voltageRequestPending);
}

TEST_F(MainWindowRules, VoltageOutsideTheProfileIsRefusedWithItsLimits) {
    NegotiateRanged(kProfilePd, kSubtypePps);
    window.SetText(IDC_VOLTAGE_EDIT, "123456");  // five digits are read: 12345, on the grid 12340
    rules.OnCommand(IDC_VOLTAGE_SET, 0);
    EXPECT_EQ(window.Get(IDC_VOLTAGE_EDIT).text, "12340");
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].text, "Please enter a number between 3300-11000");
    EXPECT_EQ(window.Messages()[0].title, "Ampwright: Error");
    EXPECT_FALSE(live.voltageRequestPending);
}

TEST_F(MainWindowRules, SlidersRequestOnlyWhenTheDragEnds) {
    NegotiateRanged(kProfilePd, kSubtypePps);
    live.loadCurrentPending = false;
    rules.OnSlider(IDC_CURRENT_SLIDER, true, 1234);
    EXPECT_EQ(window.Get(IDC_CURRENT_EDIT).text, "1234");
    EXPECT_FALSE(live.loadCurrentPending);
    window.SetPosition(IDC_CURRENT_SLIDER, 1500);
    rules.OnSlider(IDC_CURRENT_SLIDER, false, 0);
    EXPECT_EQ(live.requestedLoadMa, 1500);
    EXPECT_TRUE(live.loadCurrentPending);

    rules.OnSlider(IDC_VOLTAGE_SLIDER, true, 7311);
    EXPECT_EQ(window.Get(IDC_VOLTAGE_EDIT).text, "7300");
    EXPECT_FALSE(live.voltageRequestPending);
    window.SetPosition(IDC_VOLTAGE_SLIDER, 7311);
    rules.OnSlider(IDC_VOLTAGE_SLIDER, false, 0);
    EXPECT_EQ(live.requestedVoltageMv, 7300);
    EXPECT_TRUE(live.voltageRequestPending);
}

TEST_F(MainWindowRules, CurrentSetTakesFourDigits) {
    live.loadCurrentPending = false;
    window.SetText(IDC_CURRENT_EDIT, "123456");
    rules.OnCommand(IDC_CURRENT_SET, 0);
    EXPECT_EQ(window.Get(IDC_CURRENT_EDIT).text, "1234");
    EXPECT_EQ(window.Get(IDC_CURRENT_SLIDER).position, 1234);
    EXPECT_EQ(live.requestedLoadMa, 1234);
    EXPECT_TRUE(live.loadCurrentPending);
}

TEST_F(MainWindowRules, PortButtonsFlipTheirCaptionsAndSelectingATesterResetsThem) {
    rules.OnCommand(IDC_SINK_DISCONNECT, 0);
    rules.OnCommand(IDC_SOURCE_DISCONNECT, 0);
    EXPECT_EQ(window.Get(IDC_SINK_DISCONNECT).text, "Connect USB-C");
    EXPECT_EQ(window.Get(IDC_SOURCE_DISCONNECT).text, "Connect USB-C");
    rules.OnCommand(IDC_SINK_DISCONNECT, 0);
    EXPECT_EQ(window.Get(IDC_SINK_DISCONNECT).text, "Disconnect USB-C");
    rules.OnCommand(IDC_SINK_DISCONNECT, 0);
    rules.OnCommand(IDC_DEVICE_LIST, MainWindow::kSelEndOk);
    EXPECT_EQ(window.Get(IDC_SINK_DISCONNECT).text, "Disconnect USB-C");
    EXPECT_EQ(window.Get(IDC_SOURCE_DISCONNECT).text, "Disconnect USB-C");
}

TEST_F(MainWindowRules, WindowsThatNeedATesterAreRefusedWithoutOne) {
    for (int id : {IDC_MESSAGE_TRACER, IDC_CONFIGURE, IDC_CONFIG_SRC, IDC_GRAPHS, IDC_CALIBRATION}) {
        rules.OnCommand(id, 0);
    }
    ASSERT_EQ(window.Messages().size(), 5u);
    EXPECT_EQ(window.Messages()[0].text, "No Voltiq device selected.");
    EXPECT_EQ(window.Messages()[0].title, "Ampwright: Error");
    EXPECT_EQ(shell.dialogs, "");
    live.connected = true;
    for (int id : {IDC_CONFIGURE, IDC_CONFIG_SRC, IDC_CALIBRATION})
        rules.OnCommand(id, 0);
    EXPECT_EQ(window.Messages().size(), 5u);
    EXPECT_EQ(shell.dialogs, "configure source calibration ");
}

TEST_F(MainWindowRules, CommandsReachTheirTargets) {
    rules.OnCommand(IDC_ABOUT, 0);
    rules.OnCommand(IDC_HELP, 0);
    rules.OnCommand(IDC_EXIT, 0);
    EXPECT_EQ(shell.abouts, 1);
    EXPECT_EQ(shell.guides, 1);
    EXPECT_EQ(shell.exits, 1);

    for (int i = 0; i < kLoadChangeItemCount; ++i)
        window.AddItem(IDC_LOAD_CHANGE_SPEED, LoadChangeItemText(i));
    window.SelectItem(IDC_LOAD_CHANGE_SPEED, 6);
    rules.OnCommand(IDC_LOAD_CHANGE_SPEED, 1);
    EXPECT_EQ(live.loadChangeSpeedMs, 1000);

    rules.OnCommand(IDC_SELECT_PROFILE, 1);  // a selection change alone requests nothing
    EXPECT_FALSE(live.profileSelectPending);
    rules.OnCommand(IDC_SELECT_PROFILE, MainWindow::kSelEndOk);
    EXPECT_TRUE(live.profileSelectPending);

    live.sinkMah = 5;
    live.sinkMwh = 25;
    live.sourceMah = 3;
    rules.OnCommand(IDC_SINK_CAPACITY_RESET, 0);
    EXPECT_EQ(live.sinkMah, 0);
    EXPECT_EQ(live.sinkMwh, 0);
    EXPECT_EQ(live.sourceMah, 3);

    rules.OnSuspend();
    std::optional<Logger::Record> last = log.Records().GetRecord(-1);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->text, "Suspend");
    EXPECT_EQ(last->category, kLogError);
}
