#include "graphs/graph_window_win32.h"

// GDI+ needs the COM declarations that a lean windows.h leaves out.
#include <objidl.h>
#include <gdiplus.h>
#include <mmsystem.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/owned_win32.h"
#include "ui/canvas_win32.h"
#include "ui/dialog_template_win32.h"
#include "ui/dpi_win32.h"
#include "ui/scaled_canvas.h"
#include "ui/center_on_owner_win32.h"
#include "ui/controls_win32.h"
#include "ui/gdi_object_win32.h"
#include "ui/graph_ids.h"
#include "ui/prompts_win32.h"
#include "ui/wait_pumping_win32.h"
#include "platform/wide_text_win32.h"

namespace {

constexpr int kMinimumWidth = 900;
constexpr int kMinimumHeight = 400;

// Controls that keep their distance from the right edge when the window is
// resized.
constexpr int kRightSideControls[] = {
    IDC_GRAPH_SAVE,
    IDC_GRAPH_EXPORT_CSV,
    IDC_GRAPH_RUN,
    IDC_GRAPH_CLOSE,
    IDC_GRAPH_GROUP,
    IDC_GRAPH_TYPE,
    IDC_GRAPH_TYPE_LABEL,
    IDC_GRAPH_CURRENT_STEP,
    IDC_GRAPH_CURRENT_STEP_LABEL,
    IDC_GRAPH_STEP_TIME,
    IDC_GRAPH_STEP_TIME_LABEL,
    IDC_GRAPH_SIGNAL,
    IDC_GRAPH_SIGNAL_LABEL,
    IDC_GRAPH_TIME_DIVISION,
    IDC_GRAPH_TIME_DIVISION_LABEL,
    IDC_GRAPH_DURATION,
    IDC_GRAPH_DURATION_LABEL,
    IDC_GRAPH_LOAD_SPEED,
    IDC_GRAPH_LOAD_SPEED_LABEL,
};

bool FindEncoder(const wchar_t* mimeType, CLSID* encoder) {
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<unsigned char> storage(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (lstrcmpiW(codecs[i].MimeType, mimeType) == 0) {
            *encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// The encoded image, or nothing when the encoder failed.
bool EncodeImage(HBITMAP bitmap, const CLSID& encoder, std::string* bytes) {
    Gdiplus::Bitmap image(bitmap, nullptr);
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive()))) return false;
    bool encoded = image.Save(stream.Get(), &encoder, nullptr) == Gdiplus::Ok;
    HGLOBAL memory = nullptr;
    STATSTG status = {};
    if (encoded && SUCCEEDED(GetHGlobalFromStream(stream.Get(), &memory)) &&
        SUCCEEDED(stream.Get()->Stat(&status, STATFLAG_NONAME))) {
        const void* data = GlobalLock(memory);
        if (data) {
            bytes->assign(static_cast<const char*>(data), static_cast<size_t>(status.cbSize.QuadPart));
            GlobalUnlock(memory);
        } else {
            encoded = false;
        }
    }
    return encoded;
}

class GraphDialog : public GraphWindowShell {
public:
    GraphDialog(HWND dialog, HINSTANCE instance, const GraphWindowServices& services)
        : dialog_(dialog), area_(GetDlgItem(dialog, IDC_GRAPH_AREA)), controls_(dialog), prompts_(dialog) {
        GraphWindow::Parts parts{controls_,           prompts_,           services.live,
                                 services.events,     TheGraphSettings(), *this,
                                 SteadySampleClock(), services.log,       services.tester};
        rules_ = std::make_unique<GraphWindow>(parts);
        scale_ = WindowScale(dialog);
        // The controls sit where the layout put them for its full size, even
        // where the system cut the window to the screen: the first OnSize
        // moves them in from there.
        SIZE designed = DesignedClientSize(dialog, instance, MAKEINTRESOURCEW(IDD_GRAPH_WINDOW));
        clientWidth_ = designed.cx;
        clientHeight_ = designed.cy;
        RECT client;
        GetClientRect(dialog_, &client);
        OnSize(client.right, client.bottom);
    }

    GraphWindow& Rules() { return *rules_; }
    HWND Area() const { return area_; }
    const DpiScale& Scale() const { return scale_; }

    // The graphs are laid out in 96-dpi units and painted at the window's scale.
    void LayOut() override {
        RECT area;
        GetClientRect(area_, &area);
        rules_->Resize(scale_.Layout(area.right), scale_.Layout(area.bottom));
    }

    // On a monitor of another scale the system places the controls anew: the
    // window takes the suggested size without moving them again.
    void OnDpiChanged(WPARAM wParam, LPARAM lParam) {
        followingDpi_ = true;
        scale_ = FollowDpiChange(dialog_, wParam, lParam);
        followingDpi_ = false;
        RECT client;
        GetClientRect(dialog_, &client);
        clientWidth_ = client.right;
        clientHeight_ = client.bottom;
        LayOut();
        InvalidateRect(dialog_, nullptr, TRUE);
    }

    void WaitPumping(const std::function<void()>& wait) override { WaitPumpingSentMessages(wait); }

    ImageResult SaveImage(const std::string& path, GraphImageFormat format, std::string* error) override;

    // Paints the graph area through a memory bitmap, so it does not flicker.
    void PaintArea(HDC target) {
        RECT client;
        GetClientRect(area_, &client);
        PaintBuffered(target, client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), fonts_, scale_,
                      [this](Canvas& canvas) { rules_->Paint(canvas); });
    }

    // The client area changed size: the graph area grows with it, the
    // controls on the right and the status line keep their distance from
    // the right and bottom edges.
    void OnSize(int width, int height) {
        if (followingDpi_) return;
        int dx = width - clientWidth_, dy = height - clientHeight_;
        clientWidth_ = width;
        clientHeight_ = height;
        if (dx == 0 && dy == 0) return;
        RECT area = ChildRect(area_);
        SetWindowPos(area_, nullptr, 0, 0, area.right - area.left + dx, area.bottom - area.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER);
        for (int id : kRightSideControls)
            MoveBy(GetDlgItem(dialog_, id), dx, 0);
        MoveBy(GetDlgItem(dialog_, IDC_GRAPH_STATUS), 0, dy);
        LayOut();
        InvalidateRect(dialog_, nullptr, TRUE);
    }

private:
    RECT ChildRect(HWND child) const {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    void MoveBy(HWND child, int dx, int dy) {
        if (!child) return;
        RECT rect = ChildRect(child);
        SetWindowPos(child, nullptr, rect.left + dx, rect.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    void PaintGraph(HDC dc, int width, int height) {
        RECT whole = {0, 0, width, height};
        FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        CanvasGdi canvas(dc, fonts_);
        ScaledCanvas scaled(canvas, scale_);
        rules_->Paint(scaled);
    }

    HWND dialog_;
    HWND area_;
    ControlsWin32 controls_;
    PromptsWin32 prompts_;
    GdiFontCache fonts_;
    std::unique_ptr<GraphWindow> rules_;
    DpiScale scale_;
    bool followingDpi_ = false;
    int clientWidth_ = 0, clientHeight_ = 0;
};

GraphWindowShell::ImageResult GraphDialog::SaveImage(const std::string& path, GraphImageFormat format,
                                                     std::string* error) {
    HCURSOR previousCursor = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    struct RestoreCursor {
        HCURSOR cursor;
        ~RestoreCursor() { SetCursor(cursor); }
    } restore{previousCursor};

    RECT client;
    GetClientRect(area_, &client);
    const int width = client.right + 5, height = client.bottom + 5;
    MemoryDc memory(WindowDc(dialog_).Get());
    if (!memory) return ImageResult::NoDeviceContext;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(memory.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) return ImageResult::NoBitmap;
    memory.Select(bitmap.Get());
    PaintGraph(memory.Get(), width, height);
    GdiFlush();

    CLSID encoder;
    if (!FindEncoder(format == GraphImageFormat::Jpeg ? L"image/jpeg" : L"image/png", &encoder))
        return ImageResult::NoEncoder;
    std::string bytes;
    if (!EncodeImage(bitmap.Get(), encoder, &bytes)) return ImageResult::WriteFailed;
    return SaveFileAtomically(path, bytes, error) ? ImageResult::Saved : ImageResult::WriteFailed;
}

struct DialogStart {
    const GraphWindowServices* services;
};

// The one graph window open (it is modal).
std::unique_ptr<GraphDialog> openDialog;
WNDPROC areaDefaultProc = nullptr;

LRESULT CALLBACK GraphAreaProc(HWND area, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) return 1;
    if (message == WM_PAINT && openDialog) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(area, &paint);
        openDialog->PaintArea(dc);
        EndPaint(area, &paint);
        return 0;
    }
    return CallWindowProcW(areaDefaultProc, area, message, wParam, lParam);
}

void EndGraphWindow(HWND dialog, int result) {
    if (!openDialog) return;
    openDialog->Rules().Close();
    KillTimer(dialog, IDT_GRAPH_REPAINT);
    EndDialog(dialog, result);
}

INT_PTR CALLBACK GraphWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* start = reinterpret_cast<const DialogStart*>(lParam);
            auto* instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
            openDialog = std::make_unique<GraphDialog>(dialog, instance, *start->services);
            areaDefaultProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(openDialog->Area(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GraphAreaProc)));
            CenterOnOwner(dialog, GetWindow(dialog, GW_OWNER));
            ShrinkToWorkArea(dialog);
            openDialog->Rules().Initialize();
            SetTimer(dialog, IDT_GRAPH_REPAINT, 10, nullptr);
            return TRUE;
        }
        case WM_TIMER:
            if (openDialog && wParam == IDT_GRAPH_REPAINT && openDialog->Rules().OnTimer()) {
                InvalidateRect(openDialog->Area(), nullptr, FALSE);
                UpdateWindow(openDialog->Area());
            }
            return TRUE;
        case WM_COMMAND:
            if (!openDialog) break;
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndGraphWindow(dialog, LOWORD(wParam));
                return TRUE;
            }
            openDialog->Rules().OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            EndGraphWindow(dialog, IDCANCEL);
            return TRUE;
        case WM_SIZE:
            if (openDialog && wParam != SIZE_MINIMIZED) openDialog->OnSize(LOWORD(lParam), HIWORD(lParam));
            return TRUE;
        case WM_DPICHANGED:
            if (openDialog) openDialog->OnDpiChanged(wParam, lParam);
            return TRUE;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            // Never more than the monitor can show.
            DpiScale scale = openDialog ? openDialog->Scale() : WindowScale(dialog);
            Rect area = WorkAreaOf(dialog);
            limits->ptMinTrackSize = {std::min(scale.Px(kMinimumWidth), area.Width()),
                                      std::min(scale.Px(kMinimumHeight), area.Height())};
            return TRUE;
        }
        default:
            break;
    }
    return FALSE;
}

}  // namespace

void ShowGraphWindow(HINSTANCE instance, HWND owner, const GraphWindowServices& services) {
    DialogStart start{&services};
    // The real-time graph samples every millisecond: while the window is
    // open the system's timers run at that resolution, not at 15.6 ms.
    timeBeginPeriod(1);
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_GRAPH_WINDOW), owner, GraphWindowProc,
                    reinterpret_cast<LPARAM>(&start));
    if (openDialog) {
        HWND area = openDialog->Area();
        if (IsWindow(area) && areaDefaultProc)
            SetWindowLongPtrW(area, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(areaDefaultProc));
    }
    openDialog.reset();
    areaDefaultProc = nullptr;
    timeEndPeriod(1);
}
