#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <tuple>

#include "ui/canvas.h"
#include "ui/dpi_scale.h"

// GDI fonts made on first use and kept until the owner (the window that
// paints with them) goes away.
class GdiFontCache {
public:
    GdiFontCache() = default;
    ~GdiFontCache() { Release(); }
    GdiFontCache(const GdiFontCache&) = delete;
    GdiFontCache& operator=(const GdiFontCache&) = delete;

    HFONT Get(const FontSpec& spec);
    void Release();

private:
    using Key = std::tuple<std::string, int, int, bool, int>;
    std::map<Key, HFONT> fonts_;
};

// A Canvas drawing with GDI into a device context.
class CanvasGdi : public Canvas {
public:
    CanvasGdi(HDC dc, GdiFontCache& fonts) : dc_(dc), fonts_(fonts) {}

    void FillRect(const Rect& rect, Color fill, bool outline = false) override;
    void DrawText(const std::string& text, int x, int y, const FontSpec& font, const Rect& clip) override;
    void DrawTextInBox(const std::string& text, const Rect& box, const FontSpec& font, TextAlign align,
                       TextVAlign vertical) override;

    // Chart primitives: solid opaque lines with GDI, dotted or translucent
    // ones and every fill with GDI+ (which needs to be started).
    TextSize MeasureText(const std::string& text, const FontSpec& font) override;
    void DrawTextAt(const std::string& text, int x, int y, const FontSpec& font) override;
    void DrawLines(const Point* points, size_t count, const Pen& pen) override;
    void FillGradient(const Rect& rect, Color top, Color bottom) override;
    void FillPolygon(const Point* points, size_t count, Color fill) override;
    void FillEllipse(const Rect& bounds, Color fill) override;
    void SetClip(const Rect* clip) override;

private:
    HDC dc_;
    GdiFontCache& fonts_;
    bool clipped_ = false;
    Rect clip_;
};

// Paints into a memory bitmap over the background, then copies it to the
// area of the target, so what is painted does not flicker. The painter works
// in layout units, scaled to the window's display scale.
void PaintBuffered(HDC target, const RECT& area, HBRUSH background, GdiFontCache& fonts, DpiScale scale,
                   const std::function<void(Canvas&)>& paint);
