#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "device/tester_connection.h"
#include "monitor/live_state.h"
#include "tracer/composer.h"
#include "tracer/trace_decoder.h"
#include "tracer/trace_store.h"
#include "tracer/trace_view.h"
#include "ui/canvas.h"
#include "ui/controls.h"
#include "ui/prompts.h"

// Shown when tracing could not start again on a newly connected tester.
inline constexpr const char* kTracingStoppedText =
    "PD tracing has stopped: the selected device did not start tracing. Close the tracer and open it again to retry.";

// The echo awaited by the composer and whether a row came since the last
// quiet-timer tick: they outlive each opening of the tracer.
struct TracerSharedState {
    PendingEcho echo;
    std::atomic<bool> newRowSeen{false};
};
TracerSharedState& TracerShared();

// The PD tracer window's rules: it traces while open, keeps the rows with
// their data-object choices, scrolls and paints them in three views,
// exports them as CSV and hosts the message composer.
class TracerWindow {
public:
    struct Parts {
        Controls& window;
        Prompts& prompts;
        TesterConnection& tester;
        const LiveState& live;
        TracerSharedState& shared;
        // Asks the window thread to pick up new rows (OnRowsArrived). Called
        // on the serial communication thread: it must neither block nor
        // wait for the window.
        std::function<void()> rowsArrived;
    };

    explicit TracerWindow(Parts parts, uint32_t capacity = Logger::kDefaultCapacity);
    ~TracerWindow();

    // View selector, composer, empty store; then tracing starts.
    void Initialize();
    // Stops tracing; runs once whatever closes the window.
    void Close();
    // Starts tracing again on a tester connected since: connecting stops the
    // tester's trace. False, after telling the user, when it did not start.
    bool ResumeTracing();

    void OnCommand(int id, int notification);
    void OnScroll(RowScroll::Request request, int thumbPosition = 0);
    void OnWheel(int delta);
    void OnTimer(int timerId);
    // On the window thread, after rowsArrived: scroll bar and repaint.
    void OnRowsArrived();
    void Paint(Canvas& canvas);

    // The trace callback: one traced record, on the communication thread.
    void OnTracedMessage(const TraceRecord& record);

    TraceStore& Store() { return store_; }
    TraceViewMode Mode() const { return mode_; }

private:
    void ExportCsv();
    void ChooseDataObject(int slot);
    void SetViewMode(int selection);
    void AppendOwnRow(const std::string& row);
    bool StartTracing();
    void PublishScroll();

    Parts parts_;
    TraceStore store_;
    Composer composer_;
    TraceViewMode mode_ = TraceViewMode::Default;
    SlotLists shownLists_;
    // The row each slot's list was last painted for: a choice made in a list
    // belongs to that row, wherever new rows have moved the view since.
    std::array<std::optional<uint64_t>, TraceStore::kVisibleRows> shownRows_;
    bool listsKnown_ = false;
    bool tracing_ = false;
};

// The ids of the 16 slot lists, top to bottom; -1 for an id that is not one.
int TraceSlotOfList(int id);
int TraceListOfSlot(int slot);
