#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "ui/controls_win32.h"

// The Win32 controls seam on a real edit, with calls from a worker thread as
// the poll loop makes them; the lists, sliders and check boxes are worked
// through the real windows by the end-to-end run.
namespace {

constexpr int kEdit = 101;
constexpr UINT_PTR kTimer = 3;

int timerTicks = 0;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (ControlsWin32::HandleDeferredTimer(window, message, wParam, lParam)) return 0;
    if (message == WM_TIMER && wParam == kTimer) ++timerTicks;
    return DefWindowProcW(window, message, wParam, lParam);
}

class Win32Controls : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = HostProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"AmpwrightControlsTest";
        RegisterClassW(&windowClass);
        host = CreateWindowW(L"AmpwrightControlsTest", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                             windowClass.hInstance, nullptr);
        // Windows need a display under Wine; without one there is nothing to test on.
        if (!host) GTEST_SKIP() << "no window could be created (no display?)";
        CreateWindowW(L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 100, 20, host,
                      reinterpret_cast<HMENU>(INT_PTR(kEdit)), windowClass.hInstance, nullptr);
        timerTicks = 0;
    }
    void TearDown() override {
        if (host) DestroyWindow(host);
    }

    // Runs the host's messages until the condition holds or the time is up.
    template <typename Condition>
    bool PumpUntil(Condition condition, int timeoutMs = 1000) {
        for (int i = 0; i < timeoutMs / 10 && !condition(); ++i) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            if (!condition()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return condition();
    }

    HWND host = nullptr;
};

}  // namespace

TEST_F(Win32Controls, AWorkerThreadWritesTextsAndStartsTimersThroughTheWindowThread) {
    ControlsWin32 controls(host);
    bool done = false;
    std::thread worker([&] {
        controls.SetText(kEdit, "9.00 V \xC2\xB1 \xE2\x82\xAC");  // answered by the window thread's pump below
        controls.StartTimer(static_cast<int>(kTimer), 10);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done && timerTicks > 0; }));
    worker.join();
    EXPECT_EQ(controls.GetText(kEdit), "9.00 V \xC2\xB1 \xE2\x82\xAC") << "UTF-8 both ways";

    std::thread stopper([&] { controls.StopTimer(static_cast<int>(kTimer)); });
    stopper.join();
    PumpUntil([] { return false; }, 100);  // lets the stop arrive
    int ticks = timerTicks;
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(timerTicks, ticks);
}
