#include <gtest/gtest.h>

#include <condition_variable>

#include "graphs/test_csv.h"
#include "graphs/voltage_current_test.h"
#include "monitor/sink_test_settings.h"
#include "platform/format.h"
#include "sim_bench.h"
#include "support/fake_window.h"
#include "support/test_run_bench.h"
#include "ui/main_window_ids.h"

// The whole voltage-versus-current test against the simulated tester, with
// the poll loop carrying out its load requests, on model time: each poll
// cycle moves time on by 5 ms (about what its exchanges take on the wire),
// and the test's own waits last until the loop has moved time that far.
namespace {
class ModelTime {
public:
    explicit ModelTime(SimBench& bench) : loop_(*this), test_(*this), bench_(bench) {}
    Clock& LoopClock() { return loop_; }
    Clock& TestClock() { return test_; }

private:
    struct Loop : Clock {
        explicit Loop(ModelTime& time) : time(time) {}
        uint64_t NowMs() override { return time.bench_.modelClock.NowMs(); }
        void SleepMs(uint32_t ms) override {
            {
                std::lock_guard<std::mutex> held(time.lock_);
                time.bench_.modelClock.Advance(std::max<uint32_t>(ms, 5));
            }
            time.bench_.simulator.Poke();
            time.moved_.notify_all();
        }
        ModelTime& time;
    };
    struct Test : Clock {
        explicit Test(ModelTime& time) : time(time) {}
        uint64_t NowMs() override { return time.bench_.modelClock.NowMs(); }
        void SleepMs(uint32_t ms) override {
            uint64_t until = NowMs() + ms;
            std::unique_lock<std::mutex> held(time.lock_);
            if (!time.moved_.wait_for(held, std::chrono::seconds(5), [&] { return NowMs() >= until; }))
                ADD_FAILURE() << "the poll loop stopped moving time on";
        }
        ModelTime& time;
    };
    Loop loop_;
    Test test_;
    SimBench& bench_;
    std::mutex lock_;
    std::condition_variable moved_;
};

struct Scenario {
    const char* charger;
    uint16_t cableMilliohm;
    int profileIndex;  // in the charger's capability list
    uint32_t currentLimitMode;
    int lastStepMa;  // the last step measured
    int passUpToMa;  // every step up to here passes, every later one fails
    bool detaches;   // the charger shuts down at the step after the last one measured
};

class VoltageCurrentWithSimulator : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override {
        const Scenario& s = GetParam();
        ASSERT_TRUE(bench.simulator.Plug(s.charger));
        bench.simulator.SetCableMilliohm(s.cableMilliohm);
        ASSERT_TRUE(bench.connection.Connect("SIM", [this](int n) { events.Notify(n); }));
        live.connected = true;
        live.loadCurrentPending = false;
        // The tester's own configuration, with the chosen current limit mode.
        ASSERT_TRUE(bench.connection.GetConfig());
        LoadSinkSettings(bench.connection.Config(), live.settings);
        live.settings.currentLimitMode = s.currentLimitMode;
        live.configDirty = true;
        loop.Start();
        // Attached, and the attach handler done with the profile list.
        ASSERT_TRUE(SimBench::WaitUntil([&] { return live.sinkActive && live.measurementCount > 2; }, 5000));
        if (s.profileIndex != 0) {
            window.SelectItem(IDC_SELECT_PROFILE, s.profileIndex);
            live.profileSelectPending = true;
            ASSERT_TRUE(SimBench::WaitUntil([&] { return live.profileChanged.load(); }, 5000));
        }
        // A few more cycles: the new profile's limit is in place.
        uint32_t seen = live.measurementCount;
        ASSERT_TRUE(SimBench::WaitUntil([&] { return live.measurementCount > seen + 3; }, 5000));
    }
    void TearDown() override { loop.Stop(); }

    SimBench bench;
    LiveState live;
    EventLog log;
    FakeWindow window;
    PortEvents events;
    ModelTime time{bench};
    StatusPollLoop loop{bench.connection, live, log, window, events, time.LoopClock()};
    FakeTestView view;
};
}  // namespace

TEST_P(VoltageCurrentWithSimulator, EachStepIsJudgedAsTheChargersModelSays) {
    const Scenario& s = GetParam();
    ChargerPreset charger = *FindChargerPreset(s.charger);
    TestProfile profile = CopyTestProfile(live);
    TestContext context{live, log, events, view, window, time.TestClock()};
    VoltageCurrentTest test;
    live.testIdle = false;
    // The painter and the export read while the run writes: each copy is whole.
    std::atomic<bool> running{true};
    std::thread reader([&] {
        while (running) {
            VoltageCurrentResult copy = test.Result();
            EXPECT_EQ(copy.raw.size(), copy.display.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    test.Run({100, 150, 50}, profile, context);
    running = false;
    reader.join();
    live.testIdle = true;

    VoltageCurrentResult result = test.Result();
    std::vector<std::string> verdicts;
    for (int i = 0; i < log.Records().RecordCount(); ++i) {
        std::string text = log.Records().GetRecord(i)->text;
        if (text.find(", I=") != std::string::npos) verdicts.push_back(text);
    }
    int lastStep = s.lastStepMa / 100;
    ASSERT_EQ(verdicts.size(), static_cast<size_t>(lastStep + 1 + (s.detaches ? 1 : 0)));
    std::vector<std::string> csv;
    std::string text = TestCsvText(result);
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        csv.push_back(text.substr(at, end - at));
    ASSERT_EQ(csv.size(), verdicts.size() + 1);
    for (int step = 0; step <= lastStep; ++step) {
        SCOPED_TRACE(step * 100);
        double modelV = ChargerOutputMv(charger, profile.voltageMv, s.cableMilliohm, step * 100) / 1000;
        EXPECT_NEAR(result.raw[step], modelV, 0.015);
        bool passes = step * 100 <= s.passUpToMa;
        EXPECT_EQ(verdicts[step].rfind("Under Voltage", 0) == 0, !passes) << verdicts[step];
        EXPECT_NE(csv[step + 1].find(Format(",%d,", step * 100)), std::string::npos);
        EXPECT_TRUE(csv[step + 1].ends_with(passes ? "PASS" : "FAIL")) << csv[step + 1];
    }
    if (s.detaches) {
        EXPECT_EQ(verdicts.back(), Format("Under Voltage, V=0.000V, I=%dmA, P=0.00W", s.lastStepMa + 100));
        EXPECT_EQ(result.raw[lastStep + 1], 0.0f);
    }
    EXPECT_EQ(log.Records().GetRecord(-1)->text, "End Voltage vs. Current Test");
    EXPECT_TRUE(SimBench::WaitUntil([&] { return live.sinkCurrentMa < 50 || !live.sinkActive; }, 5000))
        << "the load is off after the test";
}

INSTANTIATE_TEST_SUITE_P(
    Presets, VoltageCurrentWithSimulator,
    ::testing::Values(
        // A 65 W charger at 9 V on a 150 mOhm cable stays inside its region up to 3 A.
        Scenario{"pd65", 150, 1, 0, 3000, 3000, false},
        // A 5 V DCP folds back past 1 A to about 3 V at 1.5 A: through its 500 mA notch, never out of spec.
        Scenario{"dcp", 80, 0, 0, 1500, 1500, false},
        // pd-sag at 9 V with 20 % over the rated 3 A: out of tolerance from 2.4 A (the 3.6 A limit
        // allows 0.75 V per 5 A), shut down over 3.45 A (115 %) on the way to 3.5 A.
        Scenario{"pd-sag", 80, 1, 1, 3400, 2300, true}),
    [](const ::testing::TestParamInfo<Scenario>& info) {
        std::string name = info.param.charger;
        name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
        return name;
    });
