#include "monitor/load_off.h"

#include "platform/format.h"

namespace {
constexpr int kLoadOffTries = 4;  // the first and three more
}  // namespace

std::optional<uint16_t> SwitchLoadOff(TesterConnection& tester, LiveState& live, uint16_t lastKnownMa) {
    live.requestedLoadMa = 0;
    live.loadCurrentPending.store(true, std::memory_order_release);
    uint16_t reportedMa = lastKnownMa;
    for (int i = 0; i < kLoadOffTries; ++i) {
        tester.SetLoadCurrent(0, 0);  // at once, not over the load change time
        Measurements m;
        if (!tester.GetMeasurements(m)) continue;
        if (m.loadSetpointMa == 0) return std::nullopt;
        reportedMa = m.loadSetpointMa;
    }
    return reportedMa;
}

std::string LoadMayStillBeOnText(uint16_t currentMa) {
    return Format("The load could not be switched off: it may still be on at %d mA.", currentMa);
}
