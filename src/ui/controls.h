#pragma once

#include <cstdint>
#include <string>

// The notification codes a control sends with its command, numbered as the
// window system numbers them, for the portable rules to compare with.
namespace ControlNotification {
constexpr int kClicked = 0;           // a button was pressed
constexpr int kSelectionChanged = 1;  // a combo box's selection moved
constexpr int kSelectionChosen = 9;   // a combo box closed on its selection: the one that acts
constexpr int kEditChanged = 0x300;   // an edit's text changed
}  // namespace ControlNotification

// A window seen as controls addressed by their numeric ids. The portable
// rules of every window talk to this; the Win32 implementation forwards to
// the dialog's controls, the test implementation records state per id.
// Texts are UTF-8.
class Controls {
public:
    virtual ~Controls() = default;

    virtual void SetText(int id, const std::string& text) = 0;
    virtual std::string GetText(int id) = 0;
    virtual void Enable(int id, bool enabled) = 0;
    virtual void Show(int id, bool shown) = 0;
    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool IsChecked(int id) = 0;
    // Moves the keyboard focus to a control, as a dialog's Tab would.
    virtual void SetFocus(int id) = 0;
    // The most characters the user can type into an edit.
    virtual void SetTextLimit(int id, int characters) = 0;

    // Combo and list boxes.
    virtual void ClearItems(int id) = 0;
    virtual void AddItem(int id, const std::string& text) = 0;
    virtual void SelectItem(int id, int index) = 0;  // -1 selects nothing
    virtual int SelectedItem(int id) = 0;            // -1 when nothing is selected
    virtual int ItemCount(int id) = 0;

    // Sliders (track bars).
    virtual void SetRange(int id, int minimum, int maximum) = 0;
    virtual void SetPosition(int id, int position) = 0;
    virtual int Position(int id) = 0;
    virtual void SetLineSize(int id, int size) = 0;

    // A scroll bar control: shown with range 0..maximum, the page size and
    // the thumb position, or hidden.
    virtual void SetScrollBar(int id, bool shown, int maximum, int page, int position) = 0;

    // Window timers and repainting.
    virtual void StartTimer(int timerId, uint32_t periodMs) = 0;
    virtual void StopTimer(int timerId) = 0;
    virtual void Repaint(int id) = 0;  // 0 repaints the whole window
};
