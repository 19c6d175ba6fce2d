#include <gtest/gtest.h>

#include "device/frame.h"
#include "sim_bench.h"

// Each fault fails the command it hits cleanly; the next command succeeds.
namespace {
class SimFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bench.Connect());
        ASSERT_TRUE(bench.simulator.Plug("pd65"));
        ASSERT_TRUE(bench.WaitForNotification(1));
    }
    void Arm(const std::function<void(FaultPlan&)>& fault) { bench.simulator.ConfigureFaults(fault); }
    bool Measure() { return bench.connection.GetMeasurements(m); }

    SimBench bench;
    Measurements m;
};
}  // namespace

TEST_F(SimFaults, EachFaultFailsOnlyTheCommandsItHits) {
    struct Case {
        const char* what;
        std::function<void(FaultPlan&)> arm;
        std::vector<bool> answered;  // one per command, in order
    } cases[] = {
        {"two dropped answers", [](FaultPlan& f) { f.DropNext(2); }, {false, false, true}},
        {"a wrong end byte", [](FaultPlan& f) { f.CorruptEndNext(1); }, {false, true}},
        {"a pause long enough for an empty read", [](FaultPlan& f) { f.PauseNext(1, 100); }, {false, true}},
        {"a wrong check byte, which the receiver does not verify", [](FaultPlan& f) { f.CorruptCheckNext(1); }, {true}},
        {"an answer slow yet within the time-out", [](FaultPlan& f) { f.SetDelay(100); }, {true}},
        {"noise and an interleaved notification",
         [](FaultPlan& f) {
             f.GarbageNext(3);
             f.InterleaveNext(1);
         },
         {true, true, true}},
    };
    bench.ClearNotifications();
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

TEST_F(SimFaults, ALateAnswerFailsAndIsNotTakenForTheNext) {
    Arm([](FaultPlan& f) { f.SetDelay(700); });
    EXPECT_FALSE(Measure());
    Arm([](FaultPlan& f) { f.SetDelay(0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(250));  // the late answer arrives meanwhile
    PortStatus s;
    EXPECT_TRUE(bench.connection.GetPortStatus(s));
    EXPECT_EQ(s.sinkVoltageMv, 5000);
}

TEST_F(SimFaults, ASilentOrVanishedTesterFailsCommandsUntilItIsBack) {
    Arm([](FaultPlan& f) { f.SetSilent(true); });
    EXPECT_FALSE(Measure());
    bench.ClearNotifications();
    bench.simulator.Unplug();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(bench.Notifications().empty());  // silent means nothing at all
    Arm([](FaultPlan& f) { f.Clear(); });
    PortStatus s;
    EXPECT_TRUE(bench.connection.GetPortStatus(s));
    EXPECT_EQ(s.sinkAttached, 0);

    // A vanished one fails commands quickly and can be connected again.
    bench.simulator.Vanish();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Measure());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    ASSERT_TRUE(bench.Connect());
    EXPECT_EQ(bench.connection.Info().firmwareVersion, TesterIdentity().firmwareVersion);
    EXPECT_TRUE(Measure());
}

TEST(SimResponder, UnknownCommandsAndShortRequestsGetNoAnswer) {
    FastClock clock;
    Simulator simulator(clock);
    std::mutex lock;
    std::vector<uint8_t> received;
    simulator.Attach(
        [&](std::span<const uint8_t> bytes) {
            std::lock_guard<std::mutex> held(lock);
            received.insert(received.end(), bytes.begin(), bytes.end());
        },
        nullptr);
    auto receivedCount = [&] {
        std::lock_guard<std::mutex> held(lock);
        return received.size();
    };
    const uint8_t unknown[] = {0x77};
    const uint8_t shortLoad[] = {0x10, 0xD0};  // SetLoadCurrent with one byte of four
    for (auto payload : {std::span<const uint8_t>(unknown), std::span<const uint8_t>(shortLoad)}) {
        std::vector<uint8_t> frame = BuildFrame(payload[0], payload.subspan(1));
        simulator.Receive(frame);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(receivedCount(), 0u);
    // A request split over many reads is still answered once.
    std::vector<uint8_t> info = BuildFrame(0x01, {});
    for (uint8_t byte : info)
        simulator.Receive({&byte, 1});
    ASSERT_TRUE(SimBench::WaitUntil([&] { return receivedCount() == 4u + 1u + 16u; }));
    std::lock_guard<std::mutex> held(lock);
    EXPECT_EQ(received[2], 0x01);
}
