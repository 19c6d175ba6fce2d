#pragma once

#include <optional>
#include <string>
#include <string_view>
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

// The port name between the first "(" of a friendly name and the first ")"
// after it; nothing when either is missing.
std::optional<std::string> PortNameFromFriendlyName(std::string_view friendlyName);

// What a tester's USB bus description contains.
inline constexpr std::string_view kTesterBusDescription = "Quarnel Voltiq";

// The ports of the testers among the system's serial ports, in the order
// listed: those whose bus description names the tester.
std::vector<std::string> TesterPortNames(PortDirectory& ports);
