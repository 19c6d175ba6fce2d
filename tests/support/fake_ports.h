#pragma once

#include <string>
#include <vector>

#include "device/port_directory.h"

// The serial ports a test says there are; counts the bridge recounts.
class FakePorts : public PortDirectory {
public:
    bool ListPorts(std::vector<SerialPortListing>& out) override {
        out = listings;
        return true;
    }
    void CountBridgeDevices() override { ++bridgeCounts; }
    std::vector<SerialPortListing> listings;
    int bridgeCounts = 0;
};

const SerialPortListing kTester7 = {"Quarnel Voltiq", "USB Serial Port (COM7)"};
const SerialPortListing kTester9 = {"Quarnel Voltiq Rev B", "USB Serial Port (COM9)"};
