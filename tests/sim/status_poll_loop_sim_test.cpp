#include <gtest/gtest.h>

#include <cstdlib>

#include "app/readouts_presenter.h"
#include "monitor/status_poll_loop.h"
#include "platform/coalesced_wake.h"
#include "sim_bench.h"
#include "support/fake_window.h"
#include "ui/main_window_ids.h"
#include "ui/log_pane.h"

// The poll loop on its own thread keeping a window correct against the
// simulated tester, the window shown by the presenter on the test's thread,
// as the program's window thread does. The window fails the test if the
// poll thread touches it. The loop sleeps on the simulator's model clock,
// so each of its pauses moves the model on by that much.
namespace {
class PollLoopWithSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        window.OwnedByThisThread();
        ASSERT_TRUE(bench.simulator.Plug("pd65"));
        ASSERT_TRUE(bench.connection.Connect("SIM", [this](int n) { events.Notify(n); }));
        pane.Attach(&window, IDC_LOG_PANE, IDC_LOG_SCROLL);
        pane.SetRepaintRequest([this] { wake.Wake(); });
        live.SetReadoutsListener([this] { wake.Wake(); });
        live.connected = true;
        live.loadCurrentPending = false;
        loop.Start();
    }
    void TearDown() override {
        loop.Stop();
        EXPECT_EQ(window.ForeignThreadCalls(), 0) << "the poll thread used the window";
        live.SetReadoutsListener(nullptr);
        pane.SetRepaintRequest(nullptr);
    }

    // Shows what the loop published whenever it woke the window, until
    // `done` holds (at most five seconds), letting the simulator's
    // notifications arrive meanwhile.
    bool ShowUntil(const std::function<bool()>& done) {
        return WaitUntil(
            [&] {
                bench.simulator.Poke();
                if (woken.exchange(false)) {
                    wake.Taken();
                    presenter.Apply();
                    pane.Refresh();
                }
                return done();
            },
            5000);
    }

    SimBench bench;
    LiveState live;
    EventLog log;
    LogPane pane{log};
    FakeWindow window;
    PortEvents events;
    std::atomic<bool> woken{false};
    CoalescedWake wake{[this] { woken = true; }};
    ReadoutsPresenter presenter{live, window};
    StatusPollLoop loop{bench.connection, live, log, events, bench.modelClock};
};
}  // namespace

TEST_F(PollLoopWithSimulator, FollowsAttachRequestsAndDetach) {
    ASSERT_TRUE(ShowUntil([&] { return window.Get(IDC_SELECT_PROFILE).items.size() >= 2; }));
    EXPECT_EQ(window.Get(IDC_SELECT_PROFILE).items[1], "PD-FIX 9.00V");
    // Choose the 9 V profile and draw 2 A, as the window hands them over.
    live.requestedProfileIndex = 1;
    live.profileSelectPending = true;
    live.requestedLoadMa = 2000;
    live.loadCurrentPending = true;
    ASSERT_TRUE(ShowUntil([&] { return std::abs(std::atoi(window.GetText(IDC_SINK_CURRENT).c_str()) - 2000) < 30; }));
    double volts = std::atof(window.GetText(IDC_SINK_VBUS).c_str());
    EXPECT_LT(volts, 9.0) << "the cable and charger droop under load";
    EXPECT_GT(volts, 8.5);
    EXPECT_GT(window.Get(IDC_LOG_PANE).repaints, 0) << "the capabilities were logged and painted";

    bench.simulator.Unplug();
    ASSERT_TRUE(ShowUntil([&] { return window.GetText(IDC_SINK_VBUS) == " "; }));
    EXPECT_FALSE(live.sinkActive);
}
