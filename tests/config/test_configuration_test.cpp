#include "config/test_configuration.h"

#include <gtest/gtest.h>

#include "config/edit_number.h"
#include "monitor/status_poll_loop.h"
#include "platform/format.h"
#include "sim/sim_bench.h"
#include "support/fake_window.h"
#include "ui/config_ids.h"
#include "ui/main_window_ids.h"

namespace {

class TestConfigurationDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bench.simulator.Plug("pd65"));
        ASSERT_TRUE(bench.Connect());
        live.sinkRatedCurrentMa = 3000;
        Measurements m;
        m.loadSetpointMa = 1200;
        live.PublishMeasurement(m, 0);
        config.Open();
    }

    void Click(int id, bool checked) {
        dialog.SetCheck(id, checked);
        config.OnCommand(id);
    }
    // A radio button of the current limit: the button checks itself and
    // unchecks the others before the dialog hears of it.
    void Choose(int radio) {
        for (int id : {IDC_TC_ENFORCE, IDC_TC_ALLOW_OVER, IDC_TC_FORCE})
            dialog.SetCheck(id, id == radio);
        config.OnCommand(radio);
    }
    uint32_t Mode() { return live.Settings().currentLimitMode; }

    SimBench bench;
    LiveState live;
    FakeWindow dialog, main;
    DangerAcceptance acceptance;
    int confirmations = 0;
    bool accept = true;
    TestConfiguration config{{dialog, dialog, main, bench.connection, live, acceptance, [this] {
                                  ++confirmations;
                                  return accept;
                              }}};
};

}  // namespace

// What OK stored is what a reopen shows, also before the poll loop sent it
// (never the tester's old registers), and what the tester then gets.
TEST_F(TestConfigurationDialog, WhatOkStoredIsShownOnReopenAndReachesTheTester) {
    Choose(IDC_TC_FORCE);
    EXPECT_TRUE(dialog.Get(IDC_TC_FORCED_LIMIT).enabled);
    dialog.SelectItem(IDC_TC_FORCED_LIMIT, 5);  // "3.5A"
    Click(IDC_TC_ESTIMATE, true);
    dialog.SetText(IDC_TC_CABLE, "333");
    dialog.SelectItem(IDC_TC_SDP, 1);  // 900mA
    ASSERT_TRUE(config.Ok());
    EXPECT_EQ(std::tuple(live.loadCurrentLimit.load(), main.GetText(IDC_CURRENT_SLIDER_MAX),
                         main.Get(IDC_CURRENT_SLIDER).position, main.GetText(IDC_CURRENT_EDIT)),
              std::tuple(3500, "3500mA", 1200, "1200"));
    config.Open();
    EXPECT_EQ(std::tuple(dialog.GetText(IDC_TC_CABLE), dialog.Get(IDC_TC_SDP).selected), std::tuple("333", 1));
    ASSERT_TRUE(live.configDirty);

    EventLog log;
    PortEvents events;
    StatusPollLoop poll(bench.connection, live, log, events, bench.modelClock);
    live.connected = true;
    poll.RunCycle();
    EXPECT_FALSE(live.configDirty);
    std::string state = bench.simulator.Describe();
    EXPECT_NE(state.find("rated 3000 mA, limit 3500 mA"), std::string::npos) << state;
    TesterConfig registers;
    ASSERT_TRUE(bench.connection.GetConfig(registers));
    EXPECT_EQ(std::tuple(registers.cableResistanceMilliohm, registers.sdpCurrentLimitMa), std::tuple(333, 900));
}

TEST_F(TestConfigurationDialog, DangerousModesAreConfirmedOnceAndCancelUndoesThem) {
    accept = false;
    Choose(IDC_TC_ALLOW_OVER);
    EXPECT_EQ(Mode(), 0u);
    EXPECT_TRUE(dialog.IsChecked(IDC_TC_ENFORCE));
    EXPECT_FALSE(dialog.IsChecked(IDC_TC_ALLOW_OVER));
    // An automatic radio button given the focus back would check itself.
    EXPECT_EQ(dialog.Focused(), IDC_TC_ENFORCE);

    accept = true;
    Choose(IDC_TC_ALLOW_OVER);
    Choose(IDC_TC_ENFORCE);
    Choose(IDC_TC_ALLOW_OVER);
    EXPECT_EQ(Mode(), 1u);
    EXPECT_EQ(confirmations, 2) << "accepted once, not asked again in this run";
    Click(IDC_TC_ESTIMATE, true);
    EXPECT_TRUE(live.Settings().estimateUpstreamVbus) << "changes at once";
    EXPECT_TRUE(dialog.Get(IDC_TC_CABLE).shown);

    // Cancel: the tester never got the mode, so the poll loop must not use it.
    config.Cancel();
    EXPECT_EQ(Mode(), 0u);
    EXPECT_FALSE(live.Settings().estimateUpstreamVbus);
    EXPECT_TRUE(acceptance.overLimit) << "the acceptance stays for the run";
    EXPECT_FALSE(live.configDirty);
}

TEST(DangerConfirmationWord, OnlyTheThreeSpellingsAreAccepted) {
    for (auto [word, accepted] : {std::pair{"confirm", true}, std::pair{"Confirm", true}, std::pair{"CONFIRM", true},
                                  std::pair{"confirm ", false}, std::pair{"cOnfirm", false}, std::pair{"", false}}) {
        FakeWindow window;
        DangerConfirmation confirmation(window, window);
        window.SetText(IDC_DANGER_WORD, word);
        EXPECT_EQ(confirmation.OnAccept(), accepted) << word;
        ASSERT_EQ(window.Messages().size(), accepted ? 0u : 1u);
        if (!accepted) {
            EXPECT_EQ(window.Messages()[0].text,
                      "Type the word 'confirm' and then click on the 'I accept the risk' button");
            EXPECT_EQ(window.Messages()[0].title, "Ampwright");
        }
    }
    EXPECT_FALSE(DangerConfirmation::CancelCloses(true, true)) << "Escape in the edit";
    EXPECT_TRUE(DangerConfirmation::CancelCloses(false, true));
}

TEST_F(TestConfigurationDialog, OkStopsAtARejectedFieldWithTheStepsBeforeInForce) {
    Click(IDC_TC_VOLTAGE_MAX, false);
    dialog.SetText(IDC_TC_VOLTAGE, "25000");
    main.SetText(IDC_CURRENT_SLIDER_MAX, "");
    EXPECT_FALSE(config.Ok());
    ASSERT_EQ(dialog.Messages().size(), 1u);
    EXPECT_EQ(dialog.Messages()[0].text, "Maximum value for Default Voltage is 21000mV");
    EXPECT_EQ(dialog.Messages()[0].title, "Ampwright Error");
    EXPECT_EQ(dialog.GetText(IDC_TC_VOLTAGE), "21000");
    EXPECT_EQ(main.GetText(IDC_CURRENT_SLIDER_MAX), "3000mA") << "the load limit step came first";
    EXPECT_FALSE(live.configDirty);

    // Negative numbers read as 0, never wrapping to 65535 ("Max").
    dialog.SetText(IDC_TC_VOLTAGE, "-1");
    Click(IDC_TC_CURRENT_MAX, false);
    dialog.SetText(IDC_TC_CURRENT, "-5");
    Click(IDC_TC_SET_OPERATING, true);
    dialog.SetText(IDC_TC_OPERATING, "Max");
    dialog.SetText(IDC_TC_CABLE, "1001");
    EXPECT_FALSE(config.Ok());
    EXPECT_EQ(dialog.Messages().back().text, "Maximum value for Cable Resistance is 1000 milliohms");
    EXPECT_EQ(live.Settings().cableResistanceMilliohm, 0);
    dialog.SetText(IDC_TC_CABLE, "150");
    ASSERT_TRUE(config.Ok());
    SinkTestSettings s = live.Settings();
    EXPECT_EQ(std::tuple(s.autoVoltageMv, s.autoCurrentMa, s.operatingCurrentMa), std::tuple(0, 0, 65535))
        << "\"Max\" without a message";
    EXPECT_EQ(dialog.Messages().size(), 2u);
}

TEST_F(TestConfigurationDialog, AutomaticSettingsOffAndTheReadingsTimer) {
    Click(IDC_TC_AUTO_ENABLE, false);
    EXPECT_FALSE(dialog.Get(IDC_TC_PROFILE_INDEX).enabled);
    dialog.SelectItem(IDC_TC_LOG_INTERVAL, 2);  // "10"
    ASSERT_TRUE(config.Ok());
    SinkTestSettings s = live.Settings();
    EXPECT_EQ(std::tuple(s.autoProfileIndex, s.autoVoltageMv, s.autoCurrentMa, s.applyOnCapabilityChange),
              std::tuple(0, 5000, 0, 0));
    EXPECT_EQ(main.Timers()[IDT_READINGS_LOG], 10000u);

    config.Open();
    dialog.SelectItem(IDC_TC_LOG_INTERVAL, 0);  // "Disabled"
    ASSERT_TRUE(config.Ok());
    EXPECT_EQ(main.Timers().count(IDT_READINGS_LOG), 0u);
}

// Cancel gives back every setting, the load limit and the VBUS label as the
// dialog found them, also after an OK that stopped at a rejected field; a
// field that is not a whole number stops OK before anything is stored.
TEST_F(TestConfigurationDialog, CancelAfterARejectedOkRestoresEverything) {
    main.SetText(IDC_SINK_VBUS_LABEL, "Downstream VBUS");
    live.loadCurrentLimit = 3000;
    SinkTestSettings opened = live.Settings();
    uint16_t limit = live.loadCurrentLimit;
    Choose(IDC_TC_FORCE);
    dialog.SelectItem(IDC_TC_FORCED_LIMIT, 9);  // 5.5A
    Click(IDC_TC_ESTIMATE, true);
    Click(IDC_TC_SET_OPERATING, true);
    dialog.SetText(IDC_TC_OPERATING, "1,5");
    SinkTestSettings clicked = live.Settings();
    EXPECT_FALSE(config.Ok());
    EXPECT_EQ(dialog.Messages().back().text, "Operating Current must be a whole number.");
    EXPECT_EQ(live.Settings(), clicked) << "nothing stored";

    dialog.SetText(IDC_TC_OPERATING, "6000");  // refused after the limit and the label were shown
    EXPECT_FALSE(config.Ok());
    EXPECT_EQ(main.GetText(IDC_CURRENT_SLIDER_MAX), "5500mA");
    EXPECT_EQ(main.GetText(IDC_SINK_VBUS_LABEL), "Upstream VBUS");
    config.Cancel();
    EXPECT_EQ(live.Settings(), opened);
    EXPECT_EQ(live.loadCurrentLimit, limit);
    EXPECT_EQ(main.GetText(IDC_CURRENT_SLIDER_MAX), Format("%dmA", limit));
    EXPECT_EQ(main.GetText(IDC_SINK_VBUS_LABEL), "Downstream VBUS");
    EXPECT_FALSE(live.configDirty);
}

TEST(EditNumbers, OnlyWholeNumbersAndNothingWraps) {
    EXPECT_EQ(ParseEditNumber(" 1500 "), 1500);
    EXPECT_EQ(ParseEditNumber("-20"), -20);
    EXPECT_EQ(ParseEditNumber("70000000"), 1000000) << "beyond every limit, never wrapped";
    for (const char* text : {"1,5", "4.5", "9000abc", "", "-", "Max", "1 5"})
        EXPECT_EQ(ParseEditNumber(text), std::nullopt) << text;
    EXPECT_EQ(ParseUnsignedEdit("-1"), 0) << "never 65535";
}
