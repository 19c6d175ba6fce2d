#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// A PD message header taken apart, with the data objects that follow it in
// the traced record.
struct PdHeaderFields {
    uint8_t messageType = 0;                   // bits 0-4
    uint8_t dataRole = 0;                      // bit 5: 1 DFP, 0 UFP
    uint8_t powerRole = 0;                     // bit 8: 1 Source, 0 Sink
    uint8_t revision = 0;                      // bits 6-7: 0 1.0, 1 2.0, 2 3.0, 3 invalid
    uint8_t messageId = 0;                     // bits 9-11
    uint8_t dataObjectCount = 0;               // bits 12-14
    std::array<uint32_t, 7> dataObjects = {};  // the first dataObjectCount are set
    bool extended = false;                     // bit 15
};

// Reads the little-endian header from bytes 0-1 and the data objects after
// it; bytes beyond 2 + 4 x count are not read (missing ones read as zero).
PdHeaderFields DecodeHeader(std::span<const uint8_t> message);
uint16_t ReadPdHeader(std::span<const uint8_t> message);

// One number for a message's class and type: control messages (no data
// objects) 0..31, data messages 32 + type, extended messages 64 + type.
// Hard Reset, which is no message, is 96.
using MessageTypeCode = uint8_t;
constexpr MessageTypeCode kDataMessageBase = 32;
constexpr MessageTypeCode kExtendedMessageBase = 64;
constexpr MessageTypeCode kHardResetCode = 96;
MessageTypeCode MessageTypeCodeOf(const PdHeaderFields& header);

struct MessageName {
    MessageTypeCode code;
    const char* name;
};
// The messages the composer can send, in the order of its type selector.
extern const std::array<MessageName, 42> kSendableMessageNames;
// The other messages of the standard.
extern const std::array<MessageName, 15> kOtherMessageNames;

constexpr const char* kReservedMessageName = "Reserved (Invalid Type)";
// The name of a code, or "Reserved (Invalid Type)".
std::string_view MessageNameOf(MessageTypeCode code);
// The code of a name (exact match), 12 when no message has that name.
MessageTypeCode MessageTypeCodeFromName(std::string_view name);
