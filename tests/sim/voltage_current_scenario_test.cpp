#include <gtest/gtest.h>

#include "graphs/result_csv.h"
#include "monitor/sink_test_settings.h"
#include "sim_bench.h"
#include "support/run_context_bench.h"

// The whole voltage-versus-current test against the simulated tester, with
// the poll loop carrying out its load requests. The test's sleeps run the
// loop's cycles until model time has moved on as far (each cycle takes 5 ms
// of it, about what its exchanges take on the wire), and give the line 1 ms
// of real time, so the tester's notifications keep pace.
namespace {
struct CycleClock : Clock {
    explicit CycleClock(SimBench& bench) : bench(bench) {}
    uint64_t NowMs() override { return bench.modelClock.NowMs(); }
    void SleepMs(uint32_t ms) override {
        if (loop == nullptr) return bench.Advance(std::max<uint32_t>(ms, 5));
        for (uint64_t until = NowMs() + ms; NowMs() < until;)
            loop->RunCycle();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    SimBench& bench;
    StatusPollLoop* loop = nullptr;  // set for the test's clock; the loop's own sleeps just move time on
};

struct Scenario {
    const char* charger;
    uint16_t cableMilliohm;
    int profileIndex;  // in the charger's capability list
    uint32_t currentLimitMode;
    int lastStepMa;    // the last step measured
    int failingSteps;  // how many steps fail
    bool detaches;     // the charger shuts down at the next step
};

// A charger on the simulated tester, attached, its profile selected, with
// the poll loop running inside the test clock's sleeps; then the test run.
void RunScenario(const Scenario& s) {
    SimBench bench;
    TestRunParts parts;
    LiveState& live = parts.live;
    CycleClock loopClock{bench}, testClock{bench};
    StatusPollLoop loop{bench.connection, live, parts.log, parts.events, loopClock};
    testClock.loop = &loop;
    ASSERT_TRUE(bench.simulator.Plug(s.charger));
    bench.simulator.SetCableMilliohm(s.cableMilliohm);
    ASSERT_TRUE(bench.connection.Connect("SIM", [&](int n) { parts.events.Notify(n); }));
    TesterConfig config;
    ASSERT_TRUE(bench.connection.GetConfig(config));
    SinkTestSettings settings;
    LoadSinkSettings(config, settings);
    settings.currentLimitMode = s.currentLimitMode;
    live.SetSettings(settings);
    live.configDirty = true;
    live.connected = true;
    live.loadCurrentPending = false;
    testClock.SleepMs(2000);  // attached, its capabilities read
    ASSERT_TRUE(live.sinkActive);
    live.requestedProfileIndex = s.profileIndex;
    live.profileSelectPending = s.profileIndex != 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            testClock.SleepMs(10);
            return live.profileChanged || s.profileIndex == 0;
        },
        5000));
    ASSERT_EQ(live.loadCurrentLimit, s.currentLimitMode == 1 ? 3600 : live.sinkRatedCurrentMa.load());

    VoltageCurrentTest test;
    RunProfile profile = CopyRunProfile(live);
    RunContext context{live, parts.log, parts.events, parts.view, parts.window, testClock};
    live.testIdle = false;
    std::atomic<bool> running{true};
    std::thread reader([&] {  // the painter and the export read while the run writes
        for (; running; std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
            VoltageCurrentResult copy = test.Result();
            EXPECT_EQ(copy.raw.size(), copy.display.size());
        }
    });
    test.Run({100, 150, 50}, profile, context);
    running = false;
    reader.join();

    std::vector<std::string> verdicts, csv;
    for (const std::string& text : LogTexts(parts.log))
        if (text.find(", I=") != std::string::npos) verdicts.push_back(text);
    VoltageCurrentResult result = test.Result();
    std::string text = ResultCsvText(result);
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        csv.push_back(text.substr(at, end - at));
    int lastStep = s.lastStepMa / 100;

    ASSERT_EQ(verdicts.size(), static_cast<size_t>(lastStep + 1 + s.detaches));
    ASSERT_EQ(csv.size(), verdicts.size() + 1);
    ChargerPreset charger = *FindChargerPreset(s.charger);
    int failing = 0;
    for (int step = 0; step < static_cast<int>(verdicts.size()); ++step) {
        SCOPED_TRACE(step * 100);
        if (step <= lastStep) {
            EXPECT_NEAR(result.raw[step],
                        ChargerOutputMv(charger, profile.voltageMv, s.cableMilliohm, step * 100) / 1000, 0.015);
        }
        // The log and the CSV agree on every step (the plot agrees with the verdicts in the presets test).
        bool passes = csv[step + 1].ends_with("PASS");
        failing += !passes;
        bool logged = verdicts[step].rfind("Under Voltage", 0) != 0 && verdicts[step].rfind("Over Voltage", 0) != 0;
        EXPECT_EQ(logged, passes) << verdicts[step];
    }
    EXPECT_EQ(failing, s.failingSteps);
    if (s.detaches) {
        EXPECT_EQ(result.raw[lastStep + 1], 0.0f) << "a detach is recorded at 0 V";
    }
    testClock.SleepMs(100);
    EXPECT_TRUE(live.LatestMeasurement().sinkCurrentMa < 50 || !live.sinkActive) << "the load is off after the test";
}
}  // namespace

TEST(VoltageCurrentWithSimulator, EachPresetIsJudgedAsItsModelSays) {
    const Scenario scenarios[] = {
        // A 65 W charger at 9 V on a 150 mOhm cable stays inside its region up to 3 A.
        {"pd65", 150, 1, 0, 3000, 0, false},
        // A 5 V DCP folds back past 1 A to about 3 V at 1.5 A: through its 500 mA notch, never out of spec.
        {"dcp", 80, 0, 0, 1500, 0, false},
        // pd-sag at 9 V with 20 % over the rated 3 A: below its IR allowance (0.75 V per 3 A) from
        // 2.5 A, in the permissible shut-down region from 3 A, where it shuts down over 3.45 A (115 %).
        {"pd-sag", 80, 1, 1, 3400, 5, true},
    };
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.charger);
        RunScenario(s);
    }
}
