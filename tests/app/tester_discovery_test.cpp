#include <gtest/gtest.h>

#include "app/tester_discovery.h"
#include "device/memory_serial_port.h"
#include "simulator.h"
#include "simulator_link.h"
#include "support/fake_window.h"
#include "ui/main_window_ids.h"

TEST(FriendlyName, PortNameIsBetweenTheFirstOpeningAndTheNextClosingParenthesis) {
    EXPECT_EQ(PortNameFromFriendlyName("USB Serial Port (COM7)"), "COM7");
    EXPECT_EQ(PortNameFromFriendlyName("Port) of a bridge (COM12) (x)"), "COM12");
    EXPECT_EQ(PortNameFromFriendlyName("Voltiq ()"), "");
    EXPECT_EQ(PortNameFromFriendlyName("USB Serial Port COM7"), std::nullopt);
    EXPECT_EQ(PortNameFromFriendlyName("USB Serial Port (COM7"), std::nullopt);
    EXPECT_EQ(PortNameFromFriendlyName("USB Serial Port )COM7("), std::nullopt);
}

TEST(DeviceList, EntriesNameThePortAndAreCutTo31Characters) {
    EXPECT_EQ(DeviceListEntry("COM7"), "Voltiq (COM7)");
    std::string entry = DeviceListEntry("COM1234567890123456789012345");
    EXPECT_EQ(entry, "Voltiq (COM12345678901234567890");
    EXPECT_EQ(entry.size(), 31u);
    // Characters, not bytes: a two-byte character counts once and is never split.
    EXPECT_EQ(DeviceListEntry("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                              "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                              "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"),
              "Voltiq (\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
              "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
}

TEST(DeviceList, FindListEntryMatchesTheFirstEntryContainingTheText) {
    std::vector<std::string> entries = {"Voltiq (COM17)", "Voltiq (COM1)", "Voltiq (COM3)"};
    EXPECT_EQ(FindListEntry(entries, "Voltiq (COM3)"), 2);
    EXPECT_EQ(FindListEntry(entries, "Voltiq (COM1"), 0);  // a prefix of the first entry
    EXPECT_EQ(FindListEntry(entries, "COM9"), -1);
    EXPECT_EQ(FindListEntry(entries, ""), -1);
    EXPECT_EQ(FindListEntry({}, "Voltiq"), -1);
}

namespace {

class FakePorts : public PortDirectory {
public:
    bool ListPorts(std::vector<SerialPortListing>& out) override {
        out = listings;
        return available;
    }
    void CountBridgeDevices() override { ++bridgeCounts; }

    std::vector<SerialPortListing> listings;
    bool available = true;
    int bridgeCounts = 0;
};

const SerialPortListing kTester7 = {"Quarnel Voltiq", "USB Serial Port (COM7)"};
const SerialPortListing kTester9 = {"Quarnel Voltiq Rev B", "USB Serial Port (COM9)"};

// Discovery against the simulated tester inside the process.
class Discovery : public ::testing::Test {
protected:
    Discovery() : simulator(SystemClock(), 1, TesterIdentity{20, 52, 12, "VQUNIT0000042"}), link(simulator) {}

    std::vector<std::string> LogTexts() const {
        std::vector<std::string> texts;
        for (int i = 0; i < log.Records().RecordCount(); ++i)
            texts.push_back(log.Records().GetRecord(i)->text);
        return texts;
    }
    int Count(const std::string& text) const {
        std::vector<std::string> texts = LogTexts();
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

TEST_F(Discovery, NoTesterTellsTheUserAndLeavesTheApplicationRunning) {
    ports.listings = {{"Communications Port", "Communications Port (COM1)"}};
    discovery.ScanTesters();
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].text,
              "No Quarnel Voltiq device detected.\nYou may need to plug in (or install) USB devices.\n");
    EXPECT_EQ(window.Messages()[0].title, "Ampwright: Error");
    EXPECT_EQ(window.Get(IDC_DEVICE_LIST).items.size(), 0u);
    EXPECT_EQ(window.Get(IDC_DEVICE_ID).text, " ");
    EXPECT_FALSE(live.connected);
    EXPECT_EQ(closeRequests, 0);
}

TEST_F(Discovery, ScanListsTestersOnlyAndConnectsTheFirst) {
    ports.listings = {
        {"Quarnel Voltiq", "No parentheses here"}, {"Other bridge", "USB Serial Port (COM3)"}, kTester7, kTester9};
    discovery.ScanTesters();
    EXPECT_EQ(window.Get(IDC_DEVICE_LIST).items, (std::vector<std::string>{"Voltiq (COM7)", "Voltiq (COM9)"}));
    EXPECT_EQ(window.Get(IDC_DEVICE_LIST).selected, 0);
    EXPECT_TRUE(live.connected);
    EXPECT_EQ(discovery.SelectedDeviceName(), "Voltiq (COM7)");
    EXPECT_EQ(window.Get(IDC_DEVICE_ID).text, "VQUNIT0000042");
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_EQ(window.Get(IDC_SELECT_SOURCE_TYPE).items.size(), 5u);
    EXPECT_EQ(window.Get(IDC_SELECT_SOURCE_TYPE).items[0].rfind("1. ", 0), 0u);
    EXPECT_TRUE(window.Get(IDC_SELECT_SOURCE_TYPE).enabled);
    EXPECT_EQ(live.loadChangeSpeedMs, tester.Config().loadChangeTimeMs);

    std::vector<std::string> texts = LogTexts();
    std::vector<std::string> expected = {
        "Device list updated",   "Device list updated", "Device Voltiq (COM7) selected", "Hardware Revision: 2.0",
        "Firmware Version: 5.2", "API Version: 1.2",    "Device ID: VQUNIT0000042"};
    EXPECT_EQ(texts, expected);
}

TEST_F(Discovery, RemovingAnotherTesterKeepsTheSelectionAndTheConnection) {
    ports.listings = {kTester7, kTester9};
    discovery.ScanTesters();
    ports.listings = {kTester7};
    discovery.RescanTesters(TesterDiscovery::RescanReason::Removal);
    EXPECT_EQ(ports.bridgeCounts, 1);
    EXPECT_TRUE(live.connected);
    EXPECT_EQ(window.Get(IDC_DEVICE_LIST).selected, 0);
    // The ID of the tester still connected stays on show.
    EXPECT_EQ(window.Get(IDC_DEVICE_ID).text, "VQUNIT0000042");
    EXPECT_EQ(Count("Device Voltiq (COM7) disconnected"), 0);
}

TEST_F(Discovery, TheSelectedTesterUnpluggedAndPluggedBackIsReconnected) {
    ports.listings = {kTester9, kTester7};
    discovery.ScanTesters();
    // The user picks the second tester.
    window.SelectItem(IDC_DEVICE_LIST, 1);
    ASSERT_TRUE(discovery.SelectTester());
    EXPECT_EQ(discovery.SelectedDeviceName(), "Voltiq (COM7)");

    simulator.Vanish();
    ports.listings = {kTester9};
    discovery.RescanTesters(TesterDiscovery::RescanReason::Removal);
    EXPECT_FALSE(live.connected);
    EXPECT_EQ(Count("Device Voltiq (COM7) disconnected"), 1);
    EXPECT_EQ(window.Get(IDC_DEVICE_ID).text, " ");

    // Some other device arriving changes nothing.
    EXPECT_FALSE(discovery.RescanTesters(TesterDiscovery::RescanReason::Arrival));
    EXPECT_FALSE(live.connected);

    ports.listings = {kTester9, kTester7};
    ASSERT_TRUE(discovery.RescanTesters(TesterDiscovery::RescanReason::Arrival)) << "back: to be connected again";
    EXPECT_TRUE(discovery.LostSelected());
    ASSERT_TRUE(discovery.SelectTester(false));
    EXPECT_FALSE(discovery.LostSelected());
    EXPECT_TRUE(live.connected);
    EXPECT_EQ(window.Get(IDC_DEVICE_LIST).selected, 1);
    EXPECT_EQ(window.Get(IDC_DEVICE_ID).text, "VQUNIT0000042");
    EXPECT_EQ(Count("Device Voltiq (COM7) selected"), 2);
    PortStatus status;
    EXPECT_TRUE(tester.GetPortStatus(status));  // the new link answers
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_EQ(closeRequests, 0);
}

TEST_F(Discovery, APortThatDoesNotOpenEndsTheProgramAfterSayingSo) {
    TesterConnection unopenable([] {
        auto port = std::make_unique<MemorySerialPort>(nullptr);
        port->Vanish();
        return port;
    });
    TesterDiscovery failing{
        {window, window, unopenable, live, log, ports, clock, [](int) {}, [this] { ++closeRequests; }}};
    ports.listings = {kTester7};
    failing.ScanTesters();
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].text, "Unable to connect to selected Voltiq device");
    EXPECT_EQ(closeRequests, 1);
    EXPECT_FALSE(live.connected);
}

TEST(DeviceChange, OnlyDeviceInterfacesArrivingOrLeavingAskForARescan) {
    constexpr uint32_t kArrival = 0x8000, kRemoveComplete = 0x8004, kQueryRemove = 0x8001, kInterface = 5, kVolume = 2,
                       kPort = 3;
    using Reason = TesterDiscovery::RescanReason;
    EXPECT_EQ(RescanReasonFor(kArrival, kInterface), Reason::Arrival);
    EXPECT_EQ(RescanReasonFor(kRemoveComplete, kInterface), Reason::Removal);
    EXPECT_EQ(RescanReasonFor(kQueryRemove, kInterface), std::nullopt);
    EXPECT_EQ(RescanReasonFor(kArrival, kVolume), std::nullopt);
    EXPECT_EQ(RescanReasonFor(kRemoveComplete, kPort), std::nullopt);
}

TEST_F(Discovery, ATesterThatDoesNotAnswerItsConfigurationIsNotConnected) {
    ports.listings = {kTester7};
    simulator.ConfigureFaults([](FaultPlan& plan) { plan.SetSilent(true); });
    discovery.ScanTesters();
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].text, "Unable to GetConfig from selected Voltiq device");
    EXPECT_FALSE(live.connected);
    EXPECT_EQ(Count("Device Voltiq (COM7) selected"), 0);
    EXPECT_EQ(closeRequests, 0);
}
