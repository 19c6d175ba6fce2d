#include "device/port_directory.h"

std::optional<std::string> PortNameFromFriendlyName(std::string_view friendlyName) {
    size_t open = friendlyName.find('(');
    if (open == std::string_view::npos) return std::nullopt;
    size_t close = friendlyName.find(')', open + 1);
    if (close == std::string_view::npos) return std::nullopt;
    return std::string(friendlyName.substr(open + 1, close - open - 1));
}

std::vector<std::string> TesterPortNames(PortDirectory& ports) {
    std::vector<std::string> names;
    std::vector<SerialPortListing> listings;
    if (!ports.ListPorts(listings)) return names;
    for (const SerialPortListing& listing : listings) {
        if (listing.busDescription.find(kTesterBusDescription) == std::string::npos) continue;
        if (std::optional<std::string> portName = PortNameFromFriendlyName(listing.friendlyName))
            names.push_back(*portName);
    }
    return names;
}
