#include "device/config_registers.h"

const char* ConfigRegisterName(uint8_t reg) {
    switch (reg) {
        case kRegLoopback:
            return "loopback mode";
        case kRegCurrentLimit:
            return "current limit";
        case kRegSdpLimit:
            return "SDP current limit";
        case kRegEstimateVbus:
            return "estimate upstream VBUS";
        case kRegCableResistance:
            return "cable resistance";
        case kRegAutoProfile:
            return "automatic profile";
        case kRegAutoVoltage:
            return "default voltage";
        case kRegAutoCurrent:
            return "default current";
        case kRegOperatingCurrent:
            return "operating current";
        case kRegSecondCapability:
            return "second sink capability";
        case kRegPdDetection:
            return "PD detection";
        case kRegEprDetection:
            return "EPR detection";
        case kRegBcDetection:
            return "BC detection";
        case kRegQcDetection:
            return "QC detection";
        case kRegPpsDetection:
            return "PD-PPS detection";
        case kRegApplyOnChange:
            return "apply on capability change";
        case kRegLoadChangeTime:
            return "load change time";
        case kRegUsbcDefaultLimit:
            return "USB-C default current limit";
        default:
            return "unknown register";
    }
}
