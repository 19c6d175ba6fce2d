#include "app/main_window_win32.h"

// GDI+ needs the COM declarations that a lean windows.h leaves out.
#include <objidl.h>
#include <commctrl.h>
#include <dbt.h>
#include <gdiplus.h>
#include <shellapi.h>

#include <memory>
#include <thread>

#include "app/about_box_win32.h"
#include "app/main_window.h"
#include "app/main_window_fit.h"
#include "device/port_directory_win32.h"
#include "app/tester_discovery.h"
#include "app/user_guide.h"
#include "graphs/graph_window_win32.h"
#include "tracer/tracer_window_win32.h"
#include "config/config_dialogs_win32.h"
#include "ui/canvas_win32.h"
#include "ui/controls_win32.h"
#include "ui/dialog_template.h"
#include "ui/dialog_template_win32.h"
#include "ui/dpi_win32.h"
// The Win32 headers name a cursor IDC_HELP; here it is the Help button.
#undef IDC_HELP
#include "ui/main_window_ids.h"
#include "ui/prompts_win32.h"
#include "ui/row_scroll_win32.h"
#include "platform/wide_text_win32.h"

namespace {

// The process-wide records. The port events outlive the connection whose
// communication thread sets them.
PortEvents portEvents;
TesterConnection tester;
LiveState live;

// Posted to the window itself to connect a re-plugged tester again.
constexpr UINT kReconnectMessage = WM_APP + 0x72;
// Posted (at most one waiting) when the live model or the log changed.
constexpr UINT kModelChangedMessage = WM_APP + 0x73;

class Shell : public MainWindowShell {
public:
    void Exit() override { DestroyWindow(window); }
    void ShowAbout() override { ShowAboutBox(instance, window); }
    void OpenUserGuide() override;
    void PostReconnect() override { PostMessageW(window, kReconnectMessage, 0, 0); }
    void PostModelChanged() override { PostMessageW(window, kModelChangedMessage, 0, 0); }
    void ShowGraphWindow() override;
    void OpenTracer() override { OpenTracerWindow(instance, window, tester, live); }
    std::optional<bool> ResumeTracing() override { return ResumeOpenTracer(); }
    void OpenTestConfiguration() override { ShowTestConfiguration(DialogOwner()); }
    void OpenSourceTypes() override { ShowSourceTypes(DialogOwner()); }
    void OpenCalibration() override { ShowCalibration(DialogOwner()); }
    ConfigDialogOwner DialogOwner();

    HWND window = nullptr;
    HINSTANCE instance = nullptr;
};

// Everything the main window owns, made by its initialisation.
struct MainWindowParts {
    HWND window = nullptr;
    HWND pane = nullptr;
    DpiScale scale;
    GdiFontCache fonts;
    ULONG_PTR gdiplusToken = 0;
    std::unique_ptr<ControlsWin32> controls;
    std::unique_ptr<PromptsWin32> prompts;
    std::unique_ptr<EventLog> log;
    std::unique_ptr<LogPane> logPane;
    SetupApiPortDirectory ports;
    std::unique_ptr<StatusPollLoop> poll;
    std::unique_ptr<TesterDiscovery> discovery;
    Shell shell;
    std::unique_ptr<MainWindow> rules;
};

MainWindowParts* parts = nullptr;

ConfigDialogOwner Shell::DialogOwner() {
    return {instance, window, *parts->controls, *parts->prompts, tester, live};
}

void Shell::OpenUserGuide() {
    wchar_t program[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring folder(program, length);
    folder = folder.substr(0, folder.find_last_of(L'\\'));
    std::string address = UserGuideAddress(Narrow(folder));
    // Edge's scheme first; where it is not registered, the default browser.
    auto opened = [](const std::string& target) {
        return reinterpret_cast<INT_PTR>(
                   ShellExecuteW(nullptr, nullptr, Wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
    };
    if (!opened(EdgeAddress(address))) opened(address);
}

void Shell::ShowGraphWindow() {
    ::ShowGraphWindow(instance, window, GraphWindowServices{live, portEvents, parts->log.get(), &tester});
}

void RemeasurePane() {
    if (!parts || !parts->logPane || !parts->pane) return;
    RECT client;
    GetClientRect(parts->pane, &client);
    parts->logPane->Remeasure(parts->scale.Layout(client.right - client.left),
                              parts->scale.Layout(client.bottom - client.top));
}

// Paints the log pane off screen, then copies it, so rows do not flicker.
void PaintPane(const DRAWITEMSTRUCT& item) {
    if (!parts || !parts->logPane || !parts->gdiplusToken) return;
    PaintBuffered(item.hDC, item.rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), parts->fonts, parts->scale,
                  [](Canvas& canvas) { parts->logPane->Paint(canvas, true); });
}

void ScrollLog(WPARAM wParam) {
    if (!parts || !parts->logPane) return;
    int thumb = 0;
    RowScroll::Request request = ScrollRequestOf(GetDlgItem(parts->window, IDC_LOG_SCROLL), wParam, thumb);
    parts->logPane->Scroll(request, thumb);
}

void Destroy() {
    if (!parts) return;
    // The poll thread never waits for this window, so it can be joined here.
    if (parts->rules) parts->rules->StopPolling();
    tester.Close();
    parts->fonts.Release();
    parts->logPane.reset();
    parts->log.reset();
    if (parts->gdiplusToken) Gdiplus::GdiplusShutdown(parts->gdiplusToken);
    parts->gdiplusToken = 0;
    PostQuitMessage(0);
}

void OnDeviceChange(WPARAM wParam, LPARAM lParam) {
    auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (!parts || !parts->rules || !header) return;
    std::optional<TesterDiscovery::RescanReason> reason =
        RescanReasonFor(static_cast<uint32_t>(wParam), header->dbch_devicetype);
    if (reason) parts->rules->OnDeviceChange(*reason);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (ControlsWin32::HandleDeferredTimer(window, message, wParam, lParam)) return 0;
    MainWindow* rules = parts ? parts->rules.get() : nullptr;
    switch (message) {
        case WM_CREATE:
            SetTimer(window, IDT_CAPACITY, 1000, nullptr);
            break;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            Destroy();
            return 0;
        case WM_SIZE:
            RemeasurePane();
            break;
        case WM_DPICHANGED:
            if (parts) {
                parts->scale = FollowDpiChange(window, wParam, lParam);
                RemeasurePane();
                InvalidateRect(window, nullptr, TRUE);
            }
            return 0;
        case WM_DRAWITEM:
            if (wParam == IDC_LOG_PANE) {
                PaintPane(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                return TRUE;
            }
            break;
        case WM_COMMAND:
            if (rules) rules->OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_TIMER:
            if (rules) rules->OnTimer(static_cast<int>(wParam));
            return 0;
        case WM_HSCROLL:
            if (rules && lParam) {
                int code = LOWORD(wParam);
                bool dragging = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
                rules->OnSlider(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)), dragging, HIWORD(wParam));
            }
            return 0;
        case WM_VSCROLL:
            if (lParam && GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_LOG_SCROLL) ScrollLog(wParam);
            return 0;
        case WM_POWERBROADCAST:
            if (rules && wParam == PBT_APMSUSPEND) rules->OnSuspend();
            return TRUE;
        case WM_DEVICECHANGE:
            OnDeviceChange(wParam, lParam);
            break;
        case kReconnectMessage:
            if (rules) rules->OnReconnect();
            return 0;
        case kModelChangedMessage:
            if (rules) rules->OnModelChanged();
            return 0;
        default:
            break;
    }
    return DefDlgProcW(window, message, wParam, lParam);
}

// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND parent, HWND child) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The window's rectangle as its layout needs it: at a large display scale
// the system may have cut it to the screen when it was made.
Rect NeededWindowRect(HWND window, const DialogUnits& size) {
    RECT frame = {}, client = {}, content = {0, 0, size.width, size.height};
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    MapDialogRect(window, &content);
    return {frame.left, frame.top, frame.left + content.right + (frame.right - frame.left - client.right),
            frame.top + content.bottom + (frame.bottom - frame.top - client.bottom)};
}

// A window still taller than the work area: the log pane gives up rows
// (keeping a few), the commands below it move up, and the window is kept
// inside the work area.
void FitWorkArea(HWND window, const DialogUnits& size) {
    Rect needed = NeededWindowRect(window, size);
    RECT pane = ChildRect(window, parts->pane);
    int minPane = parts->scale.Px(LogPane::kHeaderHeight + 4 * LogPane::kRowHeight);
    MainWindowFit fit = FitMainWindow(needed, WorkAreaOf(window), pane.bottom - pane.top, minPane);
    if (fit.paneShrink > 0) {
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT rect = ChildRect(window, child);
            if (rect.top >= pane.bottom) {
                SetWindowPos(child, nullptr, rect.left, rect.top - fit.paneShrink, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            } else if (rect.top == pane.top && rect.bottom == pane.bottom) {  // the pane and its scroll bar
                SetWindowPos(child, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top - fit.paneShrink,
                             SWP_NOMOVE | SWP_NOZORDER);
            }
        }
    }
    SetWindowPos(window, nullptr, fit.window.left, fit.window.top, fit.window.Width(), fit.window.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void InitializeMainWindow(HINSTANCE instance, HWND window) {
    parts->window = window;
    parts->shell.window = window;
    parts->shell.instance = instance;
    parts->controls = std::make_unique<ControlsWin32>(window);
    parts->prompts = std::make_unique<PromptsWin32>(window);

    // Without GDI+ the window stays up with a working command table (Exit,
    // About, Help) but no scan, no log pane and no poll thread.
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&parts->gdiplusToken, &input, nullptr) != Gdiplus::Ok) parts->gdiplusToken = 0;
    parts->log = std::make_unique<EventLog>();
    parts->logPane = std::make_unique<LogPane>(*parts->log);
    RemeasurePane();
    parts->logPane->Attach(parts->controls.get(), IDC_LOG_PANE, IDC_LOG_SCROLL);
    RemeasurePane();

    parts->poll = std::make_unique<StatusPollLoop>(tester, live, *parts->log, portEvents);
    parts->discovery = std::make_unique<TesterDiscovery>(TesterDiscovery::Parts{
        *parts->controls, *parts->prompts, tester, live, *parts->log, parts->ports, SystemClock(),
        [](int notification) { portEvents.Notify(notification); }, [window] { PostMessageW(window, WM_CLOSE, 0, 0); }});
    parts->rules = std::make_unique<MainWindow>(MainWindow::Parts{*parts->controls, *parts->prompts, tester, live,
                                                                  *parts->log, *parts->logPane, *parts->discovery,
                                                                  *parts->poll, parts->shell, SystemClock()});
    if (parts->gdiplusToken) parts->rules->Initialize();
}

}  // namespace

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, L"AMPWRIGHT");
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(
        instance, L"AMPWRIGHT", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"AMPWRIGHT";
    return RegisterClassExW(&windowClass) != 0;
}

HWND CreateMainWindow(HINSTANCE instance, int showCommand) {
    static MainWindowParts mainParts;
    std::vector<uint8_t> layout = FitDialogLayout(instance, L"AMPWRIGHT", nullptr);
    std::optional<DialogUnits> size = DialogSize(layout);
    if (!size) return nullptr;
    HWND window = CreateDialogIndirectParamW(instance, TemplateOf(layout), nullptr, nullptr, 0);
    if (!window) return nullptr;
    parts = &mainParts;
    parts->pane = GetDlgItem(window, IDC_LOG_PANE);
    // The log pane keeps the display's own scale, however small the
    // controls' font had to be made.
    parts->scale = WindowScale(window);
    FitWorkArea(window, *size);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    InitializeMainWindow(instance, window);
    return window;
}
