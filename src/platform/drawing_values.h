#pragma once

#include <cstdint>

// The plain values that drawing and layout share: a colour, a point, a
// rectangle. The log's categories have colours without drawing anything.
struct Color {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Color&) const = default;
};

struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};
