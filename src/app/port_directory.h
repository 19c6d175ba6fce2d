#pragma once

#include <string>
#include <vector>

// One serial port as the system lists it: the description its USB bus
// reports and its friendly name ("USB Serial Port (COM7)"). Ports whose
// details could not be read are not listed at all.
struct SerialPortListing {
    std::string busDescription;
    std::string friendlyName;
};

// Where testers are looked for: the system's present serial ports, and the
// USB-serial bridge vendor's library when it is installed.
class PortDirectory {
public:
    virtual ~PortDirectory() = default;
    // The present serial ports in enumeration order; false when the system
    // could not be asked at all.
    virtual bool ListPorts(std::vector<SerialPortListing>& out) = 0;
    // Asks the bridge vendor's library how many bridges are attached. The
    // answer is not used; the library may refresh its own view on the way.
    virtual void CountBridgeDevices() = 0;
};
