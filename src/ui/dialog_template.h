#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// Where the point size of an extended dialog template's font is: after the
// fixed header come the menu, the window class and the caption, each a
// 0x0000 (none), a 0xFFFF plus an ordinal, or a NUL-terminated UTF-16
// string. Nothing when the template is not an extended one with a font, or
// is cut short.
std::optional<size_t> DialogFontSizeOffset(std::span<const uint8_t> dialogTemplate);
// The point size there.
std::optional<int> DialogPointSize(std::span<const uint8_t> dialogTemplate);

// The client size the template gives, in dialog units.
struct DialogUnits {
    int width = 0, height = 0;
    bool operator==(const DialogUnits&) const = default;
};
std::optional<DialogUnits> DialogSize(std::span<const uint8_t> dialogTemplate);

// The largest point size, at most `points` and at least `minimum`, at which
// a layout `needed` pixels wide at `points` fits into `available` pixels:
// dialog units grow with the font.
int FittingPointSize(int points, int needed, int available, int minimum);
