#include <gtest/gtest.h>

#include <algorithm>

#include "sim/sim_bench.h"
#include "support/fake_window.h"
#include "support/test_helpers.h"
#include "tracer/tracer_window.h"
#include "ui/tracer_ids.h"

// The tracer against the simulated tester: negotiations on the trace, and
// composed messages on the wire with their echoes marked.
namespace {
class TracerSim : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bench.Connect());
        ASSERT_TRUE(bench.simulator.Plug("pd65"));
        ASSERT_TRUE(bench.WaitForNotification(1));
        live.connected = true;
        live.sinkActive = true;
        tracer.Initialize();
    }
    bool WaitForRow(const std::string& start) {
        return WaitUntil([&] {
            std::vector<std::string> rows = tracer.Store().Rows();
            return std::any_of(rows.begin(), rows.end(), [&](const std::string& r) { return r.starts_with(start); });
        });
    }

    SimBench bench;
    FakeWindow window;
    LiveState live;
    TracerSharedState shared;
    std::atomic<int> arrivals{0};
    TracerWindow tracer{{window, window, bench.connection, live, shared, [this] { ++arrivals; }}};
};
}  // namespace

TEST_F(TracerSim, ShowsANegotiationAndMarksComposedEchoes) {
    bench.simulator.Unplug();
    ASSERT_TRUE(bench.simulator.Plug("pd65"));
    ASSERT_TRUE(WaitForRow("0,Source_Capabilities,DFP,Source,3.0,"));
    ASSERT_TRUE(WaitForRow("0,PS_RDY,DFP,Source,3.0,"));
    EXPECT_GT(arrivals.load(), 0);

    auto items = window.Get(IDC_COMPOSER_TYPE).items;
    window.SelectItem(IDC_COMPOSER_TYPE,
                      static_cast<int>(std::find(items.begin(), items.end(), "Get_Source_Cap") - items.begin()));
    tracer.OnCommand(IDC_COMPOSER_TYPE, 1);
    tracer.OnCommand(IDC_COMPOSER_SEND, 0);
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_TRUE(WaitForRow("1,Get_Source_Cap,UFP,Sink,3.0,"));

    tracer.Close();
    int rows = tracer.Store().RowCount();
    bench.simulator.Unplug();
    ASSERT_TRUE(bench.simulator.Plug("pd65"));
    ASSERT_TRUE(bench.WaitForNotification(1));
    EXPECT_EQ(tracer.Store().RowCount(), rows) << "tracing stopped with the window";
    // The replug's notifications may still be coming: the link goes before
    // the bench's notification list does.
    bench.connection.Close();
}

TEST_F(TracerSim, AReconnectedTesterIsTracedAgainWhenTheTracerResumes) {
    // What selecting a tester does to the link: a new connection whose
    // trace is stopped.
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.connection.StopTrace());
    auto replugged = [this] {
        int rows = tracer.Store().RowCount();
        bench.simulator.Unplug();
        bench.simulator.Plug("pd65");
        return WaitUntil([&] { return tracer.Store().RowCount() > rows; }, 500);
    };
    EXPECT_FALSE(replugged()) << "silenced by the reconnection";
    ASSERT_TRUE(tracer.ResumeTracing());
    EXPECT_TRUE(replugged());
    tracer.Close();
    bench.connection.Close();
}
