#include <cstdlib>

#include "cli/tester_ports.h"

std::vector<std::string> ListTesterPorts() {
    const char* directory = std::getenv("AMPWRIGHT_SERIAL_BY_ID");
    return TesterPortsInDirectory(directory != nullptr ? directory : "/dev/serial/by-id");
}
