#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <thread>

#include "ui/controls_win32.h"

// The Win32 controls seam on real controls, including calls from a worker
// thread as the poll loop makes them.
namespace {

constexpr int kEdit = 101;
constexpr int kCombo = 102;
constexpr int kSlider = 103;
constexpr int kCheck = 104;
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
        InitCommonControls();
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = HostProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"AmpwrightControlsTest";
        RegisterClassW(&windowClass);
        host = CreateWindowW(L"AmpwrightControlsTest", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                             windowClass.hInstance, nullptr);
        // Windows need a display under Wine; without one there is nothing to test on.
        if (!host) GTEST_SKIP() << "no window could be created (no display?)";
        Child(L"EDIT", kEdit, ES_AUTOHSCROLL);
        Child(L"COMBOBOX", kCombo, CBS_DROPDOWNLIST);
        Child(TRACKBAR_CLASSW, kSlider, 0);
        Child(L"BUTTON", kCheck, BS_AUTOCHECKBOX);
        timerTicks = 0;
    }
    void TearDown() override {
        if (host) DestroyWindow(host);
    }

    void Child(const wchar_t* className, int id, DWORD style) {
        CreateWindowW(className, L"", WS_CHILD | style, 0, 0, 100, 100, host, reinterpret_cast<HMENU>(INT_PTR(id)),
                      GetModuleHandleW(nullptr), nullptr);
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

TEST_F(Win32Controls, TextsItemsSlidersAndChecksRoundTrip) {
    ControlsWin32 controls(host);
    controls.SetText(kEdit, "5.00 V \xC2\xB1 \xE2\x82\xAC");
    EXPECT_EQ(controls.GetText(kEdit), "5.00 V \xC2\xB1 \xE2\x82\xAC");

    controls.AddItem(kCombo, "PD-FIX 5.00V");
    controls.AddItem(kCombo, "PD-FIX 9.00V");
    EXPECT_EQ(controls.ItemCount(kCombo), 2);
    EXPECT_EQ(controls.SelectedItem(kCombo), -1);
    controls.SelectItem(kCombo, 1);
    EXPECT_EQ(controls.SelectedItem(kCombo), 1);
    controls.ClearItems(kCombo);
    EXPECT_EQ(controls.ItemCount(kCombo), 0);

    controls.SetRange(kSlider, 0, 3000);
    controls.SetPosition(kSlider, 5000);  // clamped by the control
    EXPECT_EQ(controls.Position(kSlider), 3000);

    controls.SetCheck(kCheck, true);
    EXPECT_TRUE(controls.IsChecked(kCheck));
    controls.Enable(kEdit, false);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(host, kEdit)));
}

TEST_F(Win32Controls, AWorkerThreadWritesTextsAndStartsTimersThroughTheWindowThread) {
    ControlsWin32 controls(host);
    bool done = false;
    std::thread worker([&] {
        controls.SetText(kEdit, "9.00 V");  // answered by the window thread's pump below
        controls.StartTimer(static_cast<int>(kTimer), 10);
        done = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return done && timerTicks > 0; }));
    worker.join();
    EXPECT_EQ(controls.GetText(kEdit), "9.00 V");

    std::thread stopper([&] { controls.StopTimer(static_cast<int>(kTimer)); });
    stopper.join();
    PumpUntil([] { return false; }, 100);  // lets the stop arrive
    int ticks = timerTicks;
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(timerTicks, ticks);
}
