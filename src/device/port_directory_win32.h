#pragma once

#include <windows.h>

#include "device/port_directory.h"
#include "platform/owned_win32.h"

// The present COM ports from SetupAPI, and the bridge vendor's D2XX library
// loaded at run time when it is installed.
class SetupApiPortDirectory : public PortDirectory {
public:
    bool ListPorts(std::vector<SerialPortListing>& out) override;
    void CountBridgeDevices() override;

private:
    LoadedLibrary bridgeLibrary_;
    bool bridgeLibraryTried_ = false;
};
