#pragma once

#include <array>
#include <cstdint>
#include <string>

// What the tester reports about itself (GetDeviceInfo). Versions in tenths.
struct DeviceInfo {
    static constexpr size_t kDeviceIdLength = 13;

    uint8_t hardwareRevision = 0;
    uint8_t firmwareVersion = 0;
    uint8_t apiVersion = 0;
    std::array<uint8_t, kDeviceIdLength> deviceId = {};

    // The ID as text: up to the first NUL, at most 13 characters.
    std::string DeviceIdText() const;
};

// The tester's sink configuration registers, as moved by GetConfig/SetConfig.
struct TesterConfig {
    uint8_t loopbackMode = 0;                // 0x00
    uint32_t currentLimitMode = 0;           // 0x01: 0 enforce, 1 allow 20 % over, 2 force limit
    uint16_t forcedCurrentLimitMa = 0;       // 0x01, sent with mode 2 only
    uint16_t sdpCurrentLimitMa = 0;          // 0x02
    uint16_t usbcDefaultCurrentLimitMa = 0;  // 0x22
    uint8_t estimateUpstreamVbus = 0;        // 0x03
    uint16_t cableResistanceMilliohm = 0;    // 0x04
    uint16_t loadChangeTimeMs = 200;         // 0x21
    uint8_t applyOnCapabilityChange = 0;     // 0x20
    uint8_t autoProfileIndex = 255;          // 0x05, 255 off
    uint16_t autoVoltageMv = 5000;           // 0x06
    uint16_t autoCurrentMa = 0;              // 0x07
    uint16_t operatingCurrentMa = 65535;     // 0x08, 65535 not set
    uint16_t sinkCap2Mv = 65535;             // 0x09, 65535 not set
    uint16_t sinkCap2Ma = 65535;             // 0x09
    uint8_t spare = 0;                       // kept with the settings, never sent
    uint8_t pdDetection = 255;               // 0x0A, 255 on, 0 off
    uint8_t eprDetection = 255;              // 0x0B
    uint8_t bcDetection = 255;               // 0x0C
    uint8_t qcDetection = 255;               // 0x0D
    uint8_t ppsDetection = 1;                // 0x17, 0 or 1
};

struct PortStatus {
    uint8_t sinkAttached = 0;
    uint8_t sinkProfileIndex = 0;
    uint8_t sinkProfileType = 0;
    uint8_t sinkProfileSubtype = 0;
    uint16_t sinkVoltageMv = 0;
    uint16_t sinkProfileCurrentMa = 0;
    uint8_t sourceAttached = 0;
    uint8_t sourceProfileIndex = 0;
    uint8_t sourceProfileType = 0;
    uint8_t sourceProfileSubtype = 0;
    uint16_t sourceVoltageMv = 0;
    uint16_t sourceRatedCurrentMa = 0;
    uint16_t sourceRequestedCurrentMa = 0;
    uint8_t selectedSourceType = 0;
};

struct SinkCapability {
    uint16_t descriptor = 0;  // bits 4..7 profile type, bits 8..11 subtype
    uint16_t minimumMv = 0;
    uint16_t maximumMv = 0;
    uint16_t maximumCurrentMa = 0;

    uint8_t ProfileType() const { return static_cast<uint8_t>((descriptor >> 4) & 0x0F); }
    uint8_t ProfileSubtype() const { return static_cast<uint8_t>((descriptor >> 8) & 0x0F); }
};

struct SinkCapabilities {
    static constexpr size_t kMaxEntries = 24;

    uint8_t count = 0;  // never more than kMaxEntries
    uint8_t spare = 0;
    std::array<SinkCapability, kMaxEntries> entries = {};
};

struct Measurements {
    uint8_t temperatureC = 0;
    uint16_t sinkVbusMv = 0;
    uint16_t sourceVbusMv = 0;
    uint16_t loadSetpointMa = 0;
    uint16_t sinkCurrentMa = 0;
    uint16_t sourceCurrentMa = 0;
};

struct SourcePdProfile {
    uint8_t type = 0;  // 0 fixed, 1 PPS
    uint16_t minimumMv = 0;
    uint16_t maximumMv = 0;
    uint16_t currentMa = 0;
};

// One stored source type as it travels on the wire.
struct SourceTypeRecord {
    static constexpr size_t kNameBytes = 16;  // UTF-8, NUL-terminated within the field
    static constexpr size_t kMaxProfiles = 7;

    std::string name;
    uint8_t usbcChoice = 0;
    uint8_t batteryChargingChoice = 0;
    uint8_t appleChoice = 0;
    uint8_t pdProfileCount = 0;
    std::array<SourcePdProfile, kMaxProfiles> pdProfiles = {};
};

struct SourceTypeNames {
    static constexpr size_t kTypeCount = 5;

    uint8_t selectedIndex = 0;
    std::array<std::string, kTypeCount> names;
};

struct CalibrationRecord {
    uint8_t stored = 0;  // non-zero when the channel holds a calibration
    uint32_t year = 0;   // full year
    uint8_t month = 0;
    std::array<int32_t, 4> values = {};
};

constexpr size_t kSpectrumFrames = 30;
constexpr size_t kSpectrumValuesPerFrame = 19;
constexpr size_t kSpectrumValues = kSpectrumFrames * kSpectrumValuesPerFrame;
using Spectrum = std::array<int16_t, kSpectrumValues>;

// A traced PD message as the tester reports it.
constexpr size_t kTraceRecordSize = 36;
using TraceRecord = std::array<uint8_t, kTraceRecordSize>;
