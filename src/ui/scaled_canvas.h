#pragma once

#include <vector>

#include "ui/canvas.h"
#include "ui/dpi_scale.h"

// A canvas in layout units over a canvas in device pixels: every coordinate,
// font height and pen width is scaled on the way through, and text is
// measured back in layout units. Painters keep their 96-dpi layout and are
// right at any display scale.
class ScaledCanvas : public Canvas {
public:
    ScaledCanvas(Canvas& device, DpiScale scale) : device_(device), scale_(scale) {}

    void FillRect(const Rect& rect, Color fill, bool outline = false) override;
    void DrawText(const std::string& text, int x, int y, const FontSpec& font, const Rect& clip) override;
    TextSize MeasureText(const std::string& text, const FontSpec& font) override;
    void DrawTextAt(const std::string& text, int x, int y, const FontSpec& font) override;
    void DrawLines(const Point* points, size_t count, const Pen& pen) override;
    void FillGradient(const Rect& rect, Color top, Color bottom) override;
    void FillPolygon(const Point* points, size_t count, Color fill) override;
    void FillEllipse(const Rect& bounds, Color fill) override;
    void SetClip(const Rect* clip) override;
    void DrawTextInBox(const std::string& text, const Rect& box, const FontSpec& font, TextAlign align,
                       TextVAlign vertical) override;

private:
    const std::vector<Point>& Scaled(const Point* points, size_t count);

    Canvas& device_;
    DpiScale scale_;
    std::vector<Point> points_;  // kept between calls: a chart draws thousands of points
};
