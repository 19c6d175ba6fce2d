#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "monitor/event_log.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/prompts.h"
#include "ui/row_scroll.h"
#include "platform/mutex.h"

// The main window's view of the event log: the pane that shows the records,
// newest at the bottom and coloured by category, its scroll bar, and saving
// the log to a file the user chooses. The pane is drawn through a Canvas;
// the scroll bar and repaints go through the window's Controls. The view
// jumps to the newest record whenever the log changes.
class LogPane {
public:
    static constexpr int kRowHeight = 14;
    static constexpr int kHeaderHeight = 25;
    static constexpr int kPageRows = RowScroll::kPageRows;

    using ScrollRequest = RowScroll::Request;

    // Follows the log's changes until it is destroyed; the log outlives it.
    explicit LogPane(EventLog& log);
    ~LogPane();
    LogPane(const LogPane&) = delete;
    LogPane& operator=(const LogPane&) = delete;

    // Connects the pane (control paneId, scroll bar scrollBarId) of a window.
    void Attach(Controls* window, int paneId, int scrollBarId);
    // How a record logged from any thread reaches the pane: `request` only
    // asks the window's thread to call Refresh (it must not wait for the
    // window). Without one, logging updates the pane at once, which only the
    // window's own thread may do.
    void SetRepaintRequest(std::function<void()> request);
    // Moves the scroll bar to the view and repaints: window thread.
    void Refresh();

    void Remeasure(int paneWidth, int paneHeight);
    void Scroll(ScrollRequest request, int thumbPosition = 0);
    void Paint(Canvas& canvas, bool full);
    int TopIndex() const;

    // Asks for a file name and writes the log as text: the records held when
    // the save starts, whatever is logged meanwhile. The chosen file is
    // replaced only once it is complete. False when the user cancelled or
    // the file could not be written (the user is told; an older file of
    // that name stays as it was).
    bool SaveLog(Prompts& prompts);

private:
    void OnLogChanged();
    void UpdateScrollRangeLocked();

    EventLog& log_;
    mutable Mutex viewLock_;  // guards the view state below; never held while calling the window
    Controls* window_ = nullptr;
    std::function<void()> repaintRequest_;
    int paneId_ = 0;
    int scrollBarId_ = 0;
    RowScroll scroll_;
    int visibleRows_ = 0;
    int paneWidth_ = 0;
    int paneHeight_ = 0;
    std::string lastSaveName_ = "AmpwrightLog.txt";
};
