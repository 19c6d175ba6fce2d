#pragma once

#include <atomic>
#include <cstdint>

// The graph types of the graph window.
enum GraphType : uint32_t { kGraphRealTime = 0, kGraphVoltageVsCurrent = 1, kGraphFft = 2 };
constexpr int kGraphTypeCount = 3;

// The real-time signals.
enum GraphSignal : uint32_t {
    kSignalSourceVoltage = 0,
    kSignalSourceCurrent = 1,
    kSignalSourcePower = 2,
    kSignalSinkVoltage = 3,
    kSignalSinkCurrent = 4,
    kSignalSinkPower = 5,
};
constexpr int kGraphSignalCount = 6;

const char* GraphTypeText(int type);
const char* GraphSignalText(int signal);

// The graph window's settings. One instance lives as long as the process
// (TheGraphSettings), so the choices survive closing the window.
struct GraphSettings {
    std::atomic<uint32_t> graphType{kGraphRealTime};
    std::atomic<uint32_t> signal{kSignalSourceVoltage};
    std::atomic<uint32_t> timeDivision{4};  // "10 seconds"
    std::atomic<uint32_t> testDurationS{50};
    std::atomic<uint16_t> currentStepMa{25};
    std::atomic<uint16_t> stepTimeMs{500};
    static constexpr uint32_t kAveragingWindow = 10;
    // The chart's Y range as last set up, in the signal's unit.
    std::atomic<int> yMin{0};
    std::atomic<int> yMax{0};
};

GraphSettings& TheGraphSettings();
