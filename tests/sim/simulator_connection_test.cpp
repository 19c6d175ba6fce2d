#include <gtest/gtest.h>

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

TEST_F(SimConnection, ReportsTheChargersCapabilitiesAndTheFiveVoltStart) {
    SinkCapabilities caps;
    ASSERT_TRUE(bench.connection.GetSinkCapabilities(caps));
    ASSERT_EQ(caps.count, 8);
    EXPECT_EQ(caps.entries[0].ProfileType(), kTypePd);
    EXPECT_EQ(caps.entries[0].maximumMv, 5000);
    EXPECT_EQ(caps.entries[4].maximumMv, 20000);
    EXPECT_EQ(caps.entries[4].maximumCurrentMa, 3250);
    EXPECT_EQ(caps.entries[6].ProfileSubtype(), kSubtypeProgrammable);
    EXPECT_EQ(caps.entries[6].minimumMv, 3300);
    EXPECT_EQ(caps.entries[7].ProfileType(), kTypeUsbc);

    PortStatus s = Status();
    EXPECT_EQ(s.sinkAttached, 1);
    EXPECT_EQ(s.sinkProfileIndex, 0);
    EXPECT_EQ(s.sinkVoltageMv, 5000);
    EXPECT_EQ(s.sinkProfileCurrentMa, 3000);
    EXPECT_EQ(s.sourceAttached, 0);
}

TEST_F(SimConnection, RequestsFixedAndRangedProfilesOnTheirGrid) {
    ASSERT_TRUE(bench.connection.RequestSinkProfile(1, 1234));  // fixed: its own voltage
    ASSERT_TRUE(bench.WaitForNotification(3));
    EXPECT_EQ(Status().sinkVoltageMv, 9000);

    ASSERT_TRUE(bench.connection.RequestSinkProfile(6, 7311));  // PPS: 20 mV grid
    EXPECT_EQ(Status().sinkVoltageMv, 7320);
    ASSERT_TRUE(bench.connection.RequestSinkProfile(6, 30000));  // beyond the range: its maximum
    EXPECT_EQ(Status().sinkVoltageMv, 21000);

    ASSERT_TRUE(bench.connection.RequestSinkProfile(42, 9000));  // no such profile: nothing changes
    EXPECT_EQ(Status().sinkVoltageMv, 21000);
}

TEST_F(SimConnection, LoadsThePortAndMeasures) {
    ASSERT_TRUE(bench.connection.SetLoadCurrent(1500, 0));
    Measurements m;
    ASSERT_TRUE(bench.connection.GetMeasurements(m));
    EXPECT_EQ(m.loadSetpointMa, 1500);
    EXPECT_NEAR(m.sinkCurrentMa, 1500, 10);
    // 5 V less (45 + 80) mOhm x 1.5 A.
    EXPECT_NEAR(m.sinkVbusMv, 5000 - 188, 15);
    EXPECT_GE(m.temperatureC, 25);
    EXPECT_EQ(m.sourceVbusMv, 0);
}

TEST_F(SimConnection, StoresEveryConfigurationRegister) {
    TesterConfig c;
    c.loopbackMode = 0;
    c.currentLimitMode = 2;
    c.forcedCurrentLimitMa = 2500;
    c.sdpCurrentLimitMa = 900;
    c.usbcDefaultCurrentLimitMa = 1500;
    c.estimateUpstreamVbus = 1;
    c.cableResistanceMilliohm = 123;
    c.loadChangeTimeMs = 50;
    c.applyOnCapabilityChange = 1;
    c.autoProfileIndex = 3;
    c.autoVoltageMv = 12000;
    c.autoCurrentMa = 1000;
    c.operatingCurrentMa = 2000;
    c.sinkCap2Mv = 9000;
    c.sinkCap2Ma = 2000;
    c.pdDetection = 255;
    c.eprDetection = 0;
    c.bcDetection = 0;
    c.qcDetection = 255;
    c.ppsDetection = 0;
    ASSERT_TRUE(bench.connection.SetConfig(c));

    c = TesterConfig();
    ASSERT_TRUE(bench.connection.GetConfig(c));
    EXPECT_EQ(c.sdpCurrentLimitMa, 900);
    EXPECT_EQ(c.usbcDefaultCurrentLimitMa, 1500);
    EXPECT_EQ(c.estimateUpstreamVbus, 1);
    EXPECT_EQ(c.cableResistanceMilliohm, 123);
    EXPECT_EQ(c.loadChangeTimeMs, 50);
    EXPECT_EQ(c.applyOnCapabilityChange, 1);
    EXPECT_EQ(c.autoProfileIndex, 3);
    EXPECT_EQ(c.autoVoltageMv, 12000);
    EXPECT_EQ(c.autoCurrentMa, 1000);
    EXPECT_EQ(c.operatingCurrentMa, 2000);
    EXPECT_EQ(c.sinkCap2Mv, 9000);
    EXPECT_EQ(c.sinkCap2Ma, 2000);
    EXPECT_EQ(c.eprDetection, 0);
    EXPECT_EQ(c.bcDetection, 0);
    EXPECT_EQ(c.ppsDetection, 0);

    // With PD-PPS detection off the PPS offers leave the capability list.
    SinkCapabilities caps;
    ASSERT_TRUE(bench.connection.GetSinkCapabilities(caps));
    EXPECT_EQ(caps.count, 6);
}

TEST_F(SimConnection, KeepsFiveSourceTypesAndOffersTheSelectedOne) {
    SourceTypeNames names;
    ASSERT_TRUE(bench.connection.GetSourceTypeNames(names));
    EXPECT_EQ(names.selectedIndex, 0);
    EXPECT_EQ(names.names[1], "PD 45W");

    SourceTypeRecord record;
    ASSERT_TRUE(bench.connection.GetSourceTypeConfig(1, record));
    EXPECT_EQ(record.pdProfileCount, 3);
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

TEST_F(SimConnection, AppliesStoredCalibrationUntilReset) {
    // Sink VBUS: the reference reads 1 % above what the tester measures.
    ASSERT_TRUE(bench.connection.SetCalibration(2, 2024, 5, {4040, 4000, 20200, 20000}));
    CalibrationRecord record;
    ASSERT_TRUE(bench.connection.GetCalibration(2, record));
    EXPECT_EQ(record.stored, 1);
    EXPECT_EQ(record.year, 2024u);
    EXPECT_EQ(record.month, 5);
    EXPECT_EQ(record.values[2], 20200);
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
}

TEST_F(SimConnection, SpectrumShowsTheSwitchingFrequencyAndChangesPerCapture) {
    ASSERT_TRUE(bench.connection.SetLoadCurrent(2000, 0));
    ASSERT_TRUE(bench.connection.SetSpectrumCapture(true));
    Spectrum first, second;
    ASSERT_TRUE(bench.connection.GetSpectrum(first));
    ASSERT_TRUE(bench.connection.GetSpectrum(second));
    EXPECT_NE(first, second);
    // pd65 switches at 130 kHz: bin 74 (130 kHz / 1757.8 Hz) towers over the floor.
    auto peak = std::max_element(first.begin() + 20, first.end()) - first.begin();
    EXPECT_NEAR(peak, 74, 2);
    EXPECT_GT(first[peak], -45);
    EXPECT_LT(first[300], -80);
    EXPECT_GT(first[2 * 74], first[300] + 20);  // the second harmonic

    ASSERT_TRUE(bench.connection.SetSpectrumCapture(false));
    ASSERT_TRUE(bench.connection.GetSpectrum(first));
    EXPECT_TRUE(std::all_of(first.begin(), first.end(), [](int16_t v) { return v == -120; }));
}

TEST_F(SimConnection, ComposedMessagesAreAcknowledgedAndEchoed) {
    std::mutex lock;
    std::vector<TraceRecord> records;
    ASSERT_TRUE(bench.connection.StartTrace([&](const TraceRecord& r) {
        std::lock_guard<std::mutex> held(lock);
        records.push_back(r);
    }));
    const uint8_t getSourceCap[] = {0x47, 0x0A};  // Get_Source_Cap, sink/UFP, rev 3.0, ID 5
    ASSERT_TRUE(bench.connection.SendPdMessage(getSourceCap));
    ASSERT_TRUE(SimBench::WaitUntil([&] {
        std::lock_guard<std::mutex> held(lock);
        return records.size() >= 4;  // the echo, its GoodCRC, Source_Capabilities, its GoodCRC
    }));
    {
        std::lock_guard<std::mutex> held(lock);
        EXPECT_EQ(records[0][0], 0x47);
        EXPECT_EQ(records[0][1], 0x0A);
        EXPECT_EQ(records[2][0] & 0x1F, 1);  // Source_Capabilities
    }
    const uint8_t hardReset[] = {kPdHardResetMarker};
    EXPECT_TRUE(bench.connection.SendPdMessage(hardReset));
    const uint8_t truncated[] = {0x42, 0x10};  // declares one data object, carries none
    EXPECT_FALSE(bench.connection.SendPdMessage(truncated));
    ASSERT_TRUE(bench.connection.StopTrace());

    bench.simulator.Unplug();
    ASSERT_TRUE(bench.WaitForNotification(2));
    EXPECT_FALSE(bench.connection.SendPdMessage(getSourceCap));  // nobody to read it
}

TEST_F(SimConnection, ANonPdChargerDoesNotReadComposedMessages) {
    ASSERT_TRUE(bench.simulator.ChangeCharger("dcp"));
    ASSERT_TRUE(bench.WaitForNotification(4));
    const uint8_t ping[] = {0x45, 0x00};
    EXPECT_FALSE(bench.connection.SendPdMessage(ping));
    PortStatus s = Status();
    EXPECT_EQ(s.sinkProfileType, kTypeBc);
    EXPECT_EQ(s.sinkProfileSubtype, kSubtypeBcDcp);
}
