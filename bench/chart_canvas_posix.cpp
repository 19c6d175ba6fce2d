#include "chart_canvas.h"

namespace {
class CountingCanvas : public Canvas {
public:
    void FillRect(const Rect&, Color, bool) override { ++calls; }
    void DrawText(const std::string&, int, int, const FontSpec&, const Rect&) override { ++calls; }
    TextSize MeasureText(const std::string& text, const FontSpec& font) override {
        return {static_cast<int>(text.size()) * font.heightPx / 2, font.heightPx};
    }
    void DrawTextAt(const std::string&, int, int, const FontSpec&) override { ++calls; }
    void DrawLines(const Point*, size_t count, const Pen&) override { points += count; }
    void FillGradient(const Rect&, Color, Color) override { ++calls; }
    void FillPolygon(const Point*, size_t, Color) override { ++calls; }
    void FillEllipse(const Rect&, Color) override { ++calls; }
    void SetClip(const Rect*) override {}
    size_t calls = 0, points = 0;
};
}  // namespace

BenchCanvas MakeBenchCanvas(int, int) {
    return {std::make_unique<CountingCanvas>(), "counting canvas"};
}
