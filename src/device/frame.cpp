#include "device/frame.h"

uint8_t ComputeCheck(uint8_t* frame) {
    size_t length = frame[1];
    frame[length + 2] = 0;
    uint8_t check = kEtx;
    for (size_t i = 0; i <= length + 1; ++i)
        check ^= frame[i];
    return check;
}

std::vector<uint8_t> BuildFrame(uint8_t cmd, std::span<const uint8_t> payload) {
    std::vector<uint8_t> frame;
    frame.reserve(payload.size() + 1 + kFrameOverhead);
    frame.push_back(kStx);
    frame.push_back(static_cast<uint8_t>(payload.size() + 1));
    frame.push_back(cmd);
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(0);
    frame.push_back(kEtx);
    frame[frame.size() - 2] = ComputeCheck(frame.data());
    return frame;
}

int NotificationFor(uint8_t cmd) {
    switch (cmd) {
        case kCmdSinkAttached:
            return 1;
        case kCmdSinkDetached:
            return 2;
        case kCmdSinkProfileChanged:
            return 3;
        case kCmdSinkCapabilityChanged:
            return 4;
        case kCmdSourceAttached:
            return 5;
        case kCmdSourceDetached:
            return 6;
        case kCmdSourceProfileChanged:
            return 7;
        default:
            return 0;
    }
}
