#include "graphs/voltage_current_test.h"

#include <gtest/gtest.h>

#include <map>

#include "monitor/log_category.h"
#include "monitor/profile_type.h"
#include "device/frame.h"
#include "graphs/result_csv.h"
#include "support/memory_line.h"
#include "support/run_context_bench.h"
#include "support/test_helpers.h"

namespace {
// A 9 V PD charger, 1000 mA in steps of 250 mA, whose voltage is over the top
// at 0 mA, inside at 250 and 1000, under at 500, below the chart's 7 V bottom
// at 750. Each of the test's sleeps passes as the poll loop would serve it,
// with a measurement; the tester on the line answers the switch-off at the
// end.
struct RunBench : TestRunParts {
    RunBench() {
        live.sinkActive = true;
        live.testIdle = false;
        live.loadCurrentPending = false;
        line.tester.SetHandler([this](uint8_t cmd, std::span<const uint8_t> payload) {
            if (cmd == kCmdSetLoadCurrent && !(payload[0] == 0 && payload[1] == 0 && loadWontGoOff)) {
                setpointMa = ReadU16(payload.data());
            }
            if (cmd != kCmdGetMeasurements) return ScriptedTester::Frame(cmd);
            uint16_t ma = setpointMa;
            return ScriptedTester::Frame(
                cmd, {25, 0x28, 0x23, 0, 0, uint8_t(ma), uint8_t(ma >> 8), uint8_t(ma), uint8_t(ma >> 8), 0, 0});
        });
        tester.Connect("COM7", [](int) {});
        context.tester = &tester;
        clock.onSleep = [this](uint64_t nowMs) {
            if (live.loadCurrentPending.exchange(false)) {
                uint16_t requested = live.requestedLoadMa;
                // A dropped request leaves the tester where it was.
                if (requested != dropRequestsOfMa || dropsLeft-- <= 0) setpointMa = requested;
            }
            uint16_t ma = setpointMa;
            if (ma == triggerMa && trigger) std::exchange(trigger, nullptr)();
            if (ma >= silentFromMa) return;  // the tester stopped answering
            Measurements m;
            m.loadSetpointMa = ma;
            m.sinkCurrentMa = stuckMa ? stuckMa : ma;
            m.sinkVbusMv = static_cast<uint16_t>(volts[ma] * 1000 + 0.5f);
            live.PublishMeasurement(m, nowMs);
        };
    }
    void Run() { test.Run({250, 500, 200}, {kProfilePd, kSubtypeFixed, 9000, 1000, 1000, false}, context); }

    VoltageCurrentTest test;
    std::map<uint16_t, float> volts = {{0, 9.5f}, {250, 9.0f}, {500, 8.0f}, {750, 6.4f}, {1000, 9.0f}};
    std::function<void()> trigger;  // runs once the load is at triggerMa
    uint16_t triggerMa = 500;
    uint16_t stuckMa = 0;  // a load that never falls
    std::atomic<uint16_t> setpointMa{0};
    uint16_t silentFromMa = 65535;  // no measurements once the load reaches this
    uint16_t dropRequestsOfMa = 65535;
    int dropsLeft = 0;
    bool loadWontGoOff = false;
    MemoryLine line;
    FastClock lineClock;
    TesterConnection tester{line.Factory(), lineClock};
};
}  // namespace

TEST(VoltageCurrentRun, StepsUpToTheLimitWithAVerdictPerStep) {
    RunBench bench;
    bench.Run();
    EXPECT_EQ(LogTexts(bench.log), (std::vector<std::string>{
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
        std::vector<std::string> texts = LogTexts(bench.log);
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

// A step needs a measurement of its own at the step's set point: a tester
// that stops answering, or that never takes a step's load, ends the run as
// incomplete with nothing recorded from that step on; a load taken on the
// second request is fine. At the end the load is confirmed off, or the run
// says where it may still be.
TEST(VoltageCurrentRun, AStepWithoutItsOwnMeasurementEndsTheRunIncomplete) {
    struct Case {
        const char* name;
        uint16_t silentFromMa, dropsOf500;
        bool loadWontGoOff;
        std::string endReason;
        size_t measured;
        std::optional<uint16_t> leftOnMa;
    };
    const Case cases[] = {
        {"complete", 65535, 0, false, "", 5, std::nullopt},
        {"silent from 500 mA", 500, 0, false, "the tester stopped answering at 500 mA", 2, std::nullopt},
        {"500 mA dropped once", 65535, 1, false, "", 5, std::nullopt},
        {"500 mA never taken", 65535, 9, false, "the tester did not take the load of 500 mA (it reports 250 mA)", 2,
         std::nullopt},
        {"the load stays on", 65535, 0, true, "", 5, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunBench bench;
        bench.silentFromMa = c.silentFromMa;
        bench.dropRequestsOfMa = 500;
        bench.dropsLeft = c.dropsOf500;
        bench.loadWontGoOff = c.loadWontGoOff;
        bench.Run();
        VoltageCurrentResult result = bench.test.Result();
        EXPECT_EQ(result.complete, c.endReason.empty());
        EXPECT_EQ(result.endReason, c.endReason);
        EXPECT_EQ(StepVerdicts(result).size(), c.measured) << "nothing recorded from the lost step on";
        EXPECT_EQ(std::count(result.raw.begin(), result.raw.end(), NO_DATA), static_cast<long>(5 - c.measured));
        EXPECT_EQ(std::count(result.display.begin(), result.display.end(), NO_DATA), static_cast<long>(5 - c.measured))
            << "the curve reaches no step that was not measured";
        EXPECT_EQ(result.loadLeftOnMa, c.leftOnMa);
        std::vector<std::string> texts = LogTexts(bench.log);
        if (!c.endReason.empty()) {
            EXPECT_EQ(texts[texts.size() - 2], "Voltage vs. Current test incomplete: " + c.endReason);
        }
        if (c.leftOnMa) {
            EXPECT_EQ(texts[texts.size() - 2], "The load could not be switched off: it may still be on at 1000 mA.");
        } else {
            EXPECT_EQ(bench.setpointMa, 0) << "the load is off on the wire";
        }
    }
}
