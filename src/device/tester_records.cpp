#include "device/tester_records.h"

std::string DeviceInfo::DeviceIdText() const {
    size_t length = 0;
    while (length < deviceId.size() && deviceId[length] != 0)
        ++length;
    return std::string(reinterpret_cast<const char*>(deviceId.data()), length);
}
