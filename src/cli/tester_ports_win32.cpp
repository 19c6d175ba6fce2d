#include "app/port_directory_win32.h"
#include "app/tester_discovery.h"
#include "cli/tester_ports.h"

std::vector<std::string> ListTesterPorts() {
    SetupApiPortDirectory ports;
    ports.CountBridgeDevices();
    return TesterPortNames(ports);
}
