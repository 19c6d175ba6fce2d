#include <gtest/gtest.h>

#include "scenario_commands.h"
#include "sim_bench.h"

// Scripted scenarios, as ampwright-sim runs them, seen through TesterConnection.
namespace {
class SimScenario : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bench.Connect()); }
    void Script(const std::string& lines) {
        std::istringstream in(lines);
        std::string line;
        while (std::getline(in, line))
            ASSERT_TRUE(commands.Run(line).ok) << line;
    }
    SimBench bench;
    ScenarioCommands commands{bench.simulator, bench.modelClock};
};
}  // namespace

// The commands the program's and the end-to-end tests do not use: wait
// moves model time, cable and drop reach the model.
TEST_F(SimScenario, WaitCableAndDropReachTheModel) {
    Script("plug pd65\n");
    ASSERT_TRUE(bench.WaitForNotification(1));
    ASSERT_TRUE(bench.connection.SetLoadCurrent(2000, 500));
    Script("wait 250\n");
    Measurements m;
    ASSERT_TRUE(bench.connection.GetMeasurements(m));
    EXPECT_NEAR(m.sinkCurrentMa, 1000, 30);  // half way up the ramp
    Script("wait 250\ncable 150\n");
    ASSERT_TRUE(bench.connection.GetMeasurements(m));
    EXPECT_NEAR(m.sinkVbusMv, 5000 - (45 + 150) * 2, 15);
    Script("drop 1\n");
    EXPECT_FALSE(bench.connection.GetMeasurements(m));
    EXPECT_TRUE(bench.connection.GetMeasurements(m));
}

TEST_F(SimScenario, BadCommandsAreReportedCommentsAndQuitAreNot) {
    EXPECT_FALSE(commands.Run("plug toaster").ok);
    EXPECT_FALSE(commands.Run("drop").ok);
    EXPECT_FALSE(commands.Run("frobnicate").ok);
    EXPECT_TRUE(commands.Run("# a comment").ok);
    EXPECT_TRUE(commands.Run("quit").quit);
}
