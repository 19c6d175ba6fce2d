#include "pd_message.h"

#include <algorithm>

namespace pd {

uint16_t Header::Encode() const {
    return static_cast<uint16_t>((type & 0x1F) | (dataRoleDfp ? 1u << 5 : 0u) | ((revision & 3u) << 6) |
                                 (powerRoleSource ? 1u << 8 : 0u) | ((messageId & 7u) << 9) |
                                 ((dataObjects & 7u) << 12) | (extended ? 1u << 15 : 0u));
}

Header Header::Decode(uint16_t raw) {
    Header h;
    h.type = raw & 0x1F;
    h.dataRoleDfp = (raw >> 5) & 1;
    h.revision = (raw >> 6) & 3;
    h.powerRoleSource = (raw >> 8) & 1;
    h.messageId = (raw >> 9) & 7;
    h.dataObjects = (raw >> 12) & 7;
    h.extended = (raw >> 15) & 1;
    return h;
}

uint16_t ExtendedHeader::Encode() const {
    return static_cast<uint16_t>((dataSize & 0x1FF) | (requestChunk ? 1u << 10 : 0u) | ((chunkNumber & 0xFu) << 11) |
                                 (chunked ? 1u << 15 : 0u));
}

ExtendedHeader ExtendedHeader::Decode(uint16_t raw) {
    return {static_cast<uint16_t>(raw & 0x1FF), ((raw >> 10) & 1) != 0, static_cast<uint8_t>((raw >> 11) & 0xF),
            ((raw >> 15) & 1) != 0};
}

uint32_t Pdo::Encode() const {
    switch (kind) {
        case PdoKind::Fixed:
            return (flags & 0x3FF00000u) | ((maximumMv / 50u & 0x3FFu) << 10) | (maximumMa / 10u & 0x3FFu);
        case PdoKind::Pps:
            return (3u << 30) | ((maximumMv / 100u & 0xFFu) << 17) | ((minimumMv / 100u & 0xFFu) << 8) |
                   (maximumMa / 50u & 0x7Fu);
        case PdoKind::EprAvs:
            return (3u << 30) | (1u << 28) | ((maximumMv / 100u & 0x1FFu) << 17) | ((minimumMv / 100u & 0xFFu) << 8) |
                   (powerW & 0xFFu);
    }
    return 0;
}

std::optional<Pdo> Pdo::Decode(uint32_t raw) {
    Pdo p;
    uint32_t supply = raw >> 30;
    if (supply == 0) {
        p.kind = PdoKind::Fixed;
        p.minimumMv = p.maximumMv = static_cast<uint16_t>(((raw >> 10) & 0x3FF) * 50);
        p.maximumMa = static_cast<uint16_t>((raw & 0x3FF) * 10);
        p.flags = raw & 0x3FF00000u;
        return p;
    }
    if (supply != 3) return std::nullopt;
    uint32_t apdo = (raw >> 28) & 3;
    p.minimumMv = static_cast<uint16_t>(((raw >> 8) & 0xFF) * 100);
    if (apdo == 0) {
        p.kind = PdoKind::Pps;
        p.maximumMv = static_cast<uint16_t>(((raw >> 17) & 0xFF) * 100);
        p.maximumMa = static_cast<uint16_t>((raw & 0x7F) * 50);
        return p;
    }
    if (apdo == 1) {
        p.kind = PdoKind::EprAvs;
        p.maximumMv = static_cast<uint16_t>(((raw >> 17) & 0x1FF) * 100);
        p.powerW = static_cast<uint16_t>(raw & 0xFF);
        return p;
    }
    return std::nullopt;
}

uint32_t EncodeRequest(const Pdo& pdo, uint8_t position, uint16_t voltageMv, uint16_t operatingMa, uint16_t maximumMa,
                       bool eprCapable) {
    uint32_t rdo = (static_cast<uint32_t>(position & 0xF) << 28) | (1u << 24) | (eprCapable ? 1u << 22 : 0u);
    switch (pdo.kind) {
        case PdoKind::Fixed:
            return rdo | ((operatingMa / 10u & 0x3FFu) << 10) | (maximumMa / 10u & 0x3FFu);
        case PdoKind::Pps:
            return rdo | ((voltageMv / 20u & 0xFFFu) << 9) | (operatingMa / 50u & 0x7Fu);
        case PdoKind::EprAvs:
            return rdo | (((voltageMv / 25u) & 0xFFCu) << 9) | (operatingMa / 50u & 0x7Fu);
    }
    return rdo;
}

Message Message::Make(const Header& header, std::span<const uint32_t> objects) {
    Header h = header;
    h.dataObjects = static_cast<uint8_t>(std::min(objects.size(), kMaxDataObjects));
    Message m;
    uint16_t raw = h.Encode();
    m.bytes = {static_cast<uint8_t>(raw & 0xFF), static_cast<uint8_t>(raw >> 8)};
    for (size_t i = 0; i < h.dataObjects; ++i) {
        for (int shift = 0; shift < 32; shift += 8)
            m.bytes.push_back(static_cast<uint8_t>(objects[i] >> shift));
    }
    return m;
}

Message Message::MakeExtended(const Header& header, const ExtendedHeader& extended, std::span<const uint8_t> data) {
    std::vector<uint8_t> body;
    uint16_t raw = extended.Encode();
    body.push_back(static_cast<uint8_t>(raw & 0xFF));
    body.push_back(static_cast<uint8_t>(raw >> 8));
    body.insert(body.end(), data.begin(), data.begin() + std::min(data.size(), kMaxChunkBytes));
    while (body.size() % 4 != 0)
        body.push_back(0);
    Header h = header;
    h.extended = true;
    h.dataObjects = static_cast<uint8_t>(body.size() / 4);
    Message m;
    uint16_t rawHeader = h.Encode();
    m.bytes.assign(2 + body.size(), 0);
    m.bytes[0] = static_cast<uint8_t>(rawHeader & 0xFF);
    m.bytes[1] = static_cast<uint8_t>(rawHeader >> 8);
    std::copy(body.begin(), body.end(), m.bytes.begin() + 2);
    return m;
}

Header Message::DecodedHeader() const {
    return bytes.size() < 2 ? Header{} : Header::Decode(static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)));
}

uint32_t Message::Object(size_t index) const {
    size_t at = 2 + 4 * index;
    if (at + 4 > bytes.size()) return 0;
    return static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

bool Message::WellFormed() const {
    return bytes.size() >= 2 && bytes.size() <= kMaxMessageBytes &&
           bytes.size() == 2u + 4u * DecodedHeader().dataObjects;
}

TraceRecord Message::ToRecord(uint8_t port, uint8_t direction, uint32_t timeMs) const {
    TraceRecord record = {};
    std::copy_n(bytes.begin(), std::min(bytes.size(), kMaxMessageBytes), record.begin());
    record[kRecordPortOffset] = port;
    record[kRecordDirectionOffset] = direction;
    for (int i = 0; i < 4; ++i)
        record[kRecordTimeOffset + i] = static_cast<uint8_t>(timeMs >> (8 * i));
    return record;
}

}  // namespace pd
