#include <gtest/gtest.h>

#include <tuple>

#include "charger.h"
#include "sim_bench.h"

// TesterConnection against the simulator: every command of the tester.
namespace {
class SimConnection : public ::testing::Test {
protected:
    void SetUp() override { bench.PlugPd65(); }
    PortStatus Status() {
        PortStatus s;
        EXPECT_TRUE(bench.connection.GetPortStatus(s));
        return s;
    }
    Measurements Measure() {
        Measurements m;
        EXPECT_TRUE(bench.connection.GetMeasurements(m));
        return m;
    }
    SimBench bench;
};
}  // namespace

TEST_F(SimConnection, RequestsProfilesOnTheirGrid) {
    ASSERT_TRUE(bench.connection.RequestSinkProfile(1, 1234));  // fixed: its own voltage
    ASSERT_TRUE(bench.WaitForNotification(3));
    EXPECT_EQ(std::tuple(Status().sinkProfileIndex, Status().sinkVoltageMv), std::tuple(1, 9000));
    const std::pair<uint8_t, uint16_t> requests[][2] = {
        {{6, 7311}, {6, 7320}},    // PPS: 20 mV grid
        {{6, 30000}, {6, 21000}},  // beyond the range: its maximum
        {{42, 9000}, {6, 21000}},  // no such profile: nothing changes
    };
    for (const auto& [asked, got] : requests) {
        ASSERT_TRUE(bench.connection.RequestSinkProfile(asked.first, asked.second));
        EXPECT_EQ(Status().sinkVoltageMv, got.second) << asked.second;
    }

    // A non-PD charger does not read composed messages.
    ASSERT_TRUE(bench.simulator.ChangeCharger("dcp"));
    ASSERT_TRUE(bench.WaitForNotification(4));
    const uint8_t ping[] = {0x45, 0x00};
    EXPECT_FALSE(bench.connection.SendPdMessage(ping));
    EXPECT_EQ(std::tuple(Status().sinkProfileType, Status().sinkProfileSubtype), std::tuple(kTypeBc, kSubtypeBcDcp));
}

// The source port offering a changed type at once is checked end to end.
TEST_F(SimConnection, KeepsFiveSourceTypesAndRefusesOnesThePortCannotGive) {
    SourceTypeRecord record;
    ASSERT_TRUE(bench.connection.GetSourceTypeConfig(1, record));
    record.name = "Bench 12V";
    record.pdProfileCount = 2;
    record.pdProfiles[1] = {0, 12000, 12000, 2000};
    ASSERT_TRUE(bench.connection.SetSourceTypeConfig(1, record));
    SourceTypeRecord bad = record;
    bad.pdProfiles[1].maximumMv = 30000;  // beyond what the port can give
    EXPECT_FALSE(bench.connection.SetSourceTypeConfig(1, bad));
    EXPECT_FALSE(bench.connection.SelectSourceType(5));

    ASSERT_TRUE(bench.connection.GetSourceTypeConfig(1, record));
    // Slots beyond the count are zero.
    EXPECT_EQ(
        std::tuple(record.name, record.pdProfileCount, record.pdProfiles[1].maximumMv, record.pdProfiles[2].maximumMv),
        std::tuple("Bench 12V", 2, 12000, 0));
}

TEST_F(SimConnection, LoopbackPassesTheSinkSupplyThrough) {
    ASSERT_TRUE(bench.connection.RequestSinkProfile(1, 9000));
    bench.simulator.SetSourceDevice(SourceDevice{20000, 1000});
    TesterConfig config;
    config.loopbackMode = 1;
    ASSERT_TRUE(bench.connection.SetConfig(config));
    EXPECT_EQ(std::tuple(Status().sourceVoltageMv, Status().sourceRequestedCurrentMa), std::tuple(9000, 1000));
    Measurements m = Measure();
    EXPECT_NEAR(m.sourceVbusMv, m.sinkVbusMv, 20);
    EXPECT_NEAR(m.sourceCurrentMa, 1000, 10);
    // The charger feeds the pass-through: the sink port droops under it.
    EXPECT_NEAR(m.sinkVbusMv, 9000 - 125, 15);
}

TEST_F(SimConnection, MeasuresThroughStoredCalibrationUntilReset) {
    // Sink VBUS: the reference reads 1 % above what the tester measures.
    ASSERT_TRUE(bench.connection.SetCalibration(2, 2024, 5, {4040, 4000, 20200, 20000}));
    CalibrationRecord record;
    ASSERT_TRUE(bench.connection.GetCalibration(2, record));
    EXPECT_EQ(std::tuple(record.stored, record.month), std::tuple(1, 5));
    EXPECT_NEAR(Measure().sinkVbusMv, 5050, 15);

    ASSERT_TRUE(bench.connection.ResetCalibration(2));
    ASSERT_TRUE(bench.connection.GetCalibration(2, record));
    EXPECT_EQ(record.stored, 0);
    EXPECT_NEAR(Measure().sinkVbusMv, 5000, 15);
    // Two equal tester values define no line: the raw reading stays.
    ASSERT_TRUE(bench.connection.SetCalibration(2, 2024, 5, {4000, 4000, 20000, 4000}));
    EXPECT_NEAR(Measure().sinkVbusMv, 5000, 15);
}

// Their echoes on the trace are checked with the tracer.
TEST_F(SimConnection, ComposedMessagesAreReadWholeAndOnlyByAPartner) {
    const uint8_t getSourceCap[] = {0x47, 0x0A};  // Get_Source_Cap, sink/UFP, rev 3.0, ID 5
    EXPECT_TRUE(bench.connection.SendPdMessage(getSourceCap));
    const uint8_t hardReset[] = {kPdHardResetMarker};
    EXPECT_TRUE(bench.connection.SendPdMessage(hardReset));
    const uint8_t truncated[] = {0x42, 0x10};  // declares one data object, carries none
    EXPECT_FALSE(bench.connection.SendPdMessage(truncated));
    bench.simulator.Unplug();
    ASSERT_TRUE(bench.WaitForNotification(2));
    EXPECT_FALSE(bench.connection.SendPdMessage(getSourceCap));  // nobody to read it
}
