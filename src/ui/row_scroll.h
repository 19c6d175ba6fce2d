#pragma once

// The scroll position of a list of rows shown a page at a time: the index of
// the top row shown and its largest value. The scroll bar pages by five rows
// and its range reaches four past the largest top.
struct RowScroll {
    static constexpr int kPageRows = 5;
    enum class Request { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom, Other };

    int top = 0;
    int maxTop = 0;

    // After rows were added or removed: a view at the end follows new rows,
    // any other stays where it is.
    void UpdateRange(int rowCount, int visibleRows);
    void Apply(Request request, int thumbPosition = 0);
    // The wheel moves one row per notch message, whatever the delta's size.
    void Wheel(int delta);

    bool BarShown() const { return maxTop > 0; }
    int BarMaximum() const { return maxTop + 4; }
};
