#pragma once

#include <cstdint>
#include <optional>

#include "device/tester_connection.h"
#include "monitor/live_state.h"

// Switches the sink port's load off at once (no ramp) and confirms it from
// the set point the tester reports: a SetLoadCurrent(0) and a measurement,
// tried up to four times. The poll loop is handed 0 as well, so no older load request it may
// still hold switches the load back on. Nothing once the tester reports 0;
// otherwise the set point the load may still be at (`lastKnownMa` when the
// tester did not answer).
std::optional<uint16_t> SwitchLoadOff(TesterConnection& tester, LiveState& live, uint16_t lastKnownMa);

// The plain words for a load that could not be confirmed off.
std::string LoadMayStillBeOnText(uint16_t currentMa);
