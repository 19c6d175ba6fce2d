#include "tracer/trace_decoder.h"

#include <span>

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, uint8_t byte) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0xF];
}

// Non-extended: each object MSB first, "0x" each, blank between. Extended:
// one "0x" and the chunk's bytes (after the extended header) in wire order.
std::string DataText(const TraceRecord& record, const PdHeaderFields& header) {
    if (header.dataObjectCount == 0) return " ";
    std::string text;
    if (header.extended) {
        text = "0x";
        for (size_t at = 4; at < 2 + 4u * header.dataObjectCount; ++at)
            AppendHexByte(text, record[at]);
        return text;
    }
    for (size_t i = 0; i < header.dataObjectCount; ++i) {
        if (i > 0) text += ' ';
        text += "0x";
        for (int shift = 24; shift >= 0; shift -= 8)
            AppendHexByte(text, static_cast<uint8_t>(header.dataObjects[i] >> shift));
    }
    return text;
}

bool IsAwaitedEcho(PendingEcho& echo, uint16_t rawHeader, std::string_view name) {
    uint8_t pending = echo.pending.load();
    if (pending == PendingEcho::kNothing || pending == kHardResetCode) return false;
    bool matches =
        pending == PendingEcho::kByHeader ? rawHeader == echo.heldHeader.load() : MessageNameOf(pending) == name;
    // Only the first matching record is the echo, even if the composer
    // changed what it waits for meanwhile.
    return matches && echo.pending.compare_exchange_strong(pending, PendingEcho::kNothing);
}

const char* const kRevisionWords[] = {"1.0", "2.0", "3.0", "Err"};
}  // namespace

std::optional<std::string> DecodeTracedMessage(const TraceRecord& record, PendingEcho& echo) {
    uint16_t rawHeader = ReadPdHeader(record);
    if (rawHeader == 0 && echo.heldHeader.load() != 0) return std::nullopt;

    PdHeaderFields header = DecodeHeader(std::span<const uint8_t>(record.data(), 2 + 4u * 7));
    std::string_view name = MessageNameOf(MessageTypeCodeOf(header));
    bool echoed = IsAwaitedEcho(echo, rawHeader, name);

    std::string row;
    row.reserve(160);
    row += echoed ? "1," : "0,";
    row += name;
    row += header.dataRole ? ",DFP," : ",UFP,";
    row += header.powerRole ? "Source," : "Sink,";
    row += kRevisionWords[header.revision];
    row += ',' + std::to_string(header.messageId) + ',' + std::to_string(header.dataObjectCount) + ',';
    row += DataText(record, header);
    row += ",0x";
    for (size_t at = 0; at < 2 + 4u * header.dataObjectCount; ++at)
        AppendHexByte(row, record[at]);
    return row;
}
