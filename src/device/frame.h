#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// One frame, both directions: STX, LEN, CMD, payload, CHK, ETX. LEN counts CMD
// and payload; CHK makes the XOR of every byte of the frame, ETX included, 0.
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr size_t kFrameOverhead = 4;  // STX, LEN, CHK, ETX
constexpr size_t kMaxPayload = 250;   // a request stays below the 256-byte transfer limit

// Reads LEN at offset 1, zeroes the CHK position and returns the check byte
// for it: the XOR of offsets 0 .. LEN + 1 with ETX.
uint8_t ComputeCheck(uint8_t* frame);

// A complete frame for CMD and payload (payload of at most kMaxPayload bytes).
std::vector<uint8_t> BuildFrame(uint8_t cmd, std::span<const uint8_t> payload);

// Little-endian fields of payloads.
inline uint16_t ReadU16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}
inline void AppendU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// Unsolicited frames from the tester.
constexpr uint8_t kCmdSinkAttached = 0x20;
constexpr uint8_t kCmdSinkDetached = 0x21;
constexpr uint8_t kCmdSinkProfileChanged = 0x22;
constexpr uint8_t kCmdSinkCapabilityChanged = 0x23;
constexpr uint8_t kCmdTracedMessage = 0x24;
constexpr uint8_t kCmdTracedMessageAlt = 0x25;
constexpr uint8_t kCmdSourceAttached = 0x26;
constexpr uint8_t kCmdSourceDetached = 0x27;
constexpr uint8_t kCmdSourceProfileChanged = 0x28;

// The port notification (1..7) a CMD stands for, or 0 when it is none.
int NotificationFor(uint8_t cmd);
inline bool IsTracedMessage(uint8_t cmd) {
    return cmd == kCmdTracedMessage || cmd == kCmdTracedMessageAlt;
}
