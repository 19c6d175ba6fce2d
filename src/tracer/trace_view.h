#pragma once

#include <array>
#include <string>
#include <vector>

#include "tracer/trace_store.h"
#include "ui/canvas.h"

// The tracer's three ways of showing its rows.
enum class TraceViewMode { Default = 0, ExtendedData = 1, RawMessages = 2 };

// Geometry of the grid, in client pixels.
constexpr int kTraceGridLeft = 11;
constexpr int kTraceHeaderTop = 13;
constexpr int kTraceRowsTop = 55;
constexpr int kTraceRowHeight = 21;
constexpr int kTraceListWidth = 39;  // the Default view's column of lists

// The font of the rows, which the slot lists use too.
extern const FontSpec kTraceRowFont;

const std::vector<int>& TraceColumnWidths(TraceViewMode mode);
// The cells of a row slot (0..15), left to right.
std::vector<Rect> TraceRowCells(TraceViewMode mode, int slot);
// The header cells; the Default view's last one reaches over the lists.
std::vector<Rect> TraceHeaderCells(TraceViewMode mode);

// A stored row read back field by field, as far as the fields fit: the
// view's fields are limited in length and characters, and a field that does
// not fit ends the reading (the fields after it stay empty).
struct TraceRowFields {
    int fieldsRead = 0;
    int echoFlag = 0;
    std::string type, dataRole, powerRole, revision, messageId, objectCount, data, raw;
};
TraceRowFields ParseTraceRow(const std::string& row, TraceViewMode mode);
// The raw message's header says "extended" (its fifth character, the high
// digit of the header's second byte, is 8..F).
bool IsExtendedRaw(const std::string& raw);

// What a slot's data-object list shows in the Default view.
struct SlotList {
    bool enabled = false;
    int count = 0;       // items " 1" .. " count"
    int selection = -1;  // -1 none
    bool operator==(const SlotList&) const = default;
};
using SlotLists = std::array<SlotList, TraceStore::kVisibleRows>;

// Paints the header band and the 16 row slots of a view, and says what each
// slot's list should hold.
void PaintTraceView(Canvas& canvas, const TraceStore::View& view, TraceViewMode mode, SlotLists& lists);
