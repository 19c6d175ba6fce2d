#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/logger.h"
#include "ui/row_scroll.h"
#include "platform/mutex.h"

// The tracer's rows with each row's chosen data object and the scroll
// position of the 16 visible slots, under one lock: rows arrive on the
// serial communication thread while the window thread paints, scrolls,
// clears and exports.
class TraceStore {
public:
    static constexpr int kVisibleRows = 16;

    struct VisibleRow {
        int index = 0;     // counted from the oldest row held
        uint64_t id = 0;   // the row's own number, unchanged while it is held
        std::string text;  // the row as the decoder wrote it
        int choice = 1;    // 1-based position of the data object shown
    };
    struct View {
        int rowCount = 0;
        RowScroll scroll;
        std::vector<VisibleRow> rows;  // up to kVisibleRows, from the top row
    };

    explicit TraceStore(uint32_t capacity = Logger::kDefaultCapacity);

    // Adds a row with data object 1 chosen; when the store is full the
    // oldest row leaves with its choice.
    void Append(const std::string& row);
    void Clear();
    int RowCount() const;
    // Every row held, oldest first.
    std::vector<std::string> Rows() const;
    View Visible() const;
    RowScroll Scroll() const;

    // Sets the choice of the row with this id; false when it is no longer held.
    bool Choose(uint64_t id, int choice);
    void ScrollBy(RowScroll::Request request, int thumbPosition = 0);
    void Wheel(int delta);

private:
    mutable Mutex lock_;
    Logger rows_;
    std::deque<uint8_t> choices_;
    uint64_t appended_ = 0;  // rows ever appended: the next row's id
    RowScroll scroll_;
};
