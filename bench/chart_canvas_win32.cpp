#include <windows.h>
// GDI+ needs the COM declarations that a lean windows.h leaves out.
#include <objidl.h>
#include <gdiplus.h>

#include "chart_canvas.h"
#include "ui/canvas_win32.h"
#include "ui/gdi_object_win32.h"

namespace {
// GDI+ started, a memory bitmap selected into a memory context, for the
// life of the program.
struct MemorySurface {
    MemorySurface(int width, int height) {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
        WindowDc screen(nullptr);
        dc = CreateCompatibleDC(screen.Get());
        bitmap = CreateCompatibleBitmap(screen.Get(), width, height);
        SelectObject(dc, bitmap);
    }
    ULONG_PTR token = 0;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    GdiFontCache fonts;
};
}  // namespace

BenchCanvas MakeBenchCanvas(int width, int height) {
    static MemorySurface surface(width, height);
    return {std::make_unique<CanvasGdi>(surface.dc, surface.fonts), "GDI/GDI+ memory bitmap"};
}
