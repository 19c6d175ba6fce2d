// The main window's readouts under Win32 (run it under Wine): the status
// poll loop measures back to back (as while a graph runs) against the
// in-process simulator while this thread keeps a window with the readout
// controls open. Prints the poll rate and the time from a measurement to
// its readout being written into the window, median and 99th percentile.
//
//   bench-readouts.exe [posted|direct] [SECONDS]
//
// posted: the program's way; the poll thread publishes, one coalesced
//         posted message wakes the window thread, which shows the changes.
// direct: the way it was before; the poll thread writes the sink readouts
//         into the window itself after every measurement, each a
//         cross-thread SendMessage.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <atomic>
#include <cwchar>
#include <mutex>
#include <thread>

#include "app/readouts_presenter.h"
#include "monitor/status_poll_loop.h"
#include "platform/coalesced_wake.h"
#include "platform/format.h"
#include "simulator.h"
#include "simulator_link.h"
#include "ui/controls_win32.h"
// The Win32 headers name a cursor IDC_HELP; here it is the Help button.
#undef IDC_HELP
#include "ui/main_window_ids.h"
#include "figures.h"

namespace {
constexpr UINT kModelChanged = WM_APP + 1;
constexpr UINT_PTR kEndTimer = 1;

// When each measurement was published, by sequence number.
struct PublishTimes {
    std::mutex lock;
    std::array<Steady::time_point, 4096> at{};
    void Note(uint64_t sequence) {
        std::lock_guard<std::mutex> held(lock);
        at[sequence % at.size()] = Steady::now();
    }
    double MsSincePublished(uint64_t sequence) {
        std::lock_guard<std::mutex> held(lock);
        return MsSince(at[sequence % at.size()]);
    }
};

struct Bench {
    LiveState live;
    ReadoutsPresenter* presenter = nullptr;
    CoalescedWake* wake = nullptr;
    PublishTimes published;
    std::mutex latencyLock;
    std::vector<double> latencies;

    // After the readouts were written: how old the shown measurement is.
    void NoteShown(uint64_t sequence) {
        double ms = published.MsSincePublished(sequence);
        std::lock_guard<std::mutex> held(latencyLock);
        latencies.push_back(ms);
    }
};
Bench* bench = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (ControlsWin32::HandleDeferredTimer(window, message, wParam, lParam)) return 0;
    switch (message) {
        case kModelChanged:
            bench->wake->Taken();
            bench->presenter->Apply();
            if (std::optional<Measurement> shown = bench->live.CurrentReadouts().sinkReadings.value)
                bench->NoteShown(shown->sequence);
            return 0;
        case WM_TIMER:
            if (wParam == kEndTimer) PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// A window with the main window's readout controls at their ids.
HWND CreateReadoutsWindow(HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"ReadoutsBench";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(L"ReadoutsBench", L"Readouts bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480,
                                nullptr, nullptr, instance, nullptr);
    const int statics[] = {IDC_SINK_PROFILE_TYPE,
                           IDC_SINK_RATED_CURRENT,
                           IDC_SINK_VBUS,
                           IDC_SINK_CURRENT,
                           IDC_SINK_POWER,
                           IDC_TEMPERATURE,
                           IDC_SINK_CAPACITY,
                           IDC_CURRENT_SLIDER_MAX,
                           IDC_SOURCE_PROFILE_TYPE,
                           IDC_SOURCE_RATED_CURRENT,
                           IDC_SOURCE_REQUESTED_CURRENT,
                           IDC_SOURCE_VBUS,
                           IDC_SOURCE_CURRENT,
                           IDC_TOTAL_CURRENT,
                           IDC_SOURCE_POWER,
                           IDC_SOURCE_CAPACITY};
    int y = 0;
    for (int id : statics) {
        CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, y, 200, 20, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        y += 22;
    }
    for (int id : {IDC_CURRENT_EDIT, IDC_VOLTAGE_EDIT}) {
        CreateWindowW(L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 250, y = (y + 30) % 400, 100, 20, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    }
    for (int id : {IDC_CURRENT_SLIDER, IDC_VOLTAGE_SLIDER}) {
        CreateWindowW(TRACKBAR_CLASSW, L"", WS_CHILD | WS_VISIBLE, 250, y = (y + 30) % 400, 200, 30, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    }
    for (int id : {IDC_SELECT_PROFILE, IDC_SELECT_SOURCE_TYPE}) {
        CreateWindowW(L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 400, y = (y + 30) % 400, 200, 200,
                      window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    }
    return window;
}

// What the poll thread used to write after every sink measurement.
void WriteSinkReadouts(Controls& window, const Measurement& m) {
    window.SetText(IDC_SINK_VBUS, Format("%.2f V", m.SinkVolts()));
    window.SetText(IDC_SINK_CURRENT, Format("%d mA", m.sinkCurrentMa));
    window.SetText(IDC_SINK_POWER, Format("%.2f W", m.SinkPowerW()));
    window.SetText(IDC_TEMPERATURE, Format("%d C", m.temperatureC));
    window.SetText(IDC_SINK_CAPACITY, "0\r\n0");
}

// Dispatches this thread's messages until `done`, looking every `ms`.
template <typename Done>
void PumpUntil(Done done, DWORD ms) {
    for (MSG message; !done(); Sleep(ms)) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool posted = argc < 2 || std::wcscmp(argv[1], L"direct") != 0;
    int seconds = argc > 2 ? _wtoi(argv[2]) : 5;
    INITCOMMONCONTROLSEX common = {sizeof common, ICC_BAR_CLASSES};
    InitCommonControlsEx(&common);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND window = CreateReadoutsWindow(instance);
    ControlsWin32 controls(window);

    Bench state;
    bench = &state;
    ReadoutsPresenter presenter(state.live, controls);
    CoalescedWake wake([window] { PostMessageW(window, kModelChanged, 0, 0); });
    state.presenter = &presenter;
    state.wake = &wake;

    Simulator simulator;
    SimulatorLink link(simulator);
    TesterConnection tester(link.Factory());
    PortEvents events;
    EventLog log;
    if (!simulator.Plug("pd65") || !tester.Connect("SIM", [&events](int n) { events.Notify(n); })) {
        std::fprintf(stderr, "the simulated tester did not answer\n");
        return 1;
    }
    state.live.connected = true;
    ++state.live.connectionCount;
    state.live.SetReadoutsListener([&state, &wake, &controls, posted] {
        state.published.Note(state.live.MeasurementSequence());
        if (posted) {
            wake.Wake();
            return;
        }
        Measurement m = state.live.LatestMeasurement();
        WriteSinkReadouts(controls, m);
        state.NoteShown(m.sequence);
    });
    StatusPollLoop loop(tester, state.live, log, events);
    loop.Start();
    // Attached and its capabilities read; then measure back to back.
    int waits = 0;
    PumpUntil([&] { return state.live.sinkActive || ++waits > 100; }, 50);
    state.live.testIdle = false;
    {
        std::lock_guard<std::mutex> held(state.latencyLock);
        state.latencies.clear();
    }
    uint64_t first = state.live.MeasurementSequence();
    Steady::time_point start = Steady::now();
    SetTimer(window, kEndTimer, static_cast<UINT>(seconds * 1000), nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    double elapsedS = SecondsSince(start);
    uint64_t measured = state.live.MeasurementSequence() - first;
    // The direct mode's poll thread may be waiting on a call into this
    // window: keep answering until it has stopped.
    std::atomic<bool> stopped{false};
    std::thread stopper([&loop, &stopped] {
        loop.Stop();
        stopped = true;
    });
    PumpUntil([&stopped] { return stopped.load(); }, 1);
    stopper.join();
    state.live.SetReadoutsListener(nullptr);
    tester.Close();

    std::printf("%s: %.0f measurements/s with the window open\n", posted ? "posted" : "direct", measured / elapsedS);
    PrintSpread("measurement to readout", state.latencies);
    return 0;
}
