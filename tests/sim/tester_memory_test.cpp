#include <gtest/gtest.h>

#include <cstdio>

#include "sim_bench.h"

// What the tester keeps across restarts: every register it reports away
// from its default, so that each one's width and place is checked too. (The
// current limit is not reported: the connection keeps what it sent.)
TEST(SimState, RegistersSourceTypesAndCalibrationSurviveARestart) {
    const TesterConfig sent{0, 2, 2500, 900, 1500, 1, 123, 50, 1, 3, 12000, 1000, 2000, 9000, 2000, 0, 255, 0, 0, 0, 0};
    auto registers = [](const TesterConfig& c) {
        return std::tuple(c.loopbackMode, c.sdpCurrentLimitMa, c.usbcDefaultCurrentLimitMa, c.estimateUpstreamVbus,
                          c.cableResistanceMilliohm, c.loadChangeTimeMs, c.applyOnCapabilityChange, c.autoProfileIndex,
                          c.autoVoltageMv, c.autoCurrentMa, c.operatingCurrentMa, c.sinkCap2Mv, c.sinkCap2Ma,
                          c.pdDetection, c.eprDetection, c.bcDetection, c.qcDetection, c.ppsDetection);
    };
    std::string path = TempPath("ampwright-sim-state-" + std::to_string(std::rand()));
    {
        SimBench bench;
        ASSERT_TRUE(bench.simulator.UseStateFile(path));
        ASSERT_TRUE(bench.Connect());
        ASSERT_TRUE(bench.connection.SetConfig(sent));
        SourceTypeRecord record;
        ASSERT_TRUE(bench.connection.GetSourceTypeConfig(4, record));
        record.name = "Kept";
        ASSERT_TRUE(bench.connection.SetSourceTypeConfig(4, record));
        ASSERT_TRUE(bench.connection.SelectSourceType(4));
        ASSERT_TRUE(bench.connection.SetCalibration(3, 2025, 11, {510, 500, 3020, 3000}));
    }
    SimBench restarted;
    ASSERT_TRUE(restarted.simulator.UseStateFile(path));
    ASSERT_TRUE(restarted.Connect());
    TesterConfig read;
    SourceTypeNames names;
    CalibrationRecord calibration;
    ASSERT_TRUE(restarted.connection.GetConfig(read) && restarted.connection.GetSourceTypeNames(names) &&
                restarted.connection.GetCalibration(3, calibration));
    EXPECT_EQ(registers(read), registers(sent));
    EXPECT_EQ(std::tuple(names.selectedIndex, names.names[4]), std::tuple(4, "Kept"));
    EXPECT_EQ(std::tuple(calibration.stored, calibration.year, calibration.values[1]), std::tuple(1, 2025u, 500));
    std::remove(path.c_str());
}

TEST(SimState, AFileWithBrokenLinesKeepsWhatItCanRead) {
    TesterMemory memory;
    memory.Deserialize(
        "register 04 2C01\n"
        "register 06 zz\n"
        "register 1FF 00\n"
        "source-type 9 00\n"
        "calibration 7 24 1 1 2 3 4\n"
        "calibration 1 24 1 510 500 3020\n"
        "selected-source-type 3\n");
    EXPECT_EQ(std::tuple(memory.U16(kRegCableResistance), memory.U16(kRegAutoVoltage), memory.SelectedSourceType(),
                         memory.Calibration(1).stored, memory.SourceType(0).name),
              std::tuple(300, 5000, 3, false, "PD 100W"));
}

TEST(SimState, RefusesWritesThatWouldCorruptASetting) {
    TesterMemory memory;
    const uint8_t oneByte[] = {0x10};
    EXPECT_FALSE(memory.SetRegister(kRegAutoVoltage, oneByte));  // a u16 register
    EXPECT_EQ(memory.U16(kRegAutoVoltage), 5000);
    const uint8_t modeOnly[] = {1};
    const uint8_t forced[] = {2, 0xC4, 0x09};
    EXPECT_TRUE(memory.SetRegister(kRegCurrentLimit, forced));
    EXPECT_TRUE(memory.SetRegister(kRegCurrentLimit, modeOnly));
    EXPECT_EQ(memory.Register(kRegCurrentLimit), std::vector<uint8_t>({1, 0xC4, 0x09}));

    // A name that fills all 16 bytes is stored cut, keeping its terminating NUL.
    std::vector<uint8_t> bytes = EncodeSourceType(memory.SourceType(0));
    std::fill_n(bytes.begin(), 16, 'A');
    memory.SetSourceType(0, DecodeSourceType(bytes));
    EXPECT_EQ(memory.SourceType(0).name, std::string(15, 'A'));
    EXPECT_EQ(EncodeSourceType(memory.SourceType(0))[15], 0);
}
