#include <gtest/gtest.h>

#include "device/tester_connection.h"
#include "support/sim_process_posix.h"

// The ampwright-sim program, run as scripts run it: in the background with
// standard input at its end.
TEST(SimProgram, ServesAfterInputEndsAndStopsOnSigterm) {
    SimProcess sim({"--firmware", "41"});
    ASSERT_TRUE(sim.ready);
    sim.CloseInput();
    FastClock clock;
    TesterConnection connection(CreateSerialPort, clock);
    ASSERT_TRUE(connection.Connect(sim.link, nullptr));
    EXPECT_EQ(connection.Info().firmwareVersion, 41);
    Measurements m;
    EXPECT_TRUE(connection.GetMeasurements(m));
    connection.Close();
    int status = sim.Terminate();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::exists(sim.link));  // the link goes with the program
}
