#include "monitor/sink_test_settings.h"

#include <algorithm>

#include "monitor/voltage_limits.h"

void LoadSinkSettings(const TesterConfig& config, SinkTestSettings& settings) {
    settings.currentLimitMode = config.currentLimitMode;
    // The forced limit is (index + 1) x 500 + 500 mA. Only a limit sent with
    // Force Limit is one the user chose; in the other modes it follows the
    // rated current, and the last forced choice (at first the lowest) stays.
    if (config.currentLimitMode == kLimitForced) {
        int index = (static_cast<int>(config.forcedCurrentLimitMa) - 500) / 500 - 1;
        settings.forcedLimitIndex = static_cast<uint16_t>(std::max(index, 0));
    }
    settings.sdpCurrentLimitMa = config.sdpCurrentLimitMa;
    settings.usbcDefaultCurrentLimitMa = config.usbcDefaultCurrentLimitMa;
    settings.estimateUpstreamVbus = config.estimateUpstreamVbus != 0;
    settings.cableResistanceMilliohm = config.cableResistanceMilliohm;
    settings.dialLoadChangeSpeedMs = config.loadChangeTimeMs;
    settings.applyOnCapabilityChange = config.applyOnCapabilityChange;
    settings.autoProfileIndex = config.autoProfileIndex;
    settings.autoVoltageMv = config.autoVoltageMv;
    settings.autoCurrentMa = config.autoCurrentMa;
    settings.operatingCurrentMa = config.operatingCurrentMa;
    settings.sinkCap2Mv = config.sinkCap2Mv;
    settings.sinkCap2Ma = config.sinkCap2Ma;
    settings.pdDetection = config.pdDetection;
    settings.eprDetection = config.eprDetection;
    settings.bcDetection = config.bcDetection;
    settings.qcDetection = config.qcDetection;
    settings.ppsDetection = config.ppsDetection;
}

TesterConfig SinkSettingsToConfig(const SinkTestSettings& s, bool loopbackEnabled, uint16_t ratedCurrentMa) {
    TesterConfig config;
    config.loopbackMode = loopbackEnabled ? 1 : 0;
    config.currentLimitMode = s.currentLimitMode;
    config.forcedCurrentLimitMa = LoadCurrentLimit(s.currentLimitMode, s.forcedLimitIndex, ratedCurrentMa);
    config.sdpCurrentLimitMa = s.sdpCurrentLimitMa;
    config.usbcDefaultCurrentLimitMa = s.usbcDefaultCurrentLimitMa;
    config.estimateUpstreamVbus = s.estimateUpstreamVbus ? 1 : 0;
    config.cableResistanceMilliohm = s.cableResistanceMilliohm;
    config.loadChangeTimeMs = s.dialLoadChangeSpeedMs;
    config.applyOnCapabilityChange = s.applyOnCapabilityChange;
    config.autoProfileIndex = s.autoProfileIndex;
    config.autoVoltageMv = s.autoVoltageMv;
    config.autoCurrentMa = s.autoCurrentMa;
    config.operatingCurrentMa = s.operatingCurrentMa;
    config.sinkCap2Mv = s.sinkCap2Mv;
    config.sinkCap2Ma = s.sinkCap2Ma;
    config.pdDetection = s.pdDetection;
    config.eprDetection = s.eprDetection;
    config.bcDetection = s.bcDetection;
    config.qcDetection = s.qcDetection;
    config.ppsDetection = static_cast<uint8_t>(s.ppsDetection);
    return config;
}
