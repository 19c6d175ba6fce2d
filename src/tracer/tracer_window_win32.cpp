#include "tracer/tracer_window_win32.h"

#include <windowsx.h>

#include <atomic>
#include <memory>

#include "tracer/tracer_window.h"
#include "ui/canvas_win32.h"
#include "ui/dialog_template_win32.h"
#include "ui/dpi_win32.h"
#include "ui/center_on_owner_win32.h"
#include "ui/controls_win32.h"
#include "ui/modeless_windows_win32.h"
#include "ui/prompts_win32.h"
#include "ui/row_scroll_win32.h"
#include "ui/tracer_ids.h"

namespace {

// Posted by the communication thread when rows arrived; at most one waits.
constexpr UINT kRowsArrivedMessage = WM_APP + 0x72;
constexpr int kScrollBarWidth = 17;

struct OpenRequest {
    TesterConnection& tester;
    const LiveState& live;
};

// Everything the open tracer owns; its existence is the tracer-open flag.
struct TracerParts {
    HWND window = nullptr;
    DpiScale scale;  // of the grid, which sits among controls placed in dialog units
    GdiFontCache fonts;
    std::unique_ptr<ControlsWin32> controls;
    std::unique_ptr<PromptsWin32> prompts;
    std::unique_ptr<TracerWindow> rules;
    std::atomic<bool> rowsPending{false};
};
std::unique_ptr<TracerParts> openTracer;

int GridRight() {
    const std::vector<int>& widths = TraceColumnWidths(TraceViewMode::Default);
    int right = kTraceGridLeft + kTraceListWidth;
    for (int width : widths)
        right += width;
    return right;
}

// The lists and the scroll bar sit beside the row slots, at the window's
// display scale.
void PlaceGridControls(TracerParts& parts) {
    const DpiScale& scale = parts.scale;
    HFONT rowFont = parts.fonts.Get(scale.Px(kTraceRowFont));
    int listLeft = scale.Px(GridRight() - kTraceListWidth);
    for (int slot = 0; slot < TraceStore::kVisibleRows; ++slot) {
        HWND list = GetDlgItem(parts.window, TraceListOfSlot(slot));
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(rowFont), FALSE);
        SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), scale.Px(kTraceRowHeight - 6));
        MoveWindow(list, listLeft, scale.Px(kTraceRowsTop + kTraceRowHeight * slot), scale.Px(kTraceListWidth),
                   scale.Px(160), FALSE);
    }
    MoveWindow(GetDlgItem(parts.window, IDC_TRACER_SCROLL), scale.Px(GridRight() + 2), scale.Px(kTraceRowsTop),
               scale.Px(kScrollBarWidth), scale.Px(kTraceRowHeight * TraceStore::kVisibleRows), FALSE);
}

// Paints the grid off screen, then copies it, so rows do not flicker.
void Paint(TracerParts& parts) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(parts.window, &paint);
    int width = parts.scale.Px(GridRight() + 1);
    int height = parts.scale.Px(kTraceRowsTop + kTraceRowHeight * TraceStore::kVisibleRows + 1);
    PaintBuffered(dc, {0, 0, width, height}, GetSysColorBrush(COLOR_BTNFACE), parts.fonts, parts.scale,
                  [&parts](Canvas& canvas) { parts.rules->Paint(canvas); });
    EndPaint(parts.window, &paint);
}

void Scroll(TracerParts& parts, WPARAM wParam) {
    int thumb = 0;
    RowScroll::Request request = ScrollRequestOf(GetDlgItem(parts.window, IDC_TRACER_SCROLL), wParam, thumb);
    if (request != RowScroll::Request::Other) parts.rules->OnScroll(request, thumb);
}

void Initialize(HWND window, const OpenRequest& request) {
    openTracer = std::make_unique<TracerParts>();
    TracerParts* parts = openTracer.get();
    parts->window = window;
    parts->controls = std::make_unique<ControlsWin32>(window);
    parts->prompts = std::make_unique<PromptsWin32>(window);
    parts->scale = DialogFontScale(window);
    PlaceGridControls(*parts);
    parts->rules = std::make_unique<TracerWindow>(
        TracerWindow::Parts{*parts->controls, *parts->prompts, request.tester, request.live, TracerShared(), [parts] {
                                if (!parts->rowsPending.exchange(true))
                                    PostMessageW(parts->window, kRowsArrivedMessage, 0, 0);
                            }});
    CenterOnOwner(window, GetWindow(window, GW_OWNER));
    AddModelessWindow(window);
    parts->rules->Initialize();
}

void Destroy() {
    if (!openTracer) return;
    RemoveModelessWindow(openTracer->window);
    // Tracing stops first: no row arrives for a window that is gone.
    openTracer->rules->Close();
    openTracer->rules.reset();
    openTracer.reset();
}

INT_PTR CALLBACK TracerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (ControlsWin32::HandleDeferredTimer(window, message, wParam, lParam)) return TRUE;
    if (message == WM_INITDIALOG) {
        Initialize(window, *reinterpret_cast<const OpenRequest*>(lParam));
        return TRUE;
    }
    TracerParts* parts = openTracer.get();
    if (!parts || parts->window != window) return FALSE;
    switch (message) {
        case kRowsArrivedMessage:
            parts->rowsPending = false;
            parts->rules->OnRowsArrived();
            return TRUE;
        case WM_PAINT:
            Paint(*parts);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_TRACER_EXIT || LOWORD(wParam) == IDCANCEL) {
                DestroyWindow(window);
            } else {
                parts->rules->OnCommand(LOWORD(wParam), HIWORD(wParam));
            }
            return TRUE;
        case WM_TIMER:
            parts->rules->OnTimer(static_cast<int>(wParam));
            return TRUE;
        case WM_VSCROLL:
            if (lParam && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_TRACER_SCROLL) Scroll(*parts, wParam);
            return TRUE;
        case WM_DPICHANGED: {
            // The system has scaled the controls' font: the grid follows it.
            FollowDpiChange(window, wParam, lParam);
            parts->scale = DialogFontScale(window);
            PlaceGridControls(*parts);
            InvalidateRect(window, nullptr, TRUE);
            return TRUE;
        }
        case WM_MOUSEWHEEL:
            parts->rules->OnWheel(GET_WHEEL_DELTA_WPARAM(wParam));
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(window);
            return TRUE;
        case WM_DESTROY:
            Destroy();
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void OpenTracerWindow(HINSTANCE instance, HWND owner, TesterConnection& tester, const LiveState& live) {
    if (openTracer) {
        ShowWindow(openTracer->window, SW_RESTORE);
        SetWindowPos(openTracer->window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        SetForegroundWindow(openTracer->window);
        return;
    }
    std::vector<uint8_t> layout = FitDialogLayout(instance, L"ANALYZERBOX", owner);
    if (layout.empty()) return;
    OpenRequest request{tester, live};
    HWND window =
        CreateDialogIndirectParamW(instance, TemplateOf(layout), owner, TracerProc, reinterpret_cast<LPARAM>(&request));
    if (window) ShowWindow(window, SW_SHOW);
}

std::optional<bool> ResumeOpenTracer() {
    if (!openTracer) return std::nullopt;
    return openTracer->rules->ResumeTracing();
}
