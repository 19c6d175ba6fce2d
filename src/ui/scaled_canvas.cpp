#include "ui/scaled_canvas.h"

void ScaledCanvas::FillRect(const Rect& rect, Color fill, bool outline) {
    device_.FillRect(scale_.Px(rect), fill, outline);
}

void ScaledCanvas::DrawText(const std::string& text, int x, int y, const FontSpec& font, const Rect& clip) {
    device_.DrawText(text, scale_.Px(x), scale_.Px(y), scale_.Px(font), scale_.Px(clip));
}

Canvas::TextSize ScaledCanvas::MeasureText(const std::string& text, const FontSpec& font) {
    TextSize size = device_.MeasureText(text, scale_.Px(font));
    return {scale_.Layout(size.width), scale_.Layout(size.height)};
}

void ScaledCanvas::DrawTextAt(const std::string& text, int x, int y, const FontSpec& font) {
    device_.DrawTextAt(text, scale_.Px(x), scale_.Px(y), scale_.Px(font));
}

void ScaledCanvas::DrawLines(const Point* points, size_t count, const Pen& pen) {
    Pen scaled = pen;
    scaled.width = scale_.Thickness(pen.width);
    const std::vector<Point>& at = Scaled(points, count);
    device_.DrawLines(at.data(), at.size(), scaled);
}

void ScaledCanvas::FillGradient(const Rect& rect, Color top, Color bottom) {
    device_.FillGradient(scale_.Px(rect), top, bottom);
}

void ScaledCanvas::FillPolygon(const Point* points, size_t count, Color fill) {
    const std::vector<Point>& at = Scaled(points, count);
    device_.FillPolygon(at.data(), at.size(), fill);
}

void ScaledCanvas::FillEllipse(const Rect& bounds, Color fill) {
    device_.FillEllipse(scale_.Px(bounds), fill);
}

void ScaledCanvas::SetClip(const Rect* clip) {
    if (clip == nullptr) {
        device_.SetClip(nullptr);
        return;
    }
    Rect scaled = scale_.Px(*clip);
    device_.SetClip(&scaled);
}

void ScaledCanvas::DrawTextInBox(const std::string& text, const Rect& box, const FontSpec& font, TextAlign align,
                                 TextVAlign vertical) {
    device_.DrawTextInBox(text, scale_.Px(box), scale_.Px(font), align, vertical);
}

const std::vector<Point>& ScaledCanvas::Scaled(const Point* points, size_t count) {
    points_.resize(count);
    for (size_t i = 0; i < count; ++i)
        points_[i] = scale_.Px(points[i]);
    return points_;
}
