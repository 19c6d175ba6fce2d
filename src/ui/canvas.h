#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/drawing_values.h"

struct FontSpec {
    std::string face;
    int heightPx = 0;
    int weight = 400;
    bool italic = false;
    int escapementTenths = 0;  // direction of the text; 900 runs upward
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

    // Charts: lines, translucent fills and measured, possibly rotated text.
    struct Pen {
        Color color;
        int width = 1;
        bool dotted = false;
        bool operator==(const Pen&) const = default;
    };
    struct TextSize {
        int width = 0;  // along the text
        int height = 0;
    };
    virtual TextSize MeasureText(const std::string& text, const FontSpec& font) = 0;
    // Black text on a transparent background, its reference point (the top
    // left of the unrotated text) at (x, y), running in the font's direction.
    virtual void DrawTextAt(const std::string& text, int x, int y, const FontSpec& font) = 0;
    // Joined line segments through the points.
    virtual void DrawLines(const Point* points, size_t count, const Pen& pen) = 0;
    // A vertical gradient from `top` at the top edge to `bottom` at the bottom.
    virtual void FillGradient(const Rect& rect, Color top, Color bottom) = 0;
    // A polygon (alternate fill) and an ellipse, the colour's alpha honoured.
    virtual void FillPolygon(const Point* points, size_t count, Color fill) = 0;
    virtual void FillEllipse(const Rect& bounds, Color fill) = 0;
    // Lines, polygons and ellipses drawn from now on are cut to `clip`;
    // nullptr lifts the cut.
    virtual void SetClip(const Rect* clip) = 0;
    // One line of black text on a transparent background, aligned in `box`
    // and clipped to it.
    virtual void DrawTextInBox(const std::string& text, const Rect& box, const FontSpec& font, TextAlign align,
                               TextVAlign vertical) = 0;
};
