#include "graphs/graph_settings.h"

#include <array>

const char* GraphTypeText(int type) {
    static constexpr std::array<const char*, kGraphTypeCount> kTexts = {"Real-Time", "Sink Voltage vs. Current",
                                                                        "Sink FFT"};
    return type >= 0 && type < kGraphTypeCount ? kTexts[static_cast<size_t>(type)] : "";
}

const char* GraphSignalText(int signal) {
    static constexpr std::array<const char*, kGraphSignalCount> kTexts = {
        "Source Voltage", "Source Current", "Source Power", "Sink Voltage", "Sink Current", "Sink Power"};
    return signal >= 0 && signal < kGraphSignalCount ? kTexts[static_cast<size_t>(signal)] : "";
}

GraphSettings& TheGraphSettings() {
    static GraphSettings settings;
    return settings;
}
