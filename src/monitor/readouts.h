#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "device/tester_records.h"
#include "monitor/measurement.h"

// One value of the main window's readouts as the poll loop published it. The
// stamp changes each time it is published, even with the same value, so the
// presenter shows it again: a detach puts "0" back into the set point edit
// though the user may have typed into it meanwhile.
template <typename T>
struct Published {
    T value{};
    uint32_t stamp = 0;

    void Set(const T& newValue) {
        value = newValue;
        ++stamp;
    }
};

struct Capacity {
    double mah = 0;
    double mwh = 0;
};

struct ProfileKind {
    uint32_t type = 0;
    uint8_t subtype = 0;
};

// The "Select Profile" list: the capabilities it lists (none when empty).
struct ProfileList {
    SinkCapabilities entries;
    bool enabled = false;
    int selected = -1;
};

struct VoltageRange {
    uint16_t minimumMv = 0;
    uint16_t maximumMv = 0;
    int lineSize = 0;
};

struct SourceProfile {
    ProfileKind kind;
    uint16_t voltageMv = 0;
};

struct SourceTypeList {
    std::array<std::string, SourceTypeNames::kTypeCount> names;
    int selected = -1;
    bool enabled = false;
};

// What the main window shows of the tester, as data: the poll loop (and the
// test configuration's OK) publish it, the readouts presenter formats and
// shows it on the window's thread. An empty optional is a cleared readout.
struct Readouts {
    // Sink port.
    Published<std::optional<ProfileKind>> sinkProfile;
    Published<std::optional<uint16_t>> sinkRatedCurrentMa;
    Published<std::optional<Measurement>> sinkReadings;  // voltage, current, power
    Published<std::optional<uint8_t>> temperatureC;
    Published<std::optional<Capacity>> sinkCapacity;
    Published<ProfileList> profileList;
    Published<uint16_t> loadLimitMa;  // the current slider's maximum and its label
    Published<int> currentSliderMa;
    Published<int> currentEditMa;
    Published<VoltageRange> voltageRange;
    Published<bool> voltageControlsEnabled;
    Published<int> voltageSliderMv;
    Published<int> voltageEditMv;

    // Source / loopback port.
    Published<std::optional<SourceProfile>> sourceProfile;
    Published<std::optional<uint16_t>> sourceRatedCurrentMa;
    Published<std::optional<uint16_t>> sourceRequestedCurrentMa;
    Published<std::optional<Measurement>> sourceReadings;  // voltage, current, total current, power
    Published<std::optional<Capacity>> sourceCapacity;
    Published<SourceTypeList> sourceTypes;

    // The readings line's timer period; 0 while it is stopped.
    Published<uint32_t> readingsLogPeriodMs;
};
