#include "ui/dialog_template.h"

#include <algorithm>

namespace {

constexpr size_t kExtendedHeaderBytes = 26;
constexpr uint32_t kSetFontStyle = 0x40;  // DS_SETFONT

uint16_t WordAt(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

// Skips a menu, class or caption field; nothing when it runs off the end.
std::optional<size_t> SkipField(std::span<const uint8_t> bytes, size_t at) {
    if (at + 2 > bytes.size()) return std::nullopt;
    uint16_t first = WordAt(bytes, at);
    if (first == 0x0000) return at + 2;
    if (first == 0xFFFF) return at + 4 <= bytes.size() ? std::optional<size_t>(at + 4) : std::nullopt;
    for (; at + 2 <= bytes.size(); at += 2) {
        if (WordAt(bytes, at) == 0) return at + 2;
    }
    return std::nullopt;
}

}  // namespace

std::optional<size_t> DialogFontSizeOffset(std::span<const uint8_t> bytes) {
    if (bytes.size() < kExtendedHeaderBytes || WordAt(bytes, 0) != 1 || WordAt(bytes, 2) != 0xFFFF) return std::nullopt;
    uint32_t style = WordAt(bytes, 12) | (static_cast<uint32_t>(WordAt(bytes, 14)) << 16);
    if (!(style & kSetFontStyle)) return std::nullopt;
    std::optional<size_t> at = kExtendedHeaderBytes;
    for (int field = 0; field < 3 && at; ++field)
        at = SkipField(bytes, *at);
    if (!at || *at + 2 > bytes.size()) return std::nullopt;
    return at;
}

std::optional<int> DialogPointSize(std::span<const uint8_t> bytes) {
    std::optional<size_t> at = DialogFontSizeOffset(bytes);
    if (!at) return std::nullopt;
    return WordAt(bytes, *at);
}

std::optional<DialogUnits> DialogSize(std::span<const uint8_t> bytes) {
    if (!DialogFontSizeOffset(bytes)) return std::nullopt;
    return DialogUnits{WordAt(bytes, 22), WordAt(bytes, 24)};
}

int FittingPointSize(int points, int needed, int available, int minimum) {
    if (needed <= available || needed <= 0) return points;
    return std::max(minimum, points * available / needed);
}
