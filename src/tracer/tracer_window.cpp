#include "tracer/tracer_window.h"

#include <array>

#include "platform/format.h"
#include "tracer/trace_csv.h"
#include "ui/save_csv_as.h"
#include "ui/tracer_ids.h"

namespace {
constexpr std::array<int, TraceStore::kVisibleRows> kSlotLists = {
    IDC_TRACER_SLOT_LIST_0,  IDC_TRACER_SLOT_LIST_1,  IDC_TRACER_SLOT_LIST_2,  IDC_TRACER_SLOT_LIST_3,
    IDC_TRACER_SLOT_LIST_4,  IDC_TRACER_SLOT_LIST_5,  IDC_TRACER_SLOT_LIST_6,  IDC_TRACER_SLOT_LIST_7,
    IDC_TRACER_SLOT_LIST_8,  IDC_TRACER_SLOT_LIST_9,  IDC_TRACER_SLOT_LIST_10, IDC_TRACER_SLOT_LIST_11,
    IDC_TRACER_SLOT_LIST_12, IDC_TRACER_SLOT_LIST_13, IDC_TRACER_SLOT_LIST_14, IDC_TRACER_SLOT_LIST_15};
constexpr const char* kViewNames[] = {"Default", "Extended Data", "Raw Messages"};
}  // namespace

TracerSharedState& TracerShared() {
    static TracerSharedState shared;
    return shared;
}

int TraceSlotOfList(int id) {
    for (size_t slot = 0; slot < kSlotLists.size(); ++slot) {
        if (kSlotLists[slot] == id) return static_cast<int>(slot);
    }
    return -1;
}

int TraceListOfSlot(int slot) {
    return kSlotLists[static_cast<size_t>(slot)];
}

TracerWindow::TracerWindow(Parts parts, uint32_t capacity)
    : parts_(std::move(parts)),
      store_(capacity),
      composer_(
          Composer::Parts{parts_.window, parts_.prompts, parts_.shared.echo, parts_.shared.newRowSeen, parts_.live,
                          [this](std::span<const uint8_t> message) { return parts_.tester.SendPdMessage(message); },
                          [this](const std::string& row) { AppendOwnRow(row); }}) {}

TracerWindow::~TracerWindow() {
    Close();
}

void TracerWindow::Initialize() {
    Controls& window = parts_.window;
    mode_ = TraceViewMode::Default;
    window.SetScrollBar(IDC_TRACER_SCROLL, false, 0, RowScroll::kPageRows, 0);
    window.ClearItems(IDC_TRACER_VIEW_MODE);
    for (const char* name : kViewNames)
        window.AddItem(IDC_TRACER_VIEW_MODE, name);
    window.SelectItem(IDC_TRACER_VIEW_MODE, 0);
    for (int id : kSlotLists) {
        window.ClearItems(id);
        window.Enable(id, false);
        window.Show(id, true);
    }
    composer_.Initialize();
    store_.Clear();
    tracing_ = true;
    StartTracing();
}

bool TracerWindow::StartTracing() {
    return parts_.tester.StartTrace([this](const TraceRecord& record) { OnTracedMessage(record); });
}

bool TracerWindow::ResumeTracing() {
    if (!tracing_) return false;
    if (StartTracing()) return true;
    parts_.prompts.ShowMessage(kTracingStoppedText, "Ampwright: Error", Prompts::kOk | Prompts::kIconError);
    return false;
}

void TracerWindow::Close() {
    if (!tracing_) return;
    tracing_ = false;
    parts_.window.StopTimer(IDT_TRACER_QUIET);
    // Waits for a trace callback that is running; none runs afterwards.
    parts_.tester.StopTrace();
}

void TracerWindow::OnTracedMessage(const TraceRecord& record) {
    std::optional<std::string> row = DecodeTracedMessage(record, parts_.shared.echo);
    if (!row) return;
    parts_.shared.newRowSeen.store(true);
    store_.Append(*row);
    parts_.rowsArrived();
}

void TracerWindow::AppendOwnRow(const std::string& row) {
    store_.Append(row);
    PublishScroll();
}

void TracerWindow::PublishScroll() {
    RowScroll scroll = store_.Scroll();
    parts_.window.SetScrollBar(IDC_TRACER_SCROLL, scroll.BarShown(), scroll.BarMaximum(), RowScroll::kPageRows,
                               scroll.top);
    parts_.window.Repaint(0);
}

void TracerWindow::OnRowsArrived() {
    PublishScroll();
}

void TracerWindow::OnCommand(int id, int notification) {
    (void)notification;
    switch (id) {
        case IDC_TRACER_EXPORT_CSV:
            ExportCsv();
            return;
        case IDC_TRACER_VIEW_MODE:
            SetViewMode(parts_.window.SelectedItem(IDC_TRACER_VIEW_MODE));
            return;
        case IDC_TRACER_CLEAR_LOG:
            store_.Clear();
            PublishScroll();
            return;
        case IDC_COMPOSER_TYPE:
            composer_.OnTypeChange();
            return;
        case IDC_COMPOSER_SEND:
            composer_.OnSend();
            return;
        default:
            break;
    }
    if (int slot = TraceSlotOfList(id); slot >= 0) ChooseDataObject(slot);
}

void TracerWindow::ChooseDataObject(int slot) {
    size_t at = static_cast<size_t>(slot);
    int selection = parts_.window.SelectedItem(kSlotLists[at]);
    if (!listsKnown_ || !shownRows_[at] || selection < 0 || selection >= shownLists_[at].count) return;
    if (!store_.Choose(*shownRows_[at], selection + 1)) return;
    parts_.window.Repaint(0);
}

void TracerWindow::SetViewMode(int selection) {
    mode_ = selection == 1   ? TraceViewMode::ExtendedData
            : selection == 2 ? TraceViewMode::RawMessages
                             : TraceViewMode::Default;
    for (int id : kSlotLists)
        parts_.window.Show(id, mode_ == TraceViewMode::Default);
    parts_.window.Repaint(0);
}

void TracerWindow::OnScroll(RowScroll::Request request, int thumbPosition) {
    store_.ScrollBy(request, thumbPosition);
    PublishScroll();
}

void TracerWindow::OnWheel(int delta) {
    store_.Wheel(delta);
    PublishScroll();
}

void TracerWindow::OnTimer(int timerId) {
    if (timerId == IDT_TRACER_QUIET) composer_.OnQuietTimer();
}

void TracerWindow::Paint(Canvas& canvas) {
    TraceStore::View view = store_.Visible();
    SlotLists lists;
    PaintTraceView(canvas, view, mode_, lists);
    if (mode_ != TraceViewMode::Default) return;
    // Lists are refilled only when what they show changes, so an open
    // drop-down is not reset by every repaint.
    Controls& window = parts_.window;
    for (size_t slot = 0; slot < lists.size(); ++slot) {
        if (listsKnown_ && lists[slot] == shownLists_[slot]) continue;
        int id = kSlotLists[slot];
        window.ClearItems(id);
        for (int item = 1; item <= lists[slot].count; ++item)
            window.AddItem(id, Format(" %d", item));
        window.SelectItem(id, lists[slot].selection);
        window.Enable(id, lists[slot].enabled);
    }
    shownLists_ = lists;
    for (size_t slot = 0; slot < shownRows_.size(); ++slot) {
        shownRows_[slot] = slot < view.rows.size() ? std::optional<uint64_t>(view.rows[slot].id) : std::nullopt;
    }
    listsKnown_ = true;
}

void TracerWindow::ExportCsv() {
    SaveCsvAs(
        parts_.prompts, [this] { return TraceCsvText(store_.Rows()); }, "Ampwright: Error");
}
