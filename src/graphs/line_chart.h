#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "graphs/no_data.h"
#include "platform/recursive_mutex.h"
#include "ui/canvas.h"

// A chart of up to three float series over one shared row of categories (one
// category per sample index): title, axis titles, Y labels, category labels
// running upward, a dotted grid, axes, a translucent band per series, and
// translucent boxes and polygons that a test lays over the plot.
//
// Threads: a runner writes the series while the window thread paints. Every
// operation takes the chart's lock for itself; a writer that changes several
// entries which belong together holds Hold() around them, and the painter
// holds it around Draw and its overlays, so a paint never shows a torn update.
class LineChart {
public:
    static constexpr int kCapacity = 360000;
    static constexpr int kSeries = 3;
    static constexpr int kLabelLength = 10;
    static constexpr int kTitleLength = 127;
    // X-axis title alignment flags; neither centres it.
    static constexpr int kAlignLeft = 1;
    static constexpr int kAlignRight = 2;

    LineChart();

    std::unique_lock<RecursiveMutex> Hold() const { return std::unique_lock<RecursiveMutex>(lock_); }

    void SetTitle(const std::string& text);
    void SetYAxisTitle(const std::string& text);
    void SetXAxisTitle(const std::string& text, int alignment);
    // 1 and nothing changed when min > max; else 0, and the range stays fixed.
    int SetYRange(float min, float max);
    void SetYDivisions(int n);
    void SetXDivisions(int n);
    void SetSeriesCount(int n);  // at most 3
    // 1 when the index is out of range, 2 when the series is; else 0.
    int SetValue(int series, int index, float value);
    // 2 for a bad series; else stores min(n, capacity), 1 when n was above it.
    int SetValueCount(int series, int n);
    int SetCategoryLabel(int index, const std::string& text);  // 1 for a bad index
    int SetBand(int series, float min, float max);             // 1 bad series, 2 min > max
    void SetBackground(Color color1, Color color2, bool gradient);

    // What the owner sets directly.
    void SetHideCategoryLabels(bool hide);
    void SetGrid(bool on, int width);
    void SetSeriesColor(int series, Color color);
    void SetLineWidth(int series, int width);
    void SetMarker(int series, bool on);
    void SetSize(int width, int height);

    // Paints the chart with its top-left corner at (x, y); 0.
    int Draw(Canvas& canvas, int x, int y);
    // Translucent shapes over the plot of the last Draw; x in the caller's
    // unit, of which `unitsPerCategory` make one category.
    int FillBox(Canvas& canvas, int x1, float value1, int x2, float value2, int unitsPerCategory, uint8_t red,
                uint8_t green, uint8_t blue);
    // At most 6 vertices; 1 and nothing drawn otherwise.
    int FillPolygon(Canvas& canvas, const int* x, const float* values, int n, int unitsPerCategory, uint8_t red,
                    uint8_t green, uint8_t blue);

    // Reading back.
    float Value(int series, int index) const;
    int ValueCount(int series) const;
    std::string CategoryLabel(int index) const;
    int CategoryCount() const;
    int SeriesCount() const;
    float YMin() const;
    float YMax() const;
    int Width() const;
    int Height() const;
    // Of the last Draw.
    int YDivisions() const;
    Rect PlotRect() const;
    float PixelsPerCategory() const;

private:
    struct Series {
        std::vector<float> values;
        int count = 0;
        float bandMin = 0, bandMax = 0;
        bool marker = false;
        int lineWidth = 1;
        Color color;
    };

    struct Text {
        std::string text;
        int x = 0, y = 0;
    };
    // Where one Draw puts everything, worked out from the chart and the sizes
    // of its texts before anything is painted; kept for the overlays.
    struct Layout {
        std::optional<Text> title, yAxisTitle, xAxisTitle;
        Rect plot;
        float yMin = 0, yMax = 1;
        int divisions = 12;  // of the Y scale, each tickSpacing high
        int tickSpacing = 0;
        std::vector<Text> yLabels;
        float pixelsPerCategory = 20;
        int labelStep = 1;  // every how many categories a label and a grid line
        int categoryLabelTop = 0;

        int X(int index) const;
        int Y(float value) const;
        Rect Cut() const { return {plot.left, plot.top, plot.right + 1, plot.bottom + 1}; }
    };

    void Recompute();
    // Measures with the canvas; draws nothing.
    Layout ComputeLayout(Canvas& canvas, int x, int y) const;
    int YScaleDivisions() const;
    void Paint(Canvas& canvas, const Layout& layout) const;
    void DrawBand(Canvas& canvas, const Layout& layout, const Series& series) const;
    void DrawCurve(Canvas& canvas, const Layout& layout, const Series& series) const;
    void DrawCategoryLabels(Canvas& canvas, const Layout& layout) const;

    mutable RecursiveMutex lock_;

    bool hideCategoryLabels_ = false;
    int yDivisions_ = 12;
    int xDivisions_ = 10;
    float yMax_ = 1.0f, yMin_ = 0.0f;
    bool yRangeFixed_ = false;
    int categoryCount_ = 0;
    int seriesCount_ = 0;
    std::array<Series, kSeries> series_;
    // Labels of kLabelLength characters at most, allocated on first use.
    std::unique_ptr<std::array<char, kLabelLength + 1>[]> labels_;
    std::string title_, yAxisTitle_, xAxisTitle_;
    int xAxisAlignment_ = 0;
    int width_ = 400, height_ = 350;
    Layout layout_;  // of the last Draw
    Color background1_{0xC8, 0xC8, 0xC8}, background2_{0xFF, 0xFF, 0xFF};
    bool gradient_ = false;
    int axisPenWidth_ = 2;
    bool grid_ = false;
    int gridWidth_ = 1;
    bool showYLabels_ = true;
};
