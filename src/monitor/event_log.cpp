#include "monitor/event_log.h"

#include <algorithm>
#include <cstdio>

#include "monitor/data_folder.h"
#include "monitor/log_category.h"
#include "platform/atomic_file.h"
#include "platform/files.h"

namespace {
const FontSpec kTitleFont = {"Tahoma", 16, 700, true};
const FontSpec kRowFont = {"Tahoma", 14, 700, false};
const Color kHeaderGrey = {192, 192, 192};
const Color kWhite = {255, 255, 255};

// The banner every log starts with.
constexpr const char* kBanner = "Quarnel Voltiq V1.0 1002";

// A log the user asked to save and that was not saved must not pass unnoticed.
bool ReportUnsaved(Prompts& prompts, const std::string& path, const std::string& why) {
    prompts.ShowMessage("The log could not be saved to " + path + "; a file already there is untouched.\n" + why,
                        "Ampwright: Error", Prompts::kOk | Prompts::kIconError);
    return false;
}

bool WriteLogFile(std::FILE* file, const std::vector<Logger::Record>& records) {
    if (std::fprintf(file,
                     "QUARNEL Voltiq Log file\r\n===========================================\r\n"
                     "Number of records logged: %d\r\n\r\n",
                     static_cast<int>(records.size())) < 0) {
        return false;
    }
    for (const Logger::Record& record : records) {
        std::string when = FormatCtime(LocalTime(record.time));
        std::string name(CategoryName(record.category));
        if (std::fprintf(file, "%s: %s- %s\r\n", when.c_str(), name.c_str(), record.text.c_str()) < 0) return false;
    }
    return true;
}
}  // namespace

EventLog::EventLog(Logger::TimeSource now, uint32_t capacity) : logger_(capacity, now) {}

void EventLog::AttachPane(Controls* window, int paneId, int scrollBarId) {
    std::lock_guard<std::mutex> held(viewLock_);
    window_ = window;
    paneId_ = paneId;
    scrollBarId_ = scrollBarId;
}

void EventLog::SetRepaintRequest(std::function<void()> request) {
    std::lock_guard<std::mutex> held(viewLock_);
    repaintRequest_ = std::move(request);
}

void EventLog::LogEvent(const std::string& text, int category) {
    logger_.AddRecord(text, category);
    {
        std::lock_guard<std::mutex> held(viewLock_);
        UpdateScrollRangeLocked();
        scroll_.top = scroll_.maxTop;  // the view always jumps to the newest record
    }
    PaneChanged();
}

// A change of the records: the pane learns of it on its window's thread.
void EventLog::PaneChanged() {
    std::function<void()> request;
    {
        std::lock_guard<std::mutex> held(viewLock_);
        request = repaintRequest_;
    }
    if (request) {
        request();
    } else {
        RefreshPane();
    }
}


void EventLog::ClearLog() {
    logger_.Clear();
    {
        std::lock_guard<std::mutex> held(viewLock_);
        scroll_.top = 0;
        UpdateScrollRangeLocked();
    }
    PaneChanged();
    LogEvent(kBanner, kLogInformation);
}

void EventLog::UpdateScrollRangeLocked() {
    scroll_.UpdateRange(logger_.RecordCount(), visibleRows_);
}

// Moves the scroll bar to the view and repaints the rows. Called without the
// view lock, on the window's thread.
void EventLog::RefreshPane() {
    Controls* window;
    int paneId, scrollBarId, maxTop, topIndex;
    {
        std::lock_guard<std::mutex> held(viewLock_);
        window = window_, paneId = paneId_, scrollBarId = scrollBarId_, maxTop = scroll_.maxTop, topIndex = scroll_.top;
    }
    if (window == nullptr) return;
    window->SetScrollBar(scrollBarId, maxTop > 0, maxTop + 4, kPageRows, topIndex);
    window->Repaint(paneId);
}

void EventLog::Remeasure(int paneWidth, int paneHeight) {
    {
        std::lock_guard<std::mutex> held(viewLock_);
        paneWidth_ = paneWidth;
        paneHeight_ = paneHeight;
        visibleRows_ = std::max(0, (paneHeight - (kHeaderHeight - 1)) / kRowHeight);
        UpdateScrollRangeLocked();
    }
    RefreshPane();
}

void EventLog::Scroll(ScrollRequest request, int thumbPosition) {
    {
        std::lock_guard<std::mutex> held(viewLock_);
        scroll_.Apply(request, thumbPosition);
    }
    RefreshPane();
}

void EventLog::PaintPane(Canvas& canvas, bool full) {
    int width, height, top, rows;
    {
        std::lock_guard<std::mutex> held(viewLock_);
        width = paneWidth_, height = paneHeight_, top = scroll_.top, rows = visibleRows_;
    }
    Rect pane = {0, 0, width, height};
    if (full) {
        canvas.FillRect({0, 1, width, kHeaderHeight}, kHeaderGrey, true);
        canvas.DrawText("Log Window", 5, 4, kTitleFont, pane);
    }
    int y = kHeaderHeight;
    int shown = std::min(rows, logger_.RecordCount());
    for (int i = 0; i < shown; ++i) {
        std::optional<Logger::Record> record = logger_.GetRecord(top + i);
        if (!record) continue;
        canvas.FillRect({0, y, width, y + kRowHeight}, CategoryColor(record->category), true);
        canvas.DrawText(record->text, 5, y, kRowFont, pane);
        y += kRowHeight;
    }
    if (y < height) canvas.FillRect({0, y, width, height}, kWhite);
}

bool EventLog::SaveLog(Prompts& prompts) {
    std::string fallbackNote;
    std::string folder = GetDataFolder(&fallbackNote);
    if (!fallbackNote.empty()) LogEvent(fallbackNote, kLogMinorError);
    Prompts::SaveFileRequest request;
    request.title = "Select a log file name";
    request.filterName = "TXT Files (*.TXT)";
    request.filterPattern = "*.txt";
    request.defaultExtension = "txt";
    request.initialPath = folder + PathSeparator() + lastSaveName_;
    std::optional<std::string> chosen = prompts.AskSaveFile(request);
    if (!chosen) return false;
    lastSaveName_ = FileNamePart(*chosen);

    // One consistent run of records: taken at once, so a full ring that
    // keeps turning while the file is written neither skips nor repeats any.
    std::vector<Logger::Record> records = logger_.Snapshot();
    std::string error;
    if (!SaveFileAtomically(
            *chosen, [&records](std::FILE* file) { return WriteLogFile(file, records); }, &error)) {
        return ReportUnsaved(prompts, *chosen, error);
    }
    return true;
}

int EventLog::TopIndex() const {
    std::lock_guard<std::mutex> held(viewLock_);
    return scroll_.top;
}

