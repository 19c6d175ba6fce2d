#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

// Turns bytes from the serial port into whole frames. Expected() is the size
// of the next read the frame needs (1 while hunting for STX); a read may
// bring more when the line had more queued, and every frame it completes is
// handed on in order.
//
// A frame is accepted when the byte where its LEN puts the end is ETX; CHK is
// not verified. A frame whose last byte is not ETX is dropped and hunting goes
// on with the byte after it. A read that brings nothing abandons a partial
// frame. A frame with LEN 0 has no CMD and is dropped.
class ReceiveAssembler {
public:
    static constexpr size_t kBufferSize = 4096;
    // CMD followed by payload (LEN bytes); valid only during the call.
    using FrameSink = std::function<void(std::span<const uint8_t> frame)>;

    // Feeds one completed read; calls `onFrame` for each frame it completes.
    void Feed(std::span<const uint8_t> received, const FrameSink& onFrame);

    // Bytes the next read should ask for.
    uint16_t Expected() const { return expected_; }

private:
    uint8_t frame_[kBufferSize] = {};
    uint16_t index_ = 0;
    uint16_t expected_ = 1;
    uint16_t frameLength_ = 0;
};
