#pragma once

#include <cstdint>
#include <string>

// Who the simulated tester says it is (GetDeviceInfo). Versions in tenths.
struct TesterIdentity {
    uint8_t hardwareRevision = 20;
    uint8_t firmwareVersion = 52;
    uint8_t apiVersion = 12;
    std::string deviceId = "VQSIM00000001";  // 13 ASCII characters; shorter IDs are NUL-padded
};
