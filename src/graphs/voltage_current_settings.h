#pragma once

#include <optional>
#include <string>

// Why a voltage-versus-current setting is refused: the message the user is
// shown and the value the field is set back to.
struct SettingRefusal {
    std::string message;
    std::string resetText;
};

// The current added per step: 5..500 mA.
std::optional<SettingRefusal> CheckCurrentStep(int stepMa);
// The time each step is held: 30..60000 ms, and long enough for the step.
std::optional<SettingRefusal> CheckStepTime(int stepMa, int stepTimeMs);

// The load must settle within a step: when the change speed leaves less
// than 10 ms of the step time, the largest listed speed that does, else the
// speed unchanged.
int FittingLoadChangeSpeed(int speedMs, int stepTimeMs);
extern const char* const kLoadChangeSpeedMessage;
