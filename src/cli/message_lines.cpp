#include "cli/message_lines.h"

#include <cctype>

#include "platform/format.h"
#include "platform/text.h"
#include "tracer/pd_header.h"

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ':' || c == '\r';
}

// The digits of a line, or a reason it is not a message.
std::optional<std::string> DigitsOf(std::string_view line, std::string& problem) {
    std::string digits;
    size_t i = 0;
    while (i < line.size()) {
        if (IsSeparator(line[i])) {
            ++i;
            continue;
        }
        // A word: an optional 0x, then hex digits up to the next separator.
        if (i + 1 < line.size() && line[i] == '0' && (line[i + 1] == 'x' || line[i + 1] == 'X')) i += 2;
        for (; i < line.size() && !IsSeparator(line[i]); ++i) {
            if (HexValue(line[i]) < 0) {
                unsigned char byte = static_cast<unsigned char>(line[i]);
                // A byte of a character beyond ASCII is named, never echoed.
                problem = byte < 0x80 ? std::string("'") + line[i] + "' is not a hexadecimal digit"
                                      : Format("byte 0x%02X (not ASCII) is not a hexadecimal digit", byte);
                return std::nullopt;
            }
            digits += line[i];
        }
    }
    return digits;
}
}  // namespace

std::string MessageTextAsUtf8(std::string_view bytes) {
    auto starts = [&bytes](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (starts("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
    bool little = starts("\xFF\xFE"), big = starts("\xFE\xFF");
    if (!little && !big) return std::string(bytes);
    std::u16string units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        auto low = static_cast<unsigned char>(bytes[i + (little ? 0 : 1)]);
        auto high = static_cast<unsigned char>(bytes[i + (little ? 1 : 0)]);
        units.push_back(static_cast<char16_t>(low | high << 8));
    }
    return Utf16ToUtf8(units);
}

MessageLines ParseMessageLines(std::string_view text) {
    MessageLines result;
    int number = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;

        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#') continue;
        std::string problem;
        std::optional<std::string> digits = DigitsOf(line, problem);
        if (digits && digits->size() % 2 != 0) problem = "odd number of hexadecimal digits";
        if (digits && problem.empty() && digits->size() < 4) problem = "shorter than a 2-byte header";
        if (problem.empty()) {
            TraceRecord record = {};
            size_t bytes = digits->size() / 2;
            for (size_t b = 0; b < bytes && b < record.size(); ++b)
                record[b] = static_cast<uint8_t>(HexValue((*digits)[2 * b]) << 4 | HexValue((*digits)[2 * b + 1]));
            size_t expected = 2 + 4u * DecodeHeader(record).dataObjectCount;
            if (bytes != expected) {
                problem = std::to_string(bytes) + " bytes where the header gives " + std::to_string(expected);
            } else {
                result.records.push_back(record);
                continue;
            }
        }
        result.badLine = number;
        result.problem = problem;
        result.records.clear();
        return result;
    }
    return result;
}
