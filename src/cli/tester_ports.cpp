#include "cli/tester_ports.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "device/port_directory.h"

std::vector<std::string> TesterPortsInDirectory(const std::string& directory) {
    std::string wanted(kTesterBusDescription);
    std::replace(wanted.begin(), wanted.end(), ' ', '_');
    std::vector<std::string> ports;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (entry.path().filename().string().find(wanted) != std::string::npos) ports.push_back(entry.path().string());
    }
    std::sort(ports.begin(), ports.end());
    return ports;
}

std::optional<std::string> ChooseTesterPort(const std::optional<std::string>& given,
                                            const std::vector<std::string>& found, std::string& error) {
    if (given) return given;
    if (found.size() == 1) return found[0];
    if (found.empty()) {
        error = "no tester found; plug one in or name its port with --port PORT";
    } else {
        error = "more than one tester found (";
        for (size_t i = 0; i < found.size(); ++i)
            error += (i ? ", " : "") + found[i];
        error += "); choose one with --port PORT";
    }
    return std::nullopt;
}
