#include "ui/canvas_win32.h"

// GDI+ needs the COM declarations that a lean windows.h leaves out.
#include <objidl.h>
#include <gdiplus.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "ui/gdi_object_win32.h"
#include "ui/scaled_canvas.h"

HFONT GdiFontCache::Get(const FontSpec& spec) {
    Key key{spec.face, spec.heightPx, spec.weight, spec.italic, spec.escapementTenths};
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
    std::u16string face = Utf8ToUtf16(spec.face);
    LOGFONTW description = {};
    description.lfHeight = spec.heightPx;
    description.lfWeight = spec.weight;
    description.lfItalic = spec.italic ? TRUE : FALSE;
    description.lfEscapement = spec.escapementTenths;
    description.lfOrientation = spec.escapementTenths;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfQuality = DEFAULT_QUALITY;
    face.copy(reinterpret_cast<char16_t*>(description.lfFaceName), LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectW(&description);
    fonts_[key] = font;
    return font;
}

void GdiFontCache::Release() {
    for (auto& entry : fonts_) {
        if (entry.second) DeleteObject(entry.second);
    }
    fonts_.clear();
}

namespace {
Gdiplus::Color PlusColor(Color c) {
    return Gdiplus::Color(c.a, c.r, c.g, c.b);
}
}  // namespace

void CanvasGdi::FillRect(const Rect& rect, Color fill, bool outline) {
    RECT area = {rect.left, rect.top, rect.right, rect.bottom};
    if (fill.a < 255) {
        // GDI brushes ignore alpha: a translucent fill blends through GDI+.
        Gdiplus::Graphics graphics(dc_);
        Gdiplus::SolidBrush brush(PlusColor(fill));
        graphics.FillRectangle(&brush, rect.left, rect.top, rect.Width(), rect.Height());
    } else {
        GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(fill.r, fill.g, fill.b)));
        ::FillRect(dc_, &area, brush.Get());
    }
    if (outline) FrameRect(dc_, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void CanvasGdi::DrawText(const std::string& text, int x, int y, const FontSpec& font, const Rect& clip) {
    std::u16string wide = Utf8ToUtf16(text);
    RECT area = {clip.left, clip.top, clip.right, clip.bottom};
    HGDIOBJ previous = SelectObject(dc_, fonts_.Get(font));
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, RGB(0, 0, 0));
    SetTextAlign(dc_, TA_LEFT | TA_TOP);
    ExtTextOutW(dc_, x, y, ETO_CLIPPED, &area, reinterpret_cast<const wchar_t*>(wide.c_str()),
                static_cast<UINT>(wide.size()), nullptr);
    SelectObject(dc_, previous);
}

Canvas::TextSize CanvasGdi::MeasureText(const std::string& text, const FontSpec& font) {
    std::u16string wide = Utf8ToUtf16(text);
    HGDIOBJ previous = SelectObject(dc_, fonts_.Get(font));
    SIZE size = {};
    GetTextExtentPoint32W(dc_, reinterpret_cast<const wchar_t*>(wide.c_str()), static_cast<int>(wide.size()), &size);
    SelectObject(dc_, previous);
    return {size.cx, size.cy};
}

void CanvasGdi::DrawTextAt(const std::string& text, int x, int y, const FontSpec& font) {
    std::u16string wide = Utf8ToUtf16(text);
    HGDIOBJ previous = SelectObject(dc_, fonts_.Get(font));
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, RGB(0, 0, 0));
    SetTextAlign(dc_, TA_LEFT | TA_TOP);
    TextOutW(dc_, x, y, reinterpret_cast<const wchar_t*>(wide.c_str()), static_cast<int>(wide.size()));
    SelectObject(dc_, previous);
}

void CanvasGdi::DrawLines(const Point* points, size_t count, const Pen& pen) {
    if (count < 2) return;
    if (!pen.dotted && pen.color.a == 255) {
        GdiObject<HPEN> gdiPen(CreatePen(PS_SOLID, pen.width, RGB(pen.color.r, pen.color.g, pen.color.b)));
        HGDIOBJ previous = SelectObject(dc_, gdiPen.Get());
        std::vector<POINT> gdiPoints(count);
        for (size_t i = 0; i < count; ++i)
            gdiPoints[i] = {points[i].x, points[i].y};
        Polyline(dc_, gdiPoints.data(), static_cast<int>(count));
        SelectObject(dc_, previous);
        return;
    }
    Gdiplus::Graphics graphics(dc_);
    if (clipped_) graphics.SetClip(Gdiplus::Rect(clip_.left, clip_.top, clip_.Width(), clip_.Height()));
    Gdiplus::Pen plusPen(PlusColor(pen.color), static_cast<Gdiplus::REAL>(pen.width));
    if (pen.dotted) plusPen.SetDashStyle(Gdiplus::DashStyleDot);
    std::vector<Gdiplus::Point> plusPoints(count);
    for (size_t i = 0; i < count; ++i)
        plusPoints[i] = Gdiplus::Point(points[i].x, points[i].y);
    graphics.DrawLines(&plusPen, plusPoints.data(), static_cast<INT>(count));
}

void CanvasGdi::FillGradient(const Rect& rect, Color top, Color bottom) {
    TRIVERTEX corners[2] = {
        {rect.left, rect.top, static_cast<COLOR16>(top.r << 8), static_cast<COLOR16>(top.g << 8),
         static_cast<COLOR16>(top.b << 8), 0},
        {rect.right, rect.bottom, static_cast<COLOR16>(bottom.r << 8), static_cast<COLOR16>(bottom.g << 8),
         static_cast<COLOR16>(bottom.b << 8), 0},
    };
    GRADIENT_RECT span = {0, 1};
    GradientFill(dc_, corners, 2, &span, 1, GRADIENT_FILL_RECT_V);
}

void CanvasGdi::FillPolygon(const Point* points, size_t count, Color fill) {
    if (count < 3) return;
    Gdiplus::Graphics graphics(dc_);
    if (clipped_) graphics.SetClip(Gdiplus::Rect(clip_.left, clip_.top, clip_.Width(), clip_.Height()));
    Gdiplus::SolidBrush brush(PlusColor(fill));
    std::vector<Gdiplus::Point> plusPoints(count);
    for (size_t i = 0; i < count; ++i)
        plusPoints[i] = Gdiplus::Point(points[i].x, points[i].y);
    graphics.FillPolygon(&brush, plusPoints.data(), static_cast<INT>(count), Gdiplus::FillModeAlternate);
}

void CanvasGdi::FillEllipse(const Rect& bounds, Color fill) {
    Gdiplus::Graphics graphics(dc_);
    if (clipped_) graphics.SetClip(Gdiplus::Rect(clip_.left, clip_.top, clip_.Width(), clip_.Height()));
    Gdiplus::SolidBrush brush(PlusColor(fill));
    graphics.FillEllipse(&brush, bounds.left, bounds.top, bounds.Width(), bounds.Height());
}

void CanvasGdi::SetClip(const Rect* clip) {
    if (clipped_) RestoreDC(dc_, -1);
    clipped_ = clip != nullptr;
    if (!clip) return;
    clip_ = *clip;
    SaveDC(dc_);
    IntersectClipRect(dc_, clip->left, clip->top, clip->right, clip->bottom);
}

void CanvasGdi::DrawTextInBox(const std::string& text, const Rect& box, const FontSpec& font, TextAlign align,
                              TextVAlign vertical) {
    std::u16string wide = Utf8ToUtf16(text);
    RECT area = {box.left, box.top, box.right, box.bottom};
    HGDIOBJ previous = SelectObject(dc_, fonts_.Get(font));
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, RGB(0, 0, 0));
    UINT format = DT_SINGLELINE | DT_NOPREFIX | (align == TextAlign::Center ? DT_CENTER : DT_LEFT) |
                  (vertical == TextVAlign::Bottom ? DT_BOTTOM : DT_VCENTER);
    ::DrawTextW(dc_, reinterpret_cast<const wchar_t*>(wide.c_str()), static_cast<int>(wide.size()), &area, format);
    SelectObject(dc_, previous);
}

void PaintBuffered(HDC target, const RECT& area, HBRUSH background, GdiFontCache& fonts, DpiScale scale,
                   const std::function<void(Canvas&)>& paint) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    MemoryDc memory(target);
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(target, width, height));
    if (!memory || !bitmap) return;
    memory.Select(bitmap.Get());
    RECT whole = {0, 0, width, height};
    ::FillRect(memory.Get(), &whole, background);
    CanvasGdi canvas(memory.Get(), fonts);
    ScaledCanvas scaled(canvas, scale);
    paint(scaled);
    BitBlt(target, area.left, area.top, width, height, memory.Get(), 0, 0, SRCCOPY);
}
