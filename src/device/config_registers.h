#pragma once

#include <cstdint>

// The tester's configuration registers: the number on the wire for each.
enum ConfigRegister : uint8_t {
    kRegLoopback = 0x00,
    kRegCurrentLimit = 0x01,
    kRegSdpLimit = 0x02,
    kRegEstimateVbus = 0x03,
    kRegCableResistance = 0x04,
    kRegAutoProfile = 0x05,
    kRegAutoVoltage = 0x06,
    kRegAutoCurrent = 0x07,
    kRegOperatingCurrent = 0x08,
    kRegSecondCapability = 0x09,
    kRegPdDetection = 0x0A,
    kRegEprDetection = 0x0B,
    kRegBcDetection = 0x0C,
    kRegQcDetection = 0x0D,
    kRegPpsDetection = 0x17,
    kRegApplyOnChange = 0x20,
    kRegLoadChangeTime = 0x21,
    kRegUsbcDefaultLimit = 0x22,
};

// A register's name for people ("load change time").
const char* ConfigRegisterName(uint8_t reg);
