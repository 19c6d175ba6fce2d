#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "device/tester_records.h"

// USB Power Delivery 3.1 messages as they travel on the wire: a 16-bit header
// (little-endian) followed by up to seven 32-bit data objects.
namespace pd {

enum ControlType : uint8_t {
    kGoodCrc = 1,
    kAccept = 3,
    kReject = 4,
    kPing = 5,
    kPsRdy = 6,
    kGetSourceCap = 7,
    kSoftReset = 13,
    kNotSupported = 16,
};

enum DataType : uint8_t {
    kSourceCapabilities = 1,
    kRequest = 2,
    kEprRequest = 9,
    kEprMode = 10,
};

enum ExtendedType : uint8_t {
    kEprSourceCapabilities = 17,
};

constexpr uint8_t kRevision30 = 2;  // the header's revision field: 0 = 1.0, 1 = 2.0, 2 = 3.x
constexpr size_t kMaxDataObjects = 7;
constexpr size_t kMaxMessageBytes = 2 + 4 * kMaxDataObjects;
constexpr size_t kMaxChunkBytes = 26;

// EPR_Mode actions (bits 31..24 of its one data object).
constexpr uint8_t kEprEnter = 1;
constexpr uint8_t kEprEnterAcknowledged = 2;
constexpr uint8_t kEprEnterSucceeded = 3;

struct Header {
    uint8_t type = 0;
    bool dataRoleDfp = false;
    uint8_t revision = kRevision30;
    bool powerRoleSource = false;
    uint8_t messageId = 0;
    uint8_t dataObjects = 0;
    bool extended = false;

    uint16_t Encode() const;
    static Header Decode(uint16_t raw);
};

// Extended message header: data size, chunk number and the chunking flags.
struct ExtendedHeader {
    uint16_t dataSize = 0;
    bool requestChunk = false;
    uint8_t chunkNumber = 0;
    bool chunked = true;

    uint16_t Encode() const;
    static ExtendedHeader Decode(uint16_t raw);
};

// Power data objects a source offers.
enum class PdoKind { Fixed, Pps, EprAvs };

struct Pdo {
    PdoKind kind = PdoKind::Fixed;
    uint16_t minimumMv = 0;  // the fixed voltage for Fixed
    uint16_t maximumMv = 0;
    uint16_t maximumMa = 0;  // Fixed, Pps
    uint16_t powerW = 0;     // EprAvs
    uint32_t flags = 0;      // Fixed only: bits 29..20 (capability flags)

    uint32_t Encode() const;
    // A PDO the sink understands, or nothing (battery, variable or reserved).
    static std::optional<Pdo> Decode(uint32_t raw);
};

// Fixed PDO capability bits of the first (vSafe5V) object.
constexpr uint32_t kPdoUnconstrainedPower = 1u << 27;
constexpr uint32_t kPdoUsbCommunications = 1u << 26;
constexpr uint32_t kPdoDualRoleData = 1u << 25;
constexpr uint32_t kPdoEprCapable = 1u << 23;

// A request data object for the PDO at `position` (1-based). Fixed requests
// carry operating and maximum current; programmable ones the output voltage
// (20 mV units for PPS, 25 mV units for AVS) and the operating current.
uint32_t EncodeRequest(const Pdo& pdo, uint8_t position, uint16_t voltageMv, uint16_t operatingMa, uint16_t maximumMa,
                       bool eprCapable);
inline uint8_t RequestPosition(uint32_t rdo) {
    return static_cast<uint8_t>(rdo >> 28);
}

// A message's bytes as on the wire, header first.
struct Message {
    std::vector<uint8_t> bytes;

    static Message Make(const Header& header, std::span<const uint32_t> objects);
    // An extended message: the extended header, then the chunk's data bytes,
    // padded with zeros to whole data objects.
    static Message MakeExtended(const Header& header, const ExtendedHeader& extended, std::span<const uint8_t> data);
    Header DecodedHeader() const;
    // The n-th data object (non-extended messages).
    uint32_t Object(size_t index) const;
    // True when the length fits the header: 2 + 4 x objects bytes, at most 30.
    bool WellFormed() const;
    TraceRecord ToRecord(uint8_t port, uint8_t direction, uint32_t timeMs) const;
};

// Trace record bytes after the message (the application does not read them).
constexpr size_t kRecordPortOffset = 30;       // 0 sink port, 1 source port
constexpr size_t kRecordDirectionOffset = 31;  // 0 sent by the device under test, 1 sent by the tester
constexpr size_t kRecordTimeOffset = 32;       // u32 model time, ms

}  // namespace pd
