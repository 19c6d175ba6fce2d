#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "monitor/logger.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/prompts.h"
#include "ui/row_scroll.h"

// The application's event log: one Logger plus the log pane that shows it,
// newest records at the bottom, rows coloured by category. Every subsystem
// records events through LogEvent. The pane is drawn through a Canvas; its
// scroll bar and repaints go through the main window's Controls.
class EventLog {
public:
    static constexpr int kRowHeight = 14;
    static constexpr int kHeaderHeight = 25;
    static constexpr int kPageRows = RowScroll::kPageRows;

    using ScrollRequest = RowScroll::Request;

    explicit EventLog(Logger::TimeSource now = nullptr, uint32_t capacity = Logger::kDefaultCapacity);

    // Connects the pane (control paneId, scroll bar scrollBarId) of a window.
    void AttachPane(Controls* window, int paneId, int scrollBarId);
    // How a record logged from any thread reaches the pane: `request` only
    // asks the window's thread to call RefreshPane (it must not wait for the
    // window). Without one, logging updates the pane at once, which only the
    // window's own thread may do.
    void SetRepaintRequest(std::function<void()> request);
    // Moves the scroll bar to the newest rows and repaints: window thread.
    void RefreshPane();

    void LogEvent(const std::string& text, int category);
    // Empties the log and writes the banner.
    void ClearLog();
    // Asks for a file name and writes the log as text: the records held when
    // the save starts, whatever is logged meanwhile. The chosen file is
    // replaced only once it is complete. False when the user cancelled or
    // the file could not be written (the user is told; an older file of
    // that name stays as it was).
    bool SaveLog(Prompts& prompts);

    // Pane handling for the main window.
    void Remeasure(int paneWidth, int paneHeight);
    void Scroll(ScrollRequest request, int thumbPosition = 0);
    void PaintPane(Canvas& canvas, bool full);

    const Logger& Records() const { return logger_; }
    int TopIndex() const;

private:
    void UpdateScrollRangeLocked();
    void PaneChanged();

    Logger logger_;
    mutable std::mutex viewLock_;  // guards the view state below; never held while calling the window
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
