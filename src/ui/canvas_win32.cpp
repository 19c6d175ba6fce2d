#include "ui/canvas_win32.h"

#include <string>

#include "platform/text.h"

HFONT GdiFontCache::Get(const FontSpec& spec) {
    Key key{spec.face, spec.heightPx, spec.weight, spec.italic};
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
    std::u16string face = Utf8ToUtf16(spec.face);
    LOGFONTW description = {};
    description.lfHeight = spec.heightPx;
    description.lfWeight = spec.weight;
    description.lfItalic = spec.italic ? TRUE : FALSE;
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

void CanvasGdi::FillRect(const Rect& rect, Color fill, bool outline) {
    RECT area = {rect.left, rect.top, rect.right, rect.bottom};
    HBRUSH brush = CreateSolidBrush(RGB(fill.r, fill.g, fill.b));
    ::FillRect(dc_, &area, brush);
    DeleteObject(brush);
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
