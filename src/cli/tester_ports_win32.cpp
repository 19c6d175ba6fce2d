#include "device/port_directory_win32.h"
#include "device/port_directory.h"
#include "cli/tester_ports.h"

std::vector<std::string> ListTesterPorts() {
    SetupApiPortDirectory ports;
    ports.CountBridgeDevices();
    return TesterPortNames(ports);
}
