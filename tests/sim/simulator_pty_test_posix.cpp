#include <gtest/gtest.h>

#include "device/tester_connection.h"
#include "sim_bench.h"
#include "simulator_pty.h"

// The simulator behind a real pty and the POSIX serial port.
TEST(SimPty, ServesTheConnectionOverAPty) {
    FastClock modelClock, connectionClock;
    Simulator simulator(modelClock, 5, TesterIdentity{20, 41, 12, "VQPTY00000042"});
    SimulatorPty pty(simulator);
    ASSERT_TRUE(pty.Open());
    std::mutex lock;
    std::vector<int> seen;
    TesterConnection connection(CreateSerialPort, connectionClock);
    ASSERT_TRUE(connection.Connect(pty.Path(), [&](int n) {
        std::lock_guard<std::mutex> held(lock);
        seen.push_back(n);
    }));
    EXPECT_EQ(connection.Info().firmwareVersion, 41);
    EXPECT_EQ(connection.Info().DeviceIdText(), "VQPTY00000042");

    ASSERT_TRUE(simulator.Plug("epr140"));
    ASSERT_TRUE(SimBench::WaitUntil([&] {
        std::lock_guard<std::mutex> held(lock);
        return !seen.empty();
    }));
    SinkCapabilities caps;
    ASSERT_TRUE(connection.GetSinkCapabilities(caps));
    EXPECT_EQ(caps.count, 9);
    ASSERT_TRUE(connection.RequestSinkProfile(6, 0));
    ASSERT_TRUE(connection.SetLoadCurrent(3000, 0));
    Measurements m;
    ASSERT_TRUE(connection.GetMeasurements(m));
    EXPECT_NEAR(m.sinkVbusMv, 28000 - (35 + 80) * 3, 15);
    Spectrum spectrum;
    ASSERT_TRUE(connection.SetSpectrumCapture(true));
    ASSERT_TRUE(connection.GetSpectrum(spectrum));
    ASSERT_TRUE(connection.GetConfig());

    simulator.Vanish();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(connection.GetMeasurements(m));
    connection.Close();
}
