#include <gtest/gtest.h>

#include <cstdlib>

#include "monitor/status_poll_loop.h"
#include "sim_bench.h"
#include "support/fake_window.h"
#include "ui/main_window_ids.h"

// The poll loop keeping a window correct against the simulated tester. The
// loop sleeps on the simulator's model clock, so each of its pauses moves
// the model on by that much.
namespace {
class PollLoopWithSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bench.simulator.Plug("pd65"));
        ASSERT_TRUE(bench.connection.Connect("SIM", [this](int n) { events.Notify(n); }));
        log.AttachPane(&window, IDC_LOG_PANE, IDC_LOG_SCROLL);
        live.connected = true;
        live.loadCurrentPending = false;
    }

    // Runs cycles until `done` holds (at most `cycles`), letting the
    // simulator's notifications arrive between cycles.
    bool CycleUntil(const std::function<bool()>& done, int cycles = 20) {
        for (int i = 0; i < cycles; ++i) {
            loop.RunCycle();
            bench.simulator.Poke();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (done()) return true;
        }
        return false;
    }

    SimBench bench;
    LiveState live;
    EventLog log;
    FakeWindow window;
    PortEvents events;
    StatusPollLoop loop{bench.connection, live, log, window, events, bench.modelClock};
};
}  // namespace

TEST_F(PollLoopWithSimulator, FollowsAttachRequestsLoadAndDetach) {
    ASSERT_TRUE(CycleUntil([&] { return live.sinkActive.load(); }));
    ASSERT_GE(window.Get(IDC_SELECT_PROFILE).items.size(), 2u);
    EXPECT_EQ(window.Get(IDC_SELECT_PROFILE).items[1], "PD-FIX 9.00V");
    ASSERT_TRUE(CycleUntil([&] { return window.GetText(IDC_SINK_VBUS) != ""; }));
    EXPECT_EQ(window.GetText(IDC_SINK_VBUS).substr(0, 3), "5.0");

    // Choose the 9 V profile.
    window.SelectItem(IDC_SELECT_PROFILE, 1);
    live.profileSelectPending = true;
    ASSERT_TRUE(CycleUntil([&] { return window.GetText(IDC_SINK_VBUS).substr(0, 2) == "9."; }));

    // Draw 2 A: the load ramps there over the change time.
    live.requestedLoadMa = 2000;
    live.loadCurrentPending = true;
    ASSERT_TRUE(CycleUntil([&] { return std::abs(std::atoi(window.GetText(IDC_SINK_CURRENT).c_str()) - 2000) < 30; }));
    double volts = std::atof(window.GetText(IDC_SINK_VBUS).c_str());
    EXPECT_LT(volts, 9.0) << "the cable and charger droop under load";
    EXPECT_GT(volts, 8.5);

    bench.simulator.Unplug();
    ASSERT_TRUE(CycleUntil([&] { return !live.sinkActive; }));
    EXPECT_EQ(window.GetText(IDC_SINK_VBUS), " ");
}
