#pragma once

#include "ui/canvas.h"

// The layout is drawn up for 96 dots per inch; a window on a display of
// another scale multiplies every size by dpi / 96. Layout units convert to
// device pixels by rounding to the nearest pixel, so edges that meet in the
// layout still meet on screen.
struct DpiScale {
    static constexpr int kLayoutDpi = 96;
    int dpi = kLayoutDpi;

    int Px(int layout) const { return Divide(layout * dpi, kLayoutDpi); }
    // Device pixels back to layout units (client sizes, mouse positions).
    int Layout(int device) const { return Divide(device * kLayoutDpi, dpi); }
    Point Px(Point p) const { return {Px(p.x), Px(p.y)}; }
    Rect Px(const Rect& r) const { return {Px(r.left), Px(r.top), Px(r.right), Px(r.bottom)}; }
    // A line or a font never scales to nothing.
    int Thickness(int layout) const { return layout > 0 && Px(layout) < 1 ? 1 : Px(layout); }
    FontSpec Px(FontSpec font) const {
        font.heightPx = Thickness(font.heightPx);
        return font;
    }
    bool operator==(const DpiScale&) const = default;

    // Pixels painted beside controls placed in dialog units follow the
    // dialog's font, not the display alone: the layout's 96-dpi font is 13
    // pixels high (8 vertical dialog units), and a window whose font is
    // `fontHeight` pixels scales by fontHeight / 13.
    static constexpr int kLayoutFontHeight = 13;
    static DpiScale OfDialogFont(int fontHeight) {
        return {fontHeight > 0 ? Divide(fontHeight * kLayoutDpi, kLayoutFontHeight) : kLayoutDpi};
    }

private:
    // Rounds half away from zero, for negative coordinates too.
    static int Divide(int numerator, int denominator) {
        return numerator >= 0 ? (numerator + denominator / 2) / denominator
                              : -((-numerator + denominator / 2) / denominator);
    }
};
