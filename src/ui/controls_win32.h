#pragma once

#include <windows.h>

#include "ui/controls.h"

// A dialog's controls through the Win32 control messages. Safe to use from
// worker threads: texts, items and positions go by SendMessage, repaints are
// only requested, and timers are handed to the window's own thread (its
// procedure must pass messages to HandleDeferredTimer).
class ControlsWin32 : public Controls {
public:
    static constexpr UINT kDeferredTimerMessage = WM_APP + 0x71;

    explicit ControlsWin32(HWND dialog) : dialog_(dialog) {}

    void SetText(int id, const std::string& text) override;
    std::string GetText(int id) override;
    void Enable(int id, bool enabled) override;
    void Show(int id, bool shown) override;
    void SetCheck(int id, bool checked) override;
    bool IsChecked(int id) override;
    void SetFocus(int id) override;
    void SetTextLimit(int id, int characters) override;

    void ClearItems(int id) override;
    void AddItem(int id, const std::string& text) override;
    void SelectItem(int id, int index) override;
    int SelectedItem(int id) override;
    int ItemCount(int id) override;

    void SetRange(int id, int minimum, int maximum) override;
    void SetPosition(int id, int position) override;
    int Position(int id) override;
    void SetLineSize(int id, int size) override;

    void SetScrollBar(int id, bool shown, int maximum, int page, int position) override;

    void StartTimer(int timerId, uint32_t periodMs) override;
    void StopTimer(int timerId) override;
    void Repaint(int id) override;

    // Starts or stops a timer asked for from another thread; true when the
    // message was such a request.
    static bool HandleDeferredTimer(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    bool IsListBox(int id) const;

    HWND dialog_;
};
