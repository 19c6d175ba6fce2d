#pragma once

#include <windows.h>

#include "device/port_directory.h"

// The present COM ports from SetupAPI, and the bridge vendor's D2XX library
// loaded at run time when it is installed.
class SetupApiPortDirectory : public PortDirectory {
public:
    ~SetupApiPortDirectory() override;
    bool ListPorts(std::vector<SerialPortListing>& out) override;
    void CountBridgeDevices() override;

private:
    HMODULE bridgeLibrary_ = nullptr;
    bool bridgeLibraryTried_ = false;
};
