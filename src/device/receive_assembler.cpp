#include "device/receive_assembler.h"

#include "device/frame.h"

void ReceiveAssembler::Feed(std::span<const uint8_t> received, const FrameSink& onFrame) {
    if (received.empty()) {
        frameLength_ = 0;
        index_ = 0;
        expected_ = 1;
        return;
    }
    for (uint8_t byte : received) {
        if (index_ == 0) {
            if (byte == kStx) {
                frame_[0] = byte;
                index_ = 1;
            } else {
                frameLength_ = 0;
            }
            expected_ = 1;
        } else if (index_ == 1) {
            frame_[1] = byte;
            frameLength_ = byte;
            index_ = 2;
            expected_ = static_cast<uint16_t>(byte + 2);
        } else {
            frame_[index_++] = byte;
            if (--expected_ > 0) continue;
            if (byte == kEtx && frameLength_ > 0) {
                onFrame({frame_ + 2, frameLength_});
            } else {
                frameLength_ = 0;
            }
            index_ = 0;
            expected_ = 1;
        }
    }
}
