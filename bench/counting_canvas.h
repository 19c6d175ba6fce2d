#pragma once

#include "ui/canvas.h"

// Draws nothing; counts the fills and texts it was asked for, so a benchmark
// measures the painter's own work.
class CountingCanvas : public Canvas {
public:
    void FillRect(const Rect&, Color, bool) override { ++fills; }
    void DrawText(const std::string&, int, int, const FontSpec&, const Rect&) override { ++texts; }
    void DrawTextInBox(const std::string&, const Rect&, const FontSpec&, TextAlign, TextVAlign) override { ++texts; }
    TextSize MeasureText(const std::string& text, const FontSpec& font) override {
        return {static_cast<int>(text.size()) * font.heightPx / 2, font.heightPx};
    }
    void DrawTextAt(const std::string&, int, int, const FontSpec&) override { ++texts; }
    void DrawLines(const Point*, size_t, const Pen&) override {}
    void FillGradient(const Rect&, Color, Color) override { ++fills; }
    void FillPolygon(const Point*, size_t, Color) override { ++fills; }
    void FillEllipse(const Rect&, Color) override { ++fills; }
    void SetClip(const Rect*) override {}
    long fills = 0, texts = 0;
};
