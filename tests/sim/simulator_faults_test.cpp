#include <gtest/gtest.h>

#include "device/frame.h"
#include "sim_bench.h"

// Each fault fails the command it hits cleanly; the next command succeeds.
namespace {
class SimFaults : public ::testing::Test {
protected:
    void SetUp() override { bench.PlugPd65(); }
    void Arm(const std::function<void(FaultPlan&)>& fault) { bench.simulator.ConfigureFaults(fault); }
    bool Measure() { return bench.connection.GetMeasurements(m); }

    SimBench bench;
    Measurements m;
};
}  // namespace

// Dropped answers are checked with the scenario commands, a wrong end byte
// with the spectrum graph, an unchecked check byte with the receiver.
TEST_F(SimFaults, EachFaultFailsOnlyTheCommandsItHits) {
    struct Case {
        const char* what;
        std::function<void(FaultPlan&)> arm;
        std::vector<bool> answered;  // one per command, in order
    } cases[] = {
        {"a pause long enough for an empty read", [](FaultPlan& f) { f.PauseNext(1, 100); }, {false, true}},
        {"an answer slow yet within the time-out", [](FaultPlan& f) { f.SetDelay(100); }, {true}},
        {"noise and an interleaved notification",
         [](FaultPlan& f) {
             f.GarbageNext(3);
             f.InterleaveNext(1);
         },
         {true, true, true}},
    };
    for (const Case& c : cases) {
        Arm(c.arm);
        for (bool answered : c.answered) {
            m = Measurements();
            EXPECT_EQ(Measure(), answered) << c.what;
        }
        EXPECT_NEAR(m.sinkVbusMv, 5000, 15) << c.what;
        Arm([](FaultPlan& f) { f.Clear(); });
    }
    EXPECT_TRUE(bench.WaitForNotification(3)) << "the interleaved notification";
    Spectrum spectrum;
    Arm([](FaultPlan& f) { f.InterleaveNext(1); });
    EXPECT_TRUE(bench.connection.GetSpectrum(spectrum));
}

// A late answer is not taken for the next command's; a silent tester says
// nothing at all. (A vanished one is connected again in the discovery tests.)
TEST_F(SimFaults, LateAndSilentTesters) {
    Arm([](FaultPlan& f) { f.SetDelay(700); });
    EXPECT_FALSE(Measure());
    Arm([](FaultPlan& f) { f.SetDelay(0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(250));  // the late answer arrives meanwhile
    PortStatus s;
    EXPECT_TRUE(bench.connection.GetPortStatus(s));
    EXPECT_EQ(s.sinkVoltageMv, 5000);

    Arm([](FaultPlan& f) { f.SetSilent(true); });
    EXPECT_FALSE(Measure());
    bench.simulator.Unplug();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(bench.Notifications().empty());
    Arm([](FaultPlan& f) { f.Clear(); });
    EXPECT_TRUE(bench.connection.GetPortStatus(s));
    EXPECT_EQ(s.sinkAttached, 0);
}

TEST(SimResponder, UnknownCommandsAndShortRequestsGetNoAnswer) {
    FastClock clock;
    Simulator simulator(clock);
    std::mutex lock;
    Bytes received;
    simulator.Attach(
        [&](std::span<const uint8_t> b) { Lock(lock, received)->insert(received.end(), b.begin(), b.end()); }, nullptr);
    simulator.Receive(BuildFrame(0x77, {}));
    simulator.Receive(BuildFrame(kCmdSetLoadCurrent, Bytes{0xD0}));  // one byte of four
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(Lock(lock, received)->empty());
    // A request split over many reads is still answered once.
    for (uint8_t byte : BuildFrame(kCmdGetDeviceInfo, {}))
        simulator.Receive({&byte, 1});
    ASSERT_TRUE(WaitUntil([&] { return Lock(lock, received)->size() == 4u + 1u + 16u; }));
    EXPECT_EQ(Lock(lock, received)->at(2), kCmdGetDeviceInfo);
}
