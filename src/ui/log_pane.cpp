#include "ui/log_pane.h"

#include <algorithm>

#include "monitor/data_folder.h"
#include "monitor/log_category.h"
#include "platform/atomic_file.h"
#include "platform/files.h"

namespace {

const FontSpec kTitleFont = {"Tahoma", 16, 700, true};
const FontSpec kRowFont = {"Tahoma", 14, 700, false};
const Color kHeaderGrey = {192, 192, 192};
const Color kWhite = {255, 255, 255};

// A log the user asked to save and that was not saved must not pass unnoticed.
bool ReportUnsaved(Prompts& prompts, const std::string& path, const std::string& why) {
    prompts.ShowMessage("The log could not be saved to " + path + "; a file already there is untouched.\n" + why,
                        "Ampwright: Error", Prompts::kOk | Prompts::kIconError);
    return false;
}

}  // namespace

LogPane::LogPane(EventLog& log) : log_(log) {
    log_.SetChangeListener([this] { OnLogChanged(); });
}

LogPane::~LogPane() {
    log_.SetChangeListener(nullptr);
}

void LogPane::Attach(Controls* window, int paneId, int scrollBarId) {
    std::lock_guard<std::mutex> held(viewLock_);
    window_ = window;
    paneId_ = paneId;
    scrollBarId_ = scrollBarId;
}

void LogPane::SetRepaintRequest(std::function<void()> request) {
    std::lock_guard<std::mutex> held(viewLock_);
    repaintRequest_ = std::move(request);
}

// A change of the records, on the thread that made it: the view jumps to the
// newest record, and the pane learns of it on its window's thread.
void LogPane::OnLogChanged() {
    std::function<void()> request;
    {
        std::lock_guard<std::mutex> held(viewLock_);
        UpdateScrollRangeLocked();
        scroll_.top = scroll_.maxTop;
        request = repaintRequest_;
    }
    if (request) {
        request();
    } else {
        Refresh();
    }
}

void LogPane::UpdateScrollRangeLocked() {
    scroll_.UpdateRange(log_.Records().RecordCount(), visibleRows_);
}

// Called without the view lock, on the window's thread.
void LogPane::Refresh() {
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

void LogPane::Remeasure(int paneWidth, int paneHeight) {
    {
        std::lock_guard<std::mutex> held(viewLock_);
        paneWidth_ = paneWidth;
        paneHeight_ = paneHeight;
        visibleRows_ = std::max(0, (paneHeight - (kHeaderHeight - 1)) / kRowHeight);
        UpdateScrollRangeLocked();
    }
    Refresh();
}

void LogPane::Scroll(ScrollRequest request, int thumbPosition) {
    {
        std::lock_guard<std::mutex> held(viewLock_);
        scroll_.Apply(request, thumbPosition);
    }
    Refresh();
}

void LogPane::Paint(Canvas& canvas, bool full) {
    int width, height, top, rows;
    {
        std::lock_guard<std::mutex> held(viewLock_);
        width = paneWidth_, height = paneHeight_, top = scroll_.top, rows = visibleRows_;
    }
    const Logger& records = log_.Records();
    Rect pane = {0, 0, width, height};
    if (full) {
        canvas.FillRect({0, 1, width, kHeaderHeight}, kHeaderGrey, true);
        canvas.DrawText("Log Window", 5, 4, kTitleFont, pane);
    }
    int y = kHeaderHeight;
    int shown = std::min(rows, records.RecordCount());
    for (int i = 0; i < shown; ++i) {
        std::optional<Logger::Record> record = records.GetRecord(top + i);
        if (!record) continue;
        canvas.FillRect({0, y, width, y + kRowHeight}, CategoryColor(record->category), true);
        canvas.DrawText(record->text, 5, y, kRowFont, pane);
        y += kRowHeight;
    }
    if (y < height) canvas.FillRect({0, y, width, height}, kWhite);
}

int LogPane::TopIndex() const {
    std::lock_guard<std::mutex> held(viewLock_);
    return scroll_.top;
}

bool LogPane::SaveLog(Prompts& prompts) {
    std::string fallbackNote;
    std::string folder = GetDataFolder(&fallbackNote);
    if (!fallbackNote.empty()) log_.LogEvent(fallbackNote, kLogMinorError);
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
    std::vector<Logger::Record> records = log_.Records().Snapshot();
    std::string error;
    if (!SaveFileAtomically(
            *chosen, [&records](std::FILE* file) { return WriteLogFile(file, records); }, &error)) {
        return ReportUnsaved(prompts, *chosen, error);
    }
    return true;
}
