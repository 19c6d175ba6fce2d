#include <gtest/gtest.h>

#include "app/tester_discovery.h"
#include "memory_serial_port.h"
#include "simulator.h"
#include "simulator_link.h"
#include "support/fake_ports.h"
#include "support/fake_window.h"
#include "support/test_helpers.h"
#include "ui/main_window_ids.h"

TEST(DeviceList, PortNamesEntriesAndLookUp) {
    EXPECT_EQ(PortNameFromFriendlyName("USB Serial Port (COM7)"), "COM7");
    EXPECT_EQ(PortNameFromFriendlyName("Port) of a bridge (COM12) (x)"), "COM12");
    EXPECT_EQ(PortNameFromFriendlyName("Voltiq ()"), "");
    for (const char* unmatched : {"USB Serial Port COM7", "USB Serial Port (COM7", "USB Serial Port )COM7("})
        EXPECT_EQ(PortNameFromFriendlyName(unmatched), std::nullopt) << unmatched;

    EXPECT_EQ(DeviceListEntry("COM7"), "Voltiq (COM7)");
    EXPECT_EQ(DeviceListEntry("COM1234567890123456789012345"), "Voltiq (COM12345678901234567890") << "31 characters";
    // Characters, not bytes: a two-byte character counts once and is never split.
    std::string e;
    for (int i = 0; i < 25; ++i)
        e += "\xC3\xA9";
    EXPECT_EQ(DeviceListEntry(e), "Voltiq (" + e.substr(0, 23 * 2));

    std::vector<std::string> entries = {"Voltiq (COM17)", "Voltiq (COM1)", "Voltiq (COM3)"};
    EXPECT_EQ(FindListEntry(entries, "Voltiq (COM1)"), 1);
    EXPECT_EQ(FindListEntry(entries, "COM9"), -1);
    EXPECT_EQ(FindListEntry(entries, ""), -1);
}

namespace {

// Discovery against the simulated tester inside the process.
class Discovery : public ::testing::Test {
protected:
    Discovery() : simulator(SystemClock(), 1, TesterIdentity{20, 52, 12, "VQUNIT0000042"}), link(simulator) {}

    // Whether a tester is connected, the list's selection and the ID shown.
    std::tuple<bool, int, std::string> Shown() {
        return {live.connected, window.Get(IDC_DEVICE_LIST).selected, window.GetText(IDC_DEVICE_ID)};
    }
    int Count(const std::string& text) const {
        std::vector<std::string> texts = LogTexts(log);
        return static_cast<int>(std::count(texts.begin(), texts.end(), text));
    }

    Simulator simulator;
    SimulatorLink link;
    TesterConnection tester{link.Factory()};
    LiveState live;
    EventLog log;
    FakeWindow window;
    FakePorts ports;
    FastClock clock;
    int closeRequests = 0;
    TesterDiscovery discovery{
        {window, window, tester, live, log, ports, clock, [](int) {}, [this] { ++closeRequests; }}};
};

}  // namespace

TEST_F(Discovery, ScanListsTestersOnlyAndConnectsTheFirst) {
    ports.listings = {
        {"Quarnel Voltiq", "No parentheses here"}, {"Other bridge", "USB Serial Port (COM3)"}, kTester7, kTester9};
    discovery.ScanTesters();
    EXPECT_EQ(window.Get(IDC_DEVICE_LIST).items, (std::vector<std::string>{"Voltiq (COM7)", "Voltiq (COM9)"}));
    EXPECT_EQ(Shown(), std::tuple(true, 0, "VQUNIT0000042"));
    EXPECT_EQ(discovery.SelectedDeviceName(), "Voltiq (COM7)");
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_EQ(window.Get(IDC_SELECT_SOURCE_TYPE).items.size(), 5u);
    EXPECT_EQ(live.loadChangeSpeedMs, tester.Config().loadChangeTimeMs);
    EXPECT_EQ(LogTexts(log),
              (std::vector<std::string>{"Device list updated", "Device list updated", "Device Voltiq (COM7) selected",
                                        "Hardware Revision: 2.0", "Firmware Version: 5.2", "API Version: 1.2",
                                        "Device ID: VQUNIT0000042"}));

    ports.listings = {kTester7};  // the other tester removed: selection, connection and shown ID stay
    discovery.RescanTesters(TesterDiscovery::RescanReason::Removal);
    EXPECT_EQ(ports.bridgeCounts, 1);
    EXPECT_EQ(Shown(), std::tuple(true, 0, "VQUNIT0000042"));
    EXPECT_EQ(Count("Device Voltiq (COM7) disconnected"), 0);
}

TEST_F(Discovery, TheSelectedTesterUnpluggedAndPluggedBackIsReconnected) {
    ports.listings = {kTester9, kTester7};
    discovery.ScanTesters();
    window.SelectItem(IDC_DEVICE_LIST, 1);  // the user picks the second tester
    ASSERT_TRUE(discovery.SelectTester());
    EXPECT_EQ(discovery.SelectedDeviceName(), "Voltiq (COM7)");

    simulator.Vanish();
    ports.listings = {kTester9};
    discovery.RescanTesters(TesterDiscovery::RescanReason::Removal);
    EXPECT_EQ(Count("Device Voltiq (COM7) disconnected"), 1);
    EXPECT_EQ(Shown(), std::tuple(false, -1, " "));
    EXPECT_FALSE(discovery.RescanTesters(TesterDiscovery::RescanReason::Arrival)) << "some other device arrived";

    ports.listings = {kTester9, kTester7};
    ASSERT_TRUE(discovery.RescanTesters(TesterDiscovery::RescanReason::Arrival)) << "back: to be connected again";
    EXPECT_TRUE(discovery.LostSelected());
    ASSERT_TRUE(discovery.SelectTester(false));
    EXPECT_FALSE(discovery.LostSelected());
    EXPECT_EQ(Shown(), std::tuple(true, 1, "VQUNIT0000042"));
    EXPECT_EQ(Count("Device Voltiq (COM7) selected"), 2);
    PortStatus status;
    EXPECT_TRUE(tester.GetPortStatus(status));  // the new link answers
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_EQ(closeRequests, 0);
}

TEST_F(Discovery, AFailedConnectionSaysSoAndOnlyAPortThatDoesNotOpenEndsTheProgram) {
    ports.listings = {kTester7};
    simulator.ConfigureFaults([](FaultPlan& plan) { plan.SetSilent(true); });
    discovery.ScanTesters();  // a tester that does not answer its configuration
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].text, "Unable to GetConfig from selected Voltiq device");
    EXPECT_FALSE(live.connected);
    EXPECT_EQ(Count("Device Voltiq (COM7) selected"), 0);
    EXPECT_EQ(closeRequests, 0);

    TesterConnection unopenable([] {
        auto port = std::make_unique<MemorySerialPort>(nullptr);
        port->Vanish();
        return port;
    });
    TesterDiscovery failing{
        {window, window, unopenable, live, log, ports, clock, [](int) {}, [this] { ++closeRequests; }}};
    failing.ScanTesters();
    ASSERT_EQ(window.Messages().size(), 2u);
    EXPECT_EQ(window.Messages()[1].text, "Unable to connect to selected Voltiq device");
    EXPECT_EQ(closeRequests, 1);
    EXPECT_FALSE(live.connected);
}

TEST(DeviceChange, OnlyDeviceInterfacesArrivingOrLeavingAskForARescan) {
    constexpr uint32_t kArrival = 0x8000, kRemoveComplete = 0x8004, kInterface = 5;
    using Reason = TesterDiscovery::RescanReason;
    EXPECT_EQ(RescanReasonFor(kArrival, kInterface), Reason::Arrival);
    EXPECT_EQ(RescanReasonFor(kRemoveComplete, kInterface), Reason::Removal);
    EXPECT_EQ(RescanReasonFor(0x8001, kInterface), std::nullopt) << "a query to remove";
    EXPECT_EQ(RescanReasonFor(kArrival, 2), std::nullopt) << "a volume";
    EXPECT_EQ(RescanReasonFor(kRemoveComplete, 3), std::nullopt) << "a port";
}
