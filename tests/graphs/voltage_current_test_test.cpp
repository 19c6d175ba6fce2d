#include "graphs/voltage_current_test.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <utility>

#include "monitor/log_category.h"
#include "monitor/profile_type.h"
#include "support/test_run_bench.h"

namespace {
// A 9 V PD charger, 1000 mA in steps of 250 mA, whose voltage is over the top
// at 0 mA, inside at 250 and 1000, under at 500, below the chart's 7 V bottom
// at 750. Each of the test's sleeps passes as the poll loop would have
// served it: the load request is carried out and the sink measured.
struct RunBench : TestRunParts {
    RunBench() {
        live.sinkActive = true;
        live.testIdle = false;
        live.loadCurrentPending = false;
        clock.onSleep = [this](uint64_t) { Serve(); };
    }

    void Serve() {
        if (live.loadCurrentPending.exchange(false)) live.loadSetpointMa = live.requestedLoadMa.load();
        uint16_t ma = live.loadSetpointMa;
        if (ma == triggerMa && atHalfWay) std::exchange(atHalfWay, nullptr)();
        live.sinkCurrentMa = stuckMa ? stuckMa : ma;
        live.totalCurrentMa = live.sinkCurrentMa.load();
        live.sinkVolts = volts[ma];
        ++live.measurementCount;
    }

    void Run() { test.Run({250, 500, 200}, {kProfilePd, kSubtypeFixed, 9000, 1000, 1000, false}, context); }

    std::vector<std::string> LogTexts() {
        std::vector<std::string> texts;
        for (int i = 0; i < log.Records().RecordCount(); ++i)
            texts.push_back(log.Records().GetRecord(i)->text);
        return texts;
    }

    VoltageCurrentTest test;
    std::map<uint16_t, float> volts = {{0, 9.5f}, {250, 9.0f}, {500, 8.0f}, {750, 6.4f}, {1000, 9.0f}};
    std::function<void()> atHalfWay;  // runs once the load is at triggerMa
    uint16_t triggerMa = 500;
    uint16_t stuckMa = 0;
};
}  // namespace

TEST(VoltageCurrentSteps, CountAndLabelSpacing) {
    EXPECT_EQ(StepCount(3000, 100), 31);
    EXPECT_EQ(StepCount(5000, 25), 201);
    EXPECT_EQ(CurrentAxisDivisions(5000, 25), 50);  // 200 halved twice
    EXPECT_EQ(StepCount(5000, 25) / CurrentAxisDivisions(5000, 25), 4) << "a label every 4 steps";
    EXPECT_EQ(CurrentAxisDivisions(3000, 100), 30);
}

TEST(VoltageCurrentRun, StepsUpToTheLimitWithAVerdictPerStep) {
    RunBench bench;
    bench.Run();
    EXPECT_EQ(bench.LogTexts(), (std::vector<std::string>{
                                    "Start Voltage vs. Current Test",
                                    "Over Voltage,V=9.500V, I=0mA, P=0.00W",
                                    "V=9.00V, I=250mA, P=2.25W",
                                    "Under Voltage, V=8.000V, I=500mA, P=4.00W",
                                    "Under Voltage, V=6.400V, I=750mA, P=4.80W",
                                    "V=9.00V, I=1000mA, P=9.00W",
                                    "End Voltage vs. Current Test",
                                }));
    EXPECT_EQ(bench.log.Records().GetRecord(1)->category, kLogError);
    EXPECT_EQ(bench.log.Records().GetRecord(2)->category, kLogDiagnostics);
    VoltageCurrentResult result = bench.test.Result();
    EXPECT_EQ(result.raw, (std::vector<float>{9.5f, 9.0f, 8.0f, 6.4f, 9.0f}));
    EXPECT_EQ(result.display, (std::vector<float>{9.5f, 9.0f, 8.0f, 7.0f, 9.0f})) << "plotted no lower than 7 V";
    EXPECT_EQ(bench.view.series, result.display);
    EXPECT_EQ(bench.view.status, "V(Min): 6.40V   V(Max): 9.50V   I Total(Min): 0mA   I Total(Max): 1000mA");
    EXPECT_TRUE(bench.view.settingsEnabled);
    EXPECT_EQ(bench.live.requestedLoadMa, 0) << "the load is switched off at the end";
    EXPECT_TRUE(bench.live.loadCurrentPending);
    EXPECT_EQ(bench.clock.NowMs(), 5u * 501u) << "per step its step time and one fresh measurement";
}

// Every way a run can end early still switches the load off and logs its end.
TEST(VoltageCurrentRun, EndsEarlyAndAlwaysSwitchesTheLoadOff) {
    struct Case {
        const char* name;
        std::function<void(RunBench&)> setUp;
        float rawAtHalfWay;
        std::string lastLine;  // before the end line
        std::string messageTitle;
    };
    const char* const kMeasured250 = "V=9.00V, I=250mA, P=2.25W";
    std::vector<Case> cases = {
        {"stop", [](RunBench& b) { b.atHalfWay = [&b] { b.events.testStop.Set(); }; }, NO_DATA, kMeasured250, ""},
        {"detach", [](RunBench& b) { b.atHalfWay = [&b] { b.events.sinkDetach.Set(); }; }, 0.0f,
         "Under Voltage, V=0.000V, I=500mA, P=0.00W", ""},
        {"profile change", [](RunBench& b) { b.atHalfWay = [&b] { b.live.profileChanged = true; }; }, NO_DATA,
         kMeasured250, "Test stopped"},
        {"stop while the load falls",
         [](RunBench& b) {
             b.live.sinkCurrentMa = b.stuckMa = 800;
             b.triggerMa = 0;
             b.atHalfWay = [&b] { b.events.testStop.Set(); };
         },
         NO_DATA, "(never started)", ""},
        {"detach while the load falls",
         [](RunBench& b) {
             b.live.sinkCurrentMa = b.stuckMa = 800;
             b.triggerMa = 0;
             b.atHalfWay = [&b] { b.events.sinkDetach.Set(); };
         },
         NO_DATA, "(never started)", ""},
        {"load stays on", [](RunBench& b) { b.live.sinkCurrentMa = b.stuckMa = 800; }, NO_DATA, "(never started)",
         "Ampwright Error"},
        {"no device", [](RunBench& b) { b.live.sinkActive = false; }, NO_DATA, "(never started)", "Ampwright: Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunBench bench;
        c.setUp(bench);
        bench.Run();
        std::vector<std::string> texts = bench.LogTexts();
        EXPECT_EQ(texts.back(), "End Voltage vs. Current Test");
        EXPECT_EQ(texts.size() > 1 ? texts[texts.size() - 2] : "(never started)", c.lastLine);
        std::vector<FakeWindow::Message> messages = bench.window.Messages();
        EXPECT_EQ(messages.empty() ? "" : messages[0].title, c.messageTitle);
        EXPECT_LE(messages.size(), 1u);
        VoltageCurrentResult result = bench.test.Result();
        EXPECT_EQ(result.raw.size() > 2 ? result.raw[2] : NO_DATA, c.rawAtHalfWay);
        EXPECT_EQ(bench.live.requestedLoadMa, 0);
        EXPECT_TRUE(bench.live.loadCurrentPending);
        EXPECT_FALSE(bench.live.profileChanged);
    }
}

TEST(VoltageCurrentRun, ADetachDropsTheCurveToTheBottomAndEndsTheRun) {
    RunBench bench;
    bench.atHalfWay = [&bench] { bench.events.sinkDetach.Set(); };
    bench.Run();
    EXPECT_EQ(bench.test.Result().display, (std::vector<float>{9.5f, 9.0f, 7.0f, 7.0f, 7.0f}));
    EXPECT_TRUE(bench.live.testIdle);
}

TEST(VoltageCurrentRun, ALoadThatStaysOnGivesUpAfterFiveSeconds) {
    RunBench bench;
    bench.live.sinkCurrentMa = bench.stuckMa = 800;
    bench.Run();
    EXPECT_EQ(bench.clock.NowMs(), 5000u);
    EXPECT_NE(bench.window.Messages().at(0).text.find("did not fall to 50 mA"), std::string::npos);
}
