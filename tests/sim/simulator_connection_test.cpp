#include <gtest/gtest.h>

#include <tuple>

#include "charger.h"
#include "sim_bench.h"

// TesterConnection against the simulator: every command of the tester.
namespace {
class SimConnection : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bench.Connect());
        ASSERT_TRUE(bench.simulator.Plug("pd65"));
        ASSERT_TRUE(bench.WaitForNotification(1));
        bench.ClearNotifications();
    }
    PortStatus Status() {
        PortStatus s;
        EXPECT_TRUE(bench.connection.GetPortStatus(s));
        return s;
    }
    SimBench bench;
};
}  // namespace

TEST_F(SimConnection, ReportsTheCapabilitiesAndRequestsProfilesOnTheirGrid) {
    SinkCapabilities caps;
    ASSERT_TRUE(bench.connection.GetSinkCapabilities(caps));
    ASSERT_EQ(caps.count, 8);
    EXPECT_EQ(caps.entries[0].ProfileType(), kTypePd);
    EXPECT_EQ(caps.entries[0].maximumMv, 5000);
    EXPECT_EQ(caps.entries[4].maximumCurrentMa, 3250);
    EXPECT_EQ(caps.entries[6].ProfileSubtype(), kSubtypeProgrammable);
    EXPECT_EQ(caps.entries[6].minimumMv, 3300);
    EXPECT_EQ(caps.entries[7].ProfileType(), kTypeUsbc);
    PortStatus s = Status();
    EXPECT_EQ(s.sinkAttached, 1);
    EXPECT_EQ(s.sinkVoltageMv, 5000);
    EXPECT_EQ(s.sinkProfileCurrentMa, 3000);

    ASSERT_TRUE(bench.connection.RequestSinkProfile(1, 1234));  // fixed: its own voltage
    ASSERT_TRUE(bench.WaitForNotification(3));
    s = Status();
    EXPECT_EQ(s.sinkProfileIndex, 1);
    EXPECT_EQ(s.sinkVoltageMv, 9000);

    ASSERT_TRUE(bench.connection.RequestSinkProfile(6, 7311));  // PPS: 20 mV grid
    EXPECT_EQ(Status().sinkVoltageMv, 7320);
    ASSERT_TRUE(bench.connection.RequestSinkProfile(6, 30000));  // beyond the range: its maximum
    EXPECT_EQ(Status().sinkVoltageMv, 21000);

    ASSERT_TRUE(bench.connection.RequestSinkProfile(42, 9000));  // no such profile: nothing changes
    EXPECT_EQ(Status().sinkVoltageMv, 21000);

    // A non-PD charger does not read composed messages.
    ASSERT_TRUE(bench.simulator.ChangeCharger("dcp"));
    ASSERT_TRUE(bench.WaitForNotification(4));
    const uint8_t ping[] = {0x45, 0x00};
    EXPECT_FALSE(bench.connection.SendPdMessage(ping));
    s = Status();
    EXPECT_EQ(s.sinkProfileType, kTypeBc);
    EXPECT_EQ(s.sinkProfileSubtype, kSubtypeBcDcp);
}

TEST_F(SimConnection, StoresEveryConfigurationRegister) {
    // Registers away from their defaults, so that each one's width and place is checked.
    const TesterConfig sent{.currentLimitMode = 2,
                            .forcedCurrentLimitMa = 2500,
                            .sdpCurrentLimitMa = 900,
                            .usbcDefaultCurrentLimitMa = 1500,
                            .estimateUpstreamVbus = 1,
                            .cableResistanceMilliohm = 123,
                            .loadChangeTimeMs = 50,
                            .applyOnCapabilityChange = 1,
                            .autoProfileIndex = 3,
                            .autoVoltageMv = 12000,
                            .autoCurrentMa = 1000,
                            .operatingCurrentMa = 2000,
                            .sinkCap2Mv = 9000,
                            .sinkCap2Ma = 2000,
                            .eprDetection = 0,
                            .bcDetection = 0,
                            .qcDetection = 0,
                            .ppsDetection = 0};
    ASSERT_TRUE(bench.connection.SetConfig(sent));
    TesterConfig read;
    ASSERT_TRUE(bench.connection.GetConfig(read));
    auto registers = [](const TesterConfig& c) {
        return std::tuple(c.currentLimitMode, c.forcedCurrentLimitMa, c.sdpCurrentLimitMa, c.usbcDefaultCurrentLimitMa,
                          c.estimateUpstreamVbus, c.cableResistanceMilliohm, c.loadChangeTimeMs,
                          c.applyOnCapabilityChange, c.autoProfileIndex, c.autoVoltageMv, c.autoCurrentMa,
                          c.operatingCurrentMa, c.sinkCap2Mv, c.sinkCap2Ma, c.eprDetection, c.bcDetection,
                          c.qcDetection, c.ppsDetection);
    };
    EXPECT_EQ(registers(read), registers(sent));

    // With PD-PPS detection off the PPS offers leave the capability list.
    SinkCapabilities caps;
    ASSERT_TRUE(bench.connection.GetSinkCapabilities(caps));
    EXPECT_EQ(caps.count, 6);
}

TEST_F(SimConnection, KeepsFiveSourceTypesAndOffersTheSelectedOne) {
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
    EXPECT_EQ(record.name, "Bench 12V");
    EXPECT_EQ(record.pdProfileCount, 2);
    EXPECT_EQ(record.pdProfiles[1].maximumMv, 12000);
    EXPECT_EQ(record.pdProfiles[2].maximumMv, 0);  // slots beyond the count are zero

    bench.simulator.SetSourceDevice(SourceDevice{20000, 1500});
    ASSERT_TRUE(bench.WaitForNotification(5));
    ASSERT_TRUE(bench.WaitForNotification(7));
    bench.ClearNotifications();
    ASSERT_TRUE(bench.connection.SelectSourceType(1));
    ASSERT_TRUE(bench.WaitForNotification(7));
    PortStatus s = Status();
    EXPECT_EQ(s.sourceAttached, 1);
    EXPECT_EQ(s.selectedSourceType, 1);
    EXPECT_EQ(s.sourceVoltageMv, 12000);
    EXPECT_EQ(s.sourceRatedCurrentMa, 2000);
    EXPECT_EQ(s.sourceRequestedCurrentMa, 1500);
}

TEST_F(SimConnection, ConnectsAndDisconnectsPorts) {
    ASSERT_TRUE(bench.connection.SetPortConnection(TesterPort::Sink, false));
    ASSERT_TRUE(bench.WaitForNotification(2));
    EXPECT_EQ(Status().sinkAttached, 0);
    SinkCapabilities caps;
    ASSERT_TRUE(bench.connection.GetSinkCapabilities(caps));
    EXPECT_EQ(caps.count, 0);
    ASSERT_TRUE(bench.connection.SetPortConnection(TesterPort::Sink, true));
    ASSERT_TRUE(bench.WaitForNotification(1));
    EXPECT_EQ(Status().sinkAttached, 1);

    bench.simulator.SetSourceDevice(SourceDevice{});
    ASSERT_TRUE(bench.WaitForNotification(5));
    ASSERT_TRUE(bench.connection.SetPortConnection(TesterPort::SourceOrLoopback, false));
    ASSERT_TRUE(bench.WaitForNotification(6));
    EXPECT_EQ(Status().sourceAttached, 0);
}

TEST_F(SimConnection, LoopbackPassesTheSinkSupplyThrough) {
    ASSERT_TRUE(bench.connection.RequestSinkProfile(1, 9000));
    bench.simulator.SetSourceDevice(SourceDevice{20000, 1000});
    TesterConfig config;
    config.loopbackMode = 1;
    ASSERT_TRUE(bench.connection.SetConfig(config));
    PortStatus s = Status();
    EXPECT_EQ(s.sourceVoltageMv, 9000);
    EXPECT_EQ(s.sourceRequestedCurrentMa, 1000);
    Measurements m;
    ASSERT_TRUE(bench.connection.GetMeasurements(m));
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
    EXPECT_EQ(record.stored, 1);
    EXPECT_EQ(record.month, 5);
    Measurements m;
    ASSERT_TRUE(bench.connection.GetMeasurements(m));
    EXPECT_NEAR(m.sinkVbusMv, 5050, 15);

    ASSERT_TRUE(bench.connection.ResetCalibration(2));
    ASSERT_TRUE(bench.connection.GetCalibration(2, record));
    EXPECT_EQ(record.stored, 0);
    ASSERT_TRUE(bench.connection.GetMeasurements(m));
    EXPECT_NEAR(m.sinkVbusMv, 5000, 15);

    // Two equal tester values define no line: the raw reading stays.
    ASSERT_TRUE(bench.connection.SetCalibration(2, 2024, 5, {4000, 4000, 20000, 4000}));
    ASSERT_TRUE(bench.connection.GetMeasurements(m));
    EXPECT_NEAR(m.sinkVbusMv, 5000, 15);

    ASSERT_TRUE(bench.connection.SetLoadCurrent(1500, 0));
    ASSERT_TRUE(bench.connection.GetMeasurements(m));
    EXPECT_EQ(m.loadSetpointMa, 1500);
    EXPECT_NEAR(m.sinkCurrentMa, 1500, 10);
    EXPECT_GE(m.temperatureC, 25);
    EXPECT_EQ(m.sourceVbusMv, 0);
}

TEST_F(SimConnection, ComposedMessagesAreAcknowledgedAndEchoed) {
    ASSERT_TRUE(bench.StartTrace());
    const uint8_t getSourceCap[] = {0x47, 0x0A};  // Get_Source_Cap, sink/UFP, rev 3.0, ID 5
    ASSERT_TRUE(bench.connection.SendPdMessage(getSourceCap));
    // The echo, its GoodCRC, Source_Capabilities, its GoodCRC.
    ASSERT_TRUE(SimBench::WaitUntil([&] { return bench.Traced().size() >= 4; }));
    std::vector<TraceRecord> records = bench.Traced();
    EXPECT_EQ(records[0][0], 0x47);
    EXPECT_EQ(records[0][1], 0x0A);
    EXPECT_EQ(records[2][0] & 0x1F, 1);  // Source_Capabilities
    const uint8_t hardReset[] = {kPdHardResetMarker};
    EXPECT_TRUE(bench.connection.SendPdMessage(hardReset));
    const uint8_t truncated[] = {0x42, 0x10};  // declares one data object, carries none
    EXPECT_FALSE(bench.connection.SendPdMessage(truncated));
    ASSERT_TRUE(bench.connection.StopTrace());

    bench.simulator.Unplug();
    ASSERT_TRUE(bench.WaitForNotification(2));
    EXPECT_FALSE(bench.connection.SendPdMessage(getSourceCap));  // nobody to read it
}
