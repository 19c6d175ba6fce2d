#pragma once

#include <cstdint>
#include <string>

struct Color {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Color&) const = default;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

struct FontSpec {
    std::string face;
    int heightPx = 0;
    int weight = 400;
    bool italic = false;
    bool operator==(const FontSpec&) const = default;
};

enum class TextAlign { Left, Center };
enum class TextVAlign { Center, Bottom };

// The drawing primitives the painters need. The Win32 implementation draws
// with GDI and GDI+; a recording one lets tests check what would be drawn.
class Canvas {
public:
    virtual ~Canvas() = default;
    // Fills the rectangle; with an outline, also draws its 1-pixel black border.
    virtual void FillRect(const Rect& rect, Color fill, bool outline = false) = 0;
    // Black text on a transparent background with its top left at (x, y),
    // clipped to `clip`.
    virtual void DrawText(const std::string& text, int x, int y, const FontSpec& font, const Rect& clip) = 0;
    // One line of black text on a transparent background, aligned in `box`
    // and clipped to it.
    virtual void DrawTextInBox(const std::string& text, const Rect& box, const FontSpec& font, TextAlign align,
                               TextVAlign vertical) = 0;
};
