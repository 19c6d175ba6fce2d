#include "graphs/voltage_current_settings.h"

#include "platform/format.h"

const char* const kLoadChangeSpeedMessage = "Load Change Speed should be less than Time Interval - 10 mSec";

std::optional<SettingRefusal> CheckCurrentStep(int stepMa) {
    if (stepMa < 5) return SettingRefusal{"Minimum value for Current Intervals is 5mA", "5"};
    if (stepMa > 500) return SettingRefusal{"Maximum value for Current Intervals is 500mA", "500"};
    return std::nullopt;
}

std::optional<SettingRefusal> CheckStepTime(int stepMa, int stepTimeMs) {
    const int least = stepMa * 4 / 3;
    if (stepTimeMs < 30) return SettingRefusal{"Minimum value for Time Intervals is 30 mSec", "30"};
    if (stepTimeMs < least) {
        int rounded = (least / 50 + 1) * 50;
        return SettingRefusal{Format("Minimum value for Time Intervals at %dmA steps is %d mSec", stepMa, rounded),
                              Format("%d", rounded)};
    }
    if (stepTimeMs > 60000) return SettingRefusal{"Maximum value for Time Intervals is 60000 mSec", "60000"};
    return std::nullopt;
}

int FittingLoadChangeSpeed(int speedMs, int stepTimeMs) {
    if (speedMs <= stepTimeMs - 10) return speedMs;
    static constexpr int kSpeeds[] = {1000, 500, 200, 100, 50, 20};
    for (int candidate : kSpeeds) {
        if (stepTimeMs >= candidate + 10) return candidate;
    }
    return 10;
}
