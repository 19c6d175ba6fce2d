#include "graphs/voltage_current_test.h"

#include <gtest/gtest.h>

#include <map>

#include "monitor/log_category.h"
#include "monitor/profile_type.h"
#include "support/test_run_bench.h"

namespace {
// A 9 V PD charger, 1000 mA in steps of 250 mA, whose voltage is over the top
// at 0 mA, inside at 250 and 1000, under at 500, below the chart's 7 V bottom
// at 750. Each of the test's sleeps passes as the poll loop would serve it.
struct RunBench : TestRunParts {
    RunBench() {
        live.sinkActive = true;
        live.testIdle = false;
        live.loadCurrentPending = false;
        clock.onSleep = [this](uint64_t nowMs) {
            if (live.loadCurrentPending.exchange(false)) setpointMa = live.requestedLoadMa.load();
            uint16_t ma = setpointMa;
            if (ma == triggerMa && trigger) std::exchange(trigger, nullptr)();
            Measurements m;
            m.loadSetpointMa = ma;
            m.sinkCurrentMa = stuckMa ? stuckMa : ma;
            m.sinkVbusMv = static_cast<uint16_t>(volts[ma] * 1000 + 0.5f);
            live.PublishMeasurement(m, nowMs);
        };
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
    std::function<void()> trigger;  // runs once the load is at triggerMa
    uint16_t triggerMa = 500;
    uint16_t stuckMa = 0;  // a load that never falls
    uint16_t setpointMa = 0;
};
}  // namespace

TEST(VoltageCurrentSteps, CurrentLabelSpacing) {
    EXPECT_EQ(CurrentAxisDivisions(5000, 25), 50);  // 200 halved twice: a label every 201 / 50 = 4 steps
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
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.raw, (std::vector<float>{9.5f, 9.0f, 8.0f, 6.4f, 9.0f}));
    EXPECT_EQ(result.display, (std::vector<float>{9.5f, 9.0f, 8.0f, 7.0f, 9.0f})) << "plotted no lower than 7 V";
    EXPECT_EQ(bench.view.series, result.display);
    EXPECT_EQ(bench.view.status, "V(Min): 6.40V   V(Max): 9.50V   I Total(Min): 0mA   I Total(Max): 1000mA");
    EXPECT_EQ(bench.clock.NowMs(), 100u + 5u * 501u)
        << "the load seen off in a measurement after the request, then per step its step time and one fresh "
           "measurement";
}

// Every way a run can end early still switches the load off and logs its end.
TEST(VoltageCurrentRun, EndsEarlyAndAlwaysSwitchesTheLoadOff) {
    enum Trigger { kNothing, kStop, kDetach, kProfileChange };
    struct Case {
        const char* name;
        Trigger trigger;
        bool loadStaysOn;  // the trigger then comes while the test waits for the load to fall
        bool device;
        std::vector<float> displayFromHalfWay;
        std::string lastLine;  // before the end line
        std::string messageTitle;
    };
    const std::string kNever = "(never started)", k250 = "V=9.00V, I=250mA, P=2.25W";
    const std::vector<float> kAhead = {9.0f, NO_DATA, NO_DATA}, kNone(3, NO_DATA);
    const Case cases[] = {
        {"stop", kStop, false, true, kAhead, k250, ""},
        {"detach", kDetach, false, true, {7.0f, 7.0f, 7.0f}, "Under Voltage, V=0.000V, I=500mA, P=0.00W", ""},
        {"profile change", kProfileChange, false, true, kAhead, k250, "Test stopped"},
        {"stop while the load falls", kStop, true, true, kNone, kNever, ""},
        {"detach while the load falls", kDetach, true, true, kNone, kNever, ""},
        {"load stays on", kNothing, true, true, kNone, kNever, "Ampwright Error"},
        {"no device", kNothing, false, false, {}, kNever, "Ampwright: Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunBench bench;
        bench.live.sinkActive = c.device;
        if (c.loadStaysOn) bench.stuckMa = 800, bench.triggerMa = 0;
        bench.trigger = [&bench, &c] {
            if (c.trigger == kStop) bench.events.testStop.Set();
            if (c.trigger == kDetach) bench.events.sinkDetach.Set();
            if (c.trigger == kProfileChange) bench.live.profileChanged = true;
        };
        bench.Run();
        std::vector<std::string> texts = bench.LogTexts();
        EXPECT_EQ(texts.back(), "End Voltage vs. Current Test");
        EXPECT_EQ(texts.size() > 1 ? texts[texts.size() - 2] : kNever, c.lastLine);
        std::vector<FakeWindow::Message> messages = bench.window.Messages();
        EXPECT_EQ(messages.empty() ? "" : messages[0].title, c.messageTitle);
        EXPECT_FALSE(bench.test.Result().complete);
        std::vector<float> display = bench.test.Result().display;
        EXPECT_EQ(std::vector<float>(display.begin() + std::min<size_t>(2, display.size()), display.end()),
                  c.displayFromHalfWay);
        EXPECT_EQ(bench.live.requestedLoadMa, 0);
        EXPECT_TRUE(bench.live.loadCurrentPending);
        EXPECT_FALSE(bench.live.profileChanged);
    }
}
