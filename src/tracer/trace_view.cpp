#include "tracer/trace_view.h"

#include <cstdio>
#include <cstdlib>

namespace {
const Color kWhite = {255, 255, 255};
const Color kSourceBrush = {246, 234, 190};
const Color kSinkBrush = {200, 227, 212};
const Color kEchoBrush = {217, 196, 236};
const Color kHeaderBrush = {200, 200, 200};
const FontSpec kHeaderFont = {"Tahoma", 16, 700, true};

struct HeaderText {
    const char* line1;
    const char* line2;
};
template <typename T>
const T& ForMode(TraceViewMode mode, const T& defaultView, const T& extendedView, const T& rawView) {
    switch (mode) {
        case TraceViewMode::ExtendedData:
            return extendedView;
        case TraceViewMode::RawMessages:
            return rawView;
        default:
            return defaultView;
    }
}

const std::vector<HeaderText>& HeaderTexts(TraceViewMode mode) {
    static const std::vector<HeaderText> kDefault = {{"", ""},
                                                     {"", "  Message Type"},
                                                     {"  Data", "  Role"},
                                                     {"  Power", "  Role"},
                                                     {"  Spec", "  Rev"},
                                                     {"  Message", "  ID"},
                                                     {"  Number Of", "  Data Objects"},
                                                     {"  Data Object", "  At Position"}};
    static const std::vector<HeaderText> kExtended = {{"", ""},
                                                      {"  Data", "  Size"},
                                                      {"  Request", "  Chunk"},
                                                      {"  Chunk", "  Number"},
                                                      {"", "  Chunked"},
                                                      {"  Extended Data", "  (Least Significant Byte First)"}};
    static const std::vector<HeaderText> kRaw = {{"", ""}, {"", "  Message Type"}, {"", "  Raw Message Sent"}};
    return ForMode(mode, kDefault, kExtended, kRaw);
}

std::vector<Rect> CellsBetween(TraceViewMode mode, int top, int bottom) {
    std::vector<Rect> cells;
    int x = kTraceGridLeft;
    for (int width : TraceColumnWidths(mode)) {
        cells.push_back({x, top, x + width, bottom});
        x += width;
    }
    return cells;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

Color BrushOf(const TraceRowFields& fields) {
    if (fields.echoFlag == 1) return kEchoBrush;
    return fields.powerRole == "Sink" ? kSinkBrush : kSourceBrush;
}

void Cell(Canvas& canvas, const Rect& cell, Color brush, const std::string& text, TextAlign align) {
    canvas.FillRect(cell, brush, true);
    if (!text.empty()) canvas.DrawTextInBox(text, cell, kTraceRowFont, align, TextVAlign::Center);
}

void PaintDefaultRow(Canvas& canvas, const std::vector<Rect>& cells, Color brush, const TraceRowFields& f, int choice,
                     SlotList& list) {
    Cell(canvas, cells[1], brush, f.fieldsRead >= 2 ? " " + f.type : "", TextAlign::Left);
    Cell(canvas, cells[2], brush, f.fieldsRead >= 3 ? " " + f.dataRole : "", TextAlign::Left);
    Cell(canvas, cells[3], brush, f.fieldsRead >= 4 ? " " + f.powerRole : "", TextAlign::Left);
    Cell(canvas, cells[4], brush, f.revision, TextAlign::Center);
    Cell(canvas, cells[5], brush, f.messageId, TextAlign::Center);
    Cell(canvas, cells[6], brush, f.objectCount, TextAlign::Center);
    int count = std::atoi(f.objectCount.c_str());
    std::string shown;
    list = SlotList{};
    if (count <= 0) {
        shown = f.data;
    } else if (IsExtendedRaw(f.raw)) {
        shown = " Extended";
    } else {
        list = {true, count, choice - 1};
        std::string objects = " " + f.data;
        size_t at = static_cast<size_t>(11 * (choice - 1));
        if (at < objects.size()) shown = objects.substr(at, 11);
    }
    Cell(canvas, cells[7], brush, shown, TextAlign::Left);
}

void PaintExtendedRow(Canvas& canvas, const std::vector<Rect>& cells, Color brush, const TraceRowFields& f) {
    std::string size, request, number, chunked, data;
    if (IsExtendedRaw(f.raw) && f.raw.size() >= 10) {
        int digits[4];
        bool hex = true;
        for (int i = 0; i < 4; ++i) {
            digits[i] = HexValue(f.raw[6 + static_cast<size_t>(i)]);
            hex = hex && digits[i] >= 0;
        }
        if (hex) {
            // Message bytes 2 and 3, low byte first.
            int header = (digits[0] << 4 | digits[1]) | (digits[2] << 4 | digits[3]) << 8;
            size = std::to_string(header & 0x1FF);
            request = std::to_string((header >> 10) & 1);
            number = std::to_string((header >> 11) & 0xF);
            chunked = std::to_string((header >> 15) & 1);
            data = " " + f.data;
        }
    }
    Cell(canvas, cells[1], brush, size, TextAlign::Center);
    Cell(canvas, cells[2], brush, request, TextAlign::Center);
    Cell(canvas, cells[3], brush, number, TextAlign::Center);
    Cell(canvas, cells[4], brush, chunked, TextAlign::Center);
    Cell(canvas, cells[5], brush, data, TextAlign::Left);
}
}  // namespace

const FontSpec kTraceRowFont = {"Tahoma", 15, 300, false};

const std::vector<int>& TraceColumnWidths(TraceViewMode mode) {
    static const std::vector<int> kDefault = {48, 192, 66, 66, 63, 75, 108, 115};
    static const std::vector<int> kExtended = {48, 61, 77, 74, 76, 436};
    static const std::vector<int> kRaw = {48, 192, 532};
    return ForMode(mode, kDefault, kExtended, kRaw);
}

std::vector<Rect> TraceRowCells(TraceViewMode mode, int slot) {
    int top = kTraceRowsTop + kTraceRowHeight * slot;
    return CellsBetween(mode, top, top + kTraceRowHeight);
}

std::vector<Rect> TraceHeaderCells(TraceViewMode mode) {
    std::vector<Rect> cells = CellsBetween(mode, kTraceHeaderTop, kTraceRowsTop);
    if (mode == TraceViewMode::Default) cells.back().right += kTraceListWidth;
    return cells;
}

TraceRowFields ParseTraceRow(const std::string& row, TraceViewMode mode) {
    TraceRowFields f;
    char type[33] = {}, dataRole[33] = {}, powerRole[33] = {}, revision[33] = {}, messageId[11] = {},
         objectCount[11] = {}, data[91] = {}, raw[91] = {};
    int count = 0;
    if (mode == TraceViewMode::ExtendedData) {
        f.fieldsRead = std::sscanf(row.c_str(),
                                   "%d,%32[0-9a-zA-Z_ ()],%32[0-9a-zA-Z_ ],%32[0-9a-zA-Z_ ],%32[0-9a-zA-Z. ],"
                                   "%10[0-9a-zA-Z ],%d,%90[0-9a-zA-Z ],%90[0-9a-zA-Z ]",
                                   &f.echoFlag, type, dataRole, powerRole, revision, messageId, &count, data, raw);
        if (f.fieldsRead >= 7) f.objectCount = std::to_string(count);
    } else {
        f.fieldsRead = std::sscanf(row.c_str(),
                                   "%d,%32[0-9a-zA-Z_ ()],%32[0-9a-zA-Z_ ],%32[0-9a-zA-Z_ ],%32[0-9a-zA-Z. ],"
                                   "%10[0-9a-zA-Z ],%10[0-9a-zA-Z ],%90[0-9a-zA-Z ],%90[0-9a-zA-Z ]",
                                   &f.echoFlag, type, dataRole, powerRole, revision, messageId, objectCount, data, raw);
        f.objectCount = objectCount;
    }
    if (f.fieldsRead < 0) f.fieldsRead = 0;
    f.type = type, f.dataRole = dataRole, f.powerRole = powerRole, f.revision = revision;
    f.messageId = messageId, f.data = data, f.raw = raw;
    return f;
}

bool IsExtendedRaw(const std::string& raw) {
    return raw.size() >= 5 && HexValue(raw[4]) >= 8;
}

void PaintTraceView(Canvas& canvas, const TraceStore::View& view, TraceViewMode mode, SlotLists& lists) {
    const std::vector<HeaderText>& headers = HeaderTexts(mode);
    std::vector<Rect> headerCells = TraceHeaderCells(mode);
    int middle = (kTraceHeaderTop + kTraceRowsTop) / 2;
    for (size_t c = 0; c < headerCells.size(); ++c) {
        Rect cell = headerCells[c];
        canvas.FillRect(cell, kHeaderBrush, true);
        Rect upper = {cell.left, cell.top, cell.right, middle};
        Rect lower = {cell.left, middle, cell.right, cell.bottom};
        if (*headers[c].line1) {
            canvas.DrawTextInBox(headers[c].line1, upper, kHeaderFont, TextAlign::Left, TextVAlign::Bottom);
        }
        if (*headers[c].line2) {
            canvas.DrawTextInBox(headers[c].line2, lower, kHeaderFont, TextAlign::Left, TextVAlign::Center);
        }
    }

    lists.fill(SlotList{});
    for (int slot = 0; slot < TraceStore::kVisibleRows; ++slot) {
        std::vector<Rect> cells = TraceRowCells(mode, slot);
        if (static_cast<size_t>(slot) >= view.rows.size()) {
            for (const Rect& cell : cells)
                canvas.FillRect(cell, kWhite, true);
            continue;
        }
        const TraceStore::VisibleRow& row = view.rows[static_cast<size_t>(slot)];
        TraceRowFields fields = ParseTraceRow(row.text, mode);
        // The brush follows the echo flag and power role as the Default view reads them.
        Color brush =
            BrushOf(mode == TraceViewMode::Default ? fields : ParseTraceRow(row.text, TraceViewMode::Default));
        Cell(canvas, cells[0], brush, std::to_string(row.index), TextAlign::Center);
        switch (mode) {
            case TraceViewMode::Default:
                PaintDefaultRow(canvas, cells, brush, fields, row.choice, lists[static_cast<size_t>(slot)]);
                break;
            case TraceViewMode::ExtendedData:
                PaintExtendedRow(canvas, cells, brush, fields);
                break;
            case TraceViewMode::RawMessages:
                Cell(canvas, cells[1], brush, fields.fieldsRead >= 2 ? " " + fields.type : "", TextAlign::Left);
                Cell(canvas, cells[2], brush, fields.fieldsRead >= 9 ? " " + fields.raw : "", TextAlign::Left);
                break;
        }
    }
}
