#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "device/tester_connection.h"
#include "support/peer_pump.h"

// TesterConnection over the platform's real serial port and a real line.
namespace {
using Bytes = std::vector<uint8_t>;

ScriptedTester::Bytes Answer(uint8_t cmd, std::span<const uint8_t> payload) {
    switch (cmd) {
        case kCmdGetDeviceInfo:
            return ScriptedTester::Frame(cmd,
                                         {21, 41, 10, 'V', 'Q', '2', '4', '1', '1', '0', '0', '0', '0', '4', '2', 'X'});
        case kCmdGetMeasurements:
            return ScriptedTester::Frame(cmd, {38, 0x28, 0x23, 0x88, 0x13, 0xE8, 0x03, 0xE6, 0x03, 0, 0});
        case kCmdGetConfigRegister:
            return ScriptedTester::Frame(cmd, {static_cast<uint8_t>(payload[0] + 1), 0});
        default:
            return ScriptedTester::Frame(cmd);
    }
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto link = PeerLink::Open();
        if (!link) GTEST_SKIP() << "no serial line for tests on this platform";
        pump = std::make_unique<PeerPump>(std::move(link), tester);
    }
    ScriptedTester tester{&Answer};
    std::unique_ptr<PeerPump> pump;
    TesterConnection connection;
};
}  // namespace

TEST_F(LinkTest, ConnectsAndExchangesOverTheRealPort) {
    std::atomic<int> lastNotification{0};
    ASSERT_TRUE(connection.Connect(pump->Link().PortName(), [&](int n) { lastNotification = n; }));
    EXPECT_EQ(connection.Info().firmwareVersion, 41);
    EXPECT_EQ(connection.Info().DeviceIdText(), "VQ2411000042X");

    Measurements m;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(connection.GetMeasurements(m)) << "exchange " << i;
    }
    EXPECT_EQ(m.sinkVbusMv, 9000);
    EXPECT_EQ(m.sinkCurrentMa, 998);

    TesterConfig config;
    ASSERT_TRUE(connection.GetConfig(config));
    EXPECT_EQ(config.cableResistanceMilliohm, 5);

    tester.Send(ScriptedTester::Frame(0x20));
    for (int i = 0; i < 100 && lastNotification == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(lastNotification, 1);
}

// Ports numbered 100 and up have paths longer than ten characters.
TEST_F(LinkTest, OpensPortsNumberedAboveNinetyNine) {
    const char* longPort = std::getenv("AMPWRIGHT_TEST_LONG_PORT");
    if (longPort == nullptr) GTEST_SKIP() << "no port numbered 100 or more here";
    ASSERT_TRUE(connection.Connect(longPort, nullptr));
    EXPECT_EQ(connection.Info().firmwareVersion, 41);
}
