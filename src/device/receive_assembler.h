#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Turns bytes from the serial port into whole frames, one read at a time. The
// next read's size is always the number of bytes still expected (1 while
// hunting for STX), so a read never carries bytes of two frames and at most
// one frame completes per read.
//
// A frame is accepted when the byte where its LEN puts the end is ETX; CHK is
// not verified. A frame whose last byte is not ETX is dropped and hunting goes
// on with the byte after it. A read that brings nothing abandons a partial
// frame. A frame with LEN 0 has no CMD and is dropped.
class ReceiveAssembler {
public:
    static constexpr size_t kBufferSize = 4096;

    // Feeds one completed read; true when it completed a frame, whose CMD and
    // payload CompletedFrame() then holds.
    bool Feed(std::span<const uint8_t> received);

    // Bytes the next read should ask for.
    uint16_t Expected() const { return expected_; }

    // CMD followed by payload of the last completed frame (LEN bytes).
    std::span<const uint8_t> CompletedFrame() const { return {completed_, completedLength_}; }

private:
    uint8_t frame_[kBufferSize] = {};
    uint16_t index_ = 0;
    uint16_t expected_ = 1;
    uint16_t frameLength_ = 0;
    uint8_t completed_[kBufferSize] = {};
    uint16_t completedLength_ = 0;
};
