#pragma once

#include <functional>
#include <optional>
#include <string>

#include "device/tester_connection.h"
#include "monitor/live_state.h"
#include "platform/clock.h"
#include "ui/controls.h"
#include "ui/prompts.h"

// One of the four measurement channels: port index x 2 + quantity index.
struct CalibrationChannel {
    const char* appliedHeading;
    const char* measuredHeading;
    bool readable;  // the Read buttons work: the tester measures the applied value
    int defaultPoint1;
    int defaultPoint2;
    int minimumSpacing;
};
const CalibrationChannel& CalibrationChannelInfo(int channel);

// The line through the two points that maps a tester value to the reference
// value; nothing when both tester values are equal.
struct CalibrationLine {
    float gain = 0;
    float offset = 0;
};
std::optional<CalibrationLine> LineThrough(int r1, int t1, int r2, int t2);

// The calibration dialog's rules: shows what the tester stores for the chosen
// channel, takes readings from the live measurements, checks the points and
// writes or resets a channel's calibration.
class Calibration {
public:
    struct Parts {
        Controls& dialog;
        Prompts& prompts;  // owned by the main window
        TesterConnection& tester;
        LiveState& live;
        Clock& clock;                                // the pauses between samples
        std::function<std::pair<int, int>()> today;  // local year and month
    };

    explicit Calibration(Parts parts) : parts_(parts) {}

    void Open();
    // A click, or a list selection being confirmed.
    void OnCommand(int id);

    static constexpr int kSamples = 30;
    static constexpr uint32_t kSampleIntervalMs = 100;

private:
    int Channel();
    void ShowChannel();
    void ShowStored(const CalibrationRecord& record);
    void ShowNothingStored();
    void SetDefaultPoints();
    void ReadPoint(int point);
    std::optional<int> AverageReading(int channel);
    bool PortMeasuring(int channel);
    bool CheckPoints(int upToPoint);
    bool CheckPoints(int channel, const std::string& applied1, const std::string& applied2, int upToPoint);
    void Calibrate();
    void Reset();
    void Error(const std::string& text);

    Parts parts_;
};
