#include "graphs/line_chart.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "platform/format.h"

namespace {
const FontSpec kCategoryFont{"Arial", 11, 400, false, 900};
const FontSpec kAxisFont{"Arial", 12, 400, false, 0};
const FontSpec kTitleFont{"Arial", 24, 400, false, 0};
const FontSpec kXTitleFont{"Arial", 12, 400, false, 0};

const Color kGridColor{0x7F, 0x7F, 0x7F, 0x7F};
const Color kAxisColor{0x80, 0x80, 0x80};
const Color kBandColor{0x00, 0xFF, 0x00, 0x40};
constexpr uint8_t kOverlayAlpha = 0x40;

// Far enough outside any plot to be cut away, near enough for GDI.
constexpr double kPixelLimit = 1.0e6;

int ToPixel(double value) {
    return static_cast<int>(std::clamp(value, -kPixelLimit, kPixelLimit));
}

// The smallest multiple of `unit` that is at least m.
float RoundUpTo(long long m, long long unit) {
    return static_cast<float>((m + unit - 1) / unit * unit);
}
}  // namespace

LineChart::LineChart() {
    for (Series& s : series_)
        s.values.assign(kCapacity, 0.0f);
    series_[0].color = {0xFF, 0x00, 0x00};
    series_[1].color = {0x00, 0xFF, 0x00};
    series_[2].color = {0x00, 0x00, 0x00};
}

void LineChart::SetTitle(const std::string& text) {
    auto held = Hold();
    title_ = text.substr(0, kTitleLength);
}

void LineChart::SetYAxisTitle(const std::string& text) {
    auto held = Hold();
    yAxisTitle_ = text.substr(0, kTitleLength);
}

void LineChart::SetXAxisTitle(const std::string& text, int alignment) {
    auto held = Hold();
    xAxisTitle_ = text.substr(0, kTitleLength);
    xAxisAlignment_ = alignment;
}

int LineChart::SetYRange(float min, float max) {
    auto held = Hold();
    if (min > max) return 1;
    yMin_ = min;
    yMax_ = max;
    yRangeFixed_ = true;
    Recompute();
    return 0;
}

void LineChart::SetYDivisions(int n) {
    auto held = Hold();
    yDivisions_ = n;
    Recompute();
}

void LineChart::SetXDivisions(int n) {
    auto held = Hold();
    xDivisions_ = n;
    Recompute();
}

void LineChart::SetSeriesCount(int n) {
    auto held = Hold();
    seriesCount_ = std::clamp(n, 0, kSeries);
    Recompute();
}

int LineChart::SetValue(int series, int index, float value) {
    auto held = Hold();
    if (index < 0 || index >= kCapacity) return 1;
    if (series < 0 || series >= kSeries) return 2;
    series_[static_cast<size_t>(series)].values[static_cast<size_t>(index)] = value;
    // Only a range that follows the data needs the values looked at again.
    if (!yRangeFixed_) Recompute();
    return 0;
}

int LineChart::SetValueCount(int series, int n) {
    auto held = Hold();
    if (series < 0 || series >= kSeries) return 2;
    series_[static_cast<size_t>(series)].count = std::clamp(n, 0, kCapacity);
    Recompute();
    return n > kCapacity ? 1 : 0;
}

int LineChart::SetCategoryLabel(int index, const std::string& text) {
    auto held = Hold();
    if (index < 0 || index >= kCapacity) return 1;
    if (!labels_) {
        if (text.empty()) return 0;
        labels_ = std::make_unique<std::array<char, kLabelLength + 1>[]>(kCapacity);
    }
    auto& label = labels_[static_cast<size_t>(index)];
    size_t length = std::min(text.size(), static_cast<size_t>(kLabelLength));
    std::memcpy(label.data(), text.data(), length);
    label[length] = '\0';
    return 0;
}

int LineChart::SetBand(int series, float min, float max) {
    auto held = Hold();
    if (series < 0 || series >= kSeries) return 1;
    if (min > max) return 2;
    series_[static_cast<size_t>(series)].bandMin = min;
    series_[static_cast<size_t>(series)].bandMax = max;
    return 0;
}

void LineChart::SetBackground(Color color1, Color color2, bool gradient) {
    auto held = Hold();
    background1_ = color1;
    background2_ = color2;
    gradient_ = gradient;
}

void LineChart::SetHideCategoryLabels(bool hide) {
    auto held = Hold();
    hideCategoryLabels_ = hide;
}

void LineChart::SetGrid(bool on, int width) {
    auto held = Hold();
    grid_ = on;
    gridWidth_ = width;
}

void LineChart::SetSeriesColor(int series, Color color) {
    auto held = Hold();
    if (series >= 0 && series < kSeries) series_[static_cast<size_t>(series)].color = color;
}

void LineChart::SetLineWidth(int series, int width) {
    auto held = Hold();
    if (series >= 0 && series < kSeries) series_[static_cast<size_t>(series)].lineWidth = width;
}

void LineChart::SetMarker(int series, bool on) {
    auto held = Hold();
    if (series >= 0 && series < kSeries) series_[static_cast<size_t>(series)].marker = on;
}

void LineChart::SetSize(int width, int height) {
    auto held = Hold();
    width_ = width;
    height_ = height;
}

void LineChart::Recompute() {
    for (int s = 0; s < seriesCount_; ++s)
        categoryCount_ = std::max(categoryCount_, series_[static_cast<size_t>(s)].count);
    if (yRangeFixed_) return;
    categoryCount_ = 0;
    float largest = NO_DATA;
    for (int s = 0; s < seriesCount_; ++s) {
        const Series& series = series_[static_cast<size_t>(s)];
        categoryCount_ = std::max(categoryCount_, series.count);
        for (int i = 0; i < series.count; ++i)
            largest = std::max(largest, series.values[static_cast<size_t>(i)]);
    }
    yMin_ = 0;
    long long m = static_cast<long long>(largest + 1.0f);
    if (m >= 15001) {
        yMax_ = RoundUpTo(m, 10000);
    } else if (m >= 1001) {
        yMax_ = RoundUpTo(m, 1000);
    } else if (m >= 101) {
        yMax_ = RoundUpTo(m, 100);
    } else if (m >= 11) {
        yMax_ = RoundUpTo(m, 10);
    } else if (m >= 2) {
        yMax_ = static_cast<float>(m);
    } else {
        yMax_ = 1.0f;
    }
}

int LineChart::Layout::Y(float value) const {
    double range = yMax > yMin ? static_cast<double>(yMax) - yMin : 1.0;
    double span = static_cast<double>(divisions) * tickSpacing;
    return ToPixel(plot.bottom - std::trunc(span * (static_cast<double>(value) - yMin) / range));
}

int LineChart::Layout::X(int index) const {
    return ToPixel(plot.left + std::trunc(static_cast<double>(index) * pixelsPerCategory));
}

// Whole-number ranges from 0 up get 10, 5, 2 or 1 divisions; any other
// range the divisions it was given.
int LineChart::YScaleDivisions() const {
    const float range = yMax_ - yMin_;
    if (yMin_ >= 0 && range > static_cast<float>(yDivisions_)) {
        long long whole = static_cast<long long>(range);
        int divisions = 10;
        while (divisions > 1 && whole % divisions != 0)
            divisions /= 2;
        return divisions;
    }
    return std::max(yDivisions_, 1);
}

LineChart::Layout LineChart::ComputeLayout(Canvas& canvas, int x, int y) const {
    Layout layout;
    layout.yMin = yMin_;
    layout.yMax = yMax_;
    // Title and Y-axis title stack above the plot.
    int offset = 0;
    if (!title_.empty()) {
        layout.title = Text{title_, x, y};
        offset += canvas.MeasureText(title_, kTitleFont).height;
    }
    if (!yAxisTitle_.empty()) {
        layout.yAxisTitle = Text{yAxisTitle_, x, y + offset};
        offset += canvas.MeasureText(yAxisTitle_, kAxisFont).height + 5;
    }
    Rect& plot = layout.plot;
    plot.top = y + offset;

    // Whole-number labels when the range has more units than divisions.
    const float range = yMax_ - yMin_;
    const bool integerLabels = range > static_cast<float>(yDivisions_) && yMax_ >= 0;
    auto labelText = [&](double value, bool integer) {
        if (integer) return Format("%lli", static_cast<long long>(value));
        return Format(range < 1.0f ? "%0.2f" : "%0.1f", value);
    };
    if (showYLabels_) {
        std::string widest = integerLabels ? labelText(yMin_ < 0 ? yMin_ : yMax_, true) : labelText(yMax_, false);
        plot.left = x + canvas.MeasureText(widest, kAxisFont).width + 5;
    } else {
        plot.left = x + 5;
    }
    plot.right = x + width_;

    int usable = height_ - offset;
    if (!xAxisTitle_.empty()) {
        Canvas::TextSize size = canvas.MeasureText(xAxisTitle_, kXTitleFont);
        int titleX = x + (width_ - size.width) / 2;
        if (xAxisAlignment_ & kAlignRight) {
            titleX = x + width_ - size.width;
        } else if (xAxisAlignment_ & kAlignLeft) {
            titleX = x;
        }
        layout.xAxisTitle = Text{xAxisTitle_, titleX, y + height_ - size.height};
        usable = height_ - offset - size.height - 8;
    }

    // Categories: their spacing, which get a label, and the label band.
    layout.pixelsPerCategory =
        categoryCount_ > 0 ? static_cast<float>(plot.right - plot.left) / static_cast<float>(categoryCount_) : 1.0f;
    if (!(layout.pixelsPerCategory > 0)) layout.pixelsPerCategory = 1.0f;
    layout.labelStep = categoryCount_ > 15 ? std::max(1, categoryCount_ / std::max(xDivisions_, 1)) : 1;
    int bandHeight = 0;
    if (labels_) {
        std::unordered_map<std::string, int> measured;
        for (int i = 0; i < categoryCount_; ++i) {
            const char* label = labels_[static_cast<size_t>(i)].data();
            if (label[0] == '\0') continue;
            auto found = measured.find(label);
            if (found == measured.end())
                found = measured.emplace(label, canvas.MeasureText(label, kCategoryFont).width).first;
            bandHeight = std::max(bandHeight, found->second);
        }
    }
    layout.categoryLabelTop = plot.top + usable + 5;
    plot.bottom = plot.top + usable - bandHeight - 2;

    // The Y scale.
    const int divisions = layout.divisions = YScaleDivisions();
    const long long integerStep = static_cast<long long>(range / static_cast<float>(divisions));
    const double fractionStep = static_cast<double>(range) / divisions;
    layout.tickSpacing = (plot.bottom - plot.top) / divisions;
    if (showYLabels_) {
        for (int i = 0; i <= divisions; ++i) {
            std::string text = integerLabels
                                   ? Format("%d", static_cast<int>(yMin_ + static_cast<float>(i * integerStep)))
                                   : labelText(yMin_ + i * fractionStep, false);
            int textHeight = canvas.MeasureText(text, kAxisFont).height;
            layout.yLabels.push_back({text, x, plot.bottom - i * layout.tickSpacing - textHeight / 2});
        }
    }
    return layout;
}

int LineChart::Draw(Canvas& canvas, int x, int y) {
    auto held = Hold();
    layout_ = ComputeLayout(canvas, x, y);
    Paint(canvas, layout_);
    return 0;
}

void LineChart::Paint(Canvas& canvas, const Layout& layout) const {
    const Rect& plot = layout.plot;
    if (layout.title) canvas.DrawTextAt(layout.title->text, layout.title->x, layout.title->y, kTitleFont);
    if (layout.yAxisTitle) {
        canvas.DrawTextAt(layout.yAxisTitle->text, layout.yAxisTitle->x, layout.yAxisTitle->y, kAxisFont);
    }
    if (layout.xAxisTitle) {
        canvas.DrawTextAt(layout.xAxisTitle->text, layout.xAxisTitle->x, layout.xAxisTitle->y, kXTitleFont);
    }
    DrawCategoryLabels(canvas, layout);

    if (gradient_) {
        canvas.FillGradient({plot.left - 1, plot.top - 1, plot.right, plot.bottom}, background1_, background2_);
    } else if (background1_.r != 0 || background1_.g != 0 || background1_.b != 0) {
        canvas.FillRect(plot, background1_);
    }

    if (grid_) {
        Canvas::Pen dotted{kGridColor, gridWidth_, true};
        for (int i = 1; i <= layout.divisions; ++i) {
            int height = plot.bottom - i * layout.tickSpacing;
            Point line[2] = {{plot.left, height}, {plot.right, height}};
            canvas.DrawLines(line, 2, dotted);
        }
        for (int i = 0; i < categoryCount_; i += layout.labelStep) {
            Point line[2] = {{layout.X(i), plot.top}, {layout.X(i), plot.bottom}};
            canvas.DrawLines(line, 2, dotted);
        }
    }

    for (const Text& label : layout.yLabels)
        canvas.DrawTextAt(label.text, label.x, label.y, kAxisFont);

    Point axes[3] = {{plot.left, plot.top}, {plot.left, plot.bottom}, {plot.right, plot.bottom}};
    canvas.DrawLines(axes, 3, {kAxisColor, axisPenWidth_, false});

    // Bands and curves stay inside the plot, whatever their values.
    Rect cut = layout.Cut();
    canvas.SetClip(&cut);
    for (int s = 0; s < seriesCount_; ++s) {
        DrawBand(canvas, layout, series_[static_cast<size_t>(s)]);
        DrawCurve(canvas, layout, series_[static_cast<size_t>(s)]);
    }
    canvas.SetClip(nullptr);
}

void LineChart::DrawCategoryLabels(Canvas& canvas, const Layout& layout) const {
    if (!labels_ || hideCategoryLabels_) return;
    for (int i = 0; i < categoryCount_; i += layout.labelStep) {
        const char* label = labels_[static_cast<size_t>(i)].data();
        if (label[0] == '\0') continue;
        int textHeight = canvas.MeasureText(label, kCategoryFont).height;
        canvas.DrawTextAt(label, layout.X(i) - textHeight / 2, layout.categoryLabelTop, kCategoryFont);
    }
}

void LineChart::DrawBand(Canvas& canvas, const Layout& layout, const Series& series) const {
    if (!(series.bandMax > series.bandMin)) return;
    const Rect& plot = layout.plot;
    double range = layout.yMax > layout.yMin ? static_cast<double>(layout.yMax) - layout.yMin : 1.0;
    int plotHeight = plot.bottom - plot.top;
    int top = plot.bottom - ToPixel(std::trunc(plotHeight * (series.bandMax - layout.yMin) / range));
    int height = ToPixel(std::trunc(plotHeight * (static_cast<double>(series.bandMax) - series.bandMin) / range));
    int bottom = std::min(top + height, plot.bottom);
    top = std::max(top, plot.top);
    if (bottom <= top) return;
    Point box[4] = {{plot.left, top}, {plot.right, top}, {plot.right, bottom}, {plot.left, bottom}};
    canvas.FillPolygon(box, 4, kBandColor);
    Canvas::Pen edge{{series.color.r, series.color.g, series.color.b, 0x40}, 1, true};
    Point upper[2] = {box[0], box[1]};
    Point lower[2] = {box[3], box[2]};
    canvas.DrawLines(upper, 2, edge);
    canvas.DrawLines(lower, 2, edge);
}

// At most about one point per pixel column: each bucket of indices that
// shares a column is drawn as its real sample that stands out most from the
// bucket's average. A bucket without real samples is a gap in the curve.
void LineChart::DrawCurve(Canvas& canvas, const Layout& layout, const Series& series) const {
    const int count = series.count;
    if (count <= 0 || categoryCount_ <= 0) return;
    const float* values = series.values.data();
    const Canvas::Pen pen{series.color, series.lineWidth, false};
    std::vector<Point> run;
    auto flush = [&] {
        if (run.size() >= 2) canvas.DrawLines(run.data(), run.size(), pen);
        run.clear();
    };
    auto marker = [&](int index) {
        float value = values[index];
        if (!series.marker || value == NO_DATA) return;
        int px = layout.X(index), py = layout.Y(value);
        canvas.FillEllipse({px - 2, py - 2, px + 2, py + 2}, series.color);
    };

    if (values[0] != NO_DATA) run.push_back({layout.plot.left, layout.Y(values[0])});
    marker(0);
    double accumulator = 1.0;
    const double step = 1.0 / layout.pixelsPerCategory;
    int i = 1;
    while (i < count) {
        int end = static_cast<int>(accumulator);
        end = end > i ? std::min(end, count) : i + 1;
        float largest = 0, smallest = 0;
        double sum = 0;
        int real = 0;
        for (int k = i; k < end; ++k) {
            float value = values[k];
            if (value == NO_DATA) continue;
            if (real == 0) {
                largest = smallest = value;
            } else {
                largest = std::max(largest, value);
                smallest = std::min(smallest, value);
            }
            sum += value;
            ++real;
        }
        i = end;
        accumulator += step;
        if (real == 0) {
            flush();
            continue;
        }
        double average = sum / real;
        float point = (largest - average) > (average - smallest) ? largest : smallest;
        run.push_back({layout.X(end - 1), layout.Y(point)});
        marker(end - 1);
    }
    flush();
}

int LineChart::FillBox(Canvas& canvas, int x1, float value1, int x2, float value2, int unitsPerCategory, uint8_t red,
                       uint8_t green, uint8_t blue) {
    auto held = Hold();
    int units = std::max(unitsPerCategory, 1);
    int left = layout_.X(x1 / units), right = layout_.X(x2 / units);
    int top = layout_.Y(value1), bottom = layout_.Y(value2);
    Point box[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    Rect cut = layout_.Cut();
    canvas.SetClip(&cut);
    canvas.FillPolygon(box, 4, {red, green, blue, kOverlayAlpha});
    canvas.SetClip(nullptr);
    return 0;
}

int LineChart::FillPolygon(Canvas& canvas, const int* x, const float* values, int n, int unitsPerCategory, uint8_t red,
                           uint8_t green, uint8_t blue) {
    auto held = Hold();
    if (n < 1 || n > 6) return 1;
    int units = std::max(unitsPerCategory, 1);
    Point corners[6];
    for (int i = 0; i < n; ++i)
        corners[i] = {layout_.X(x[i] / units), layout_.Y(values[i])};
    Rect cut = layout_.Cut();
    canvas.SetClip(&cut);
    canvas.FillPolygon(corners, static_cast<size_t>(n), {red, green, blue, kOverlayAlpha});
    canvas.SetClip(nullptr);
    return 0;
}

float LineChart::Value(int series, int index) const {
    auto held = Hold();
    if (series < 0 || series >= kSeries || index < 0 || index >= kCapacity) return NO_DATA;
    return series_[static_cast<size_t>(series)].values[static_cast<size_t>(index)];
}

int LineChart::ValueCount(int series) const {
    auto held = Hold();
    return series >= 0 && series < kSeries ? series_[static_cast<size_t>(series)].count : 0;
}

std::string LineChart::CategoryLabel(int index) const {
    auto held = Hold();
    if (!labels_ || index < 0 || index >= kCapacity) return "";
    return labels_[static_cast<size_t>(index)].data();
}

int LineChart::CategoryCount() const {
    auto held = Hold();
    return categoryCount_;
}

int LineChart::SeriesCount() const {
    auto held = Hold();
    return seriesCount_;
}

float LineChart::YMin() const {
    auto held = Hold();
    return yMin_;
}

float LineChart::YMax() const {
    auto held = Hold();
    return yMax_;
}

int LineChart::Width() const {
    auto held = Hold();
    return width_;
}

int LineChart::Height() const {
    auto held = Hold();
    return height_;
}

int LineChart::YDivisions() const {
    auto held = Hold();
    return layout_.divisions;
}

Rect LineChart::PlotRect() const {
    auto held = Hold();
    return layout_.plot;
}

float LineChart::PixelsPerCategory() const {
    auto held = Hold();
    return layout_.pixelsPerCategory;
}
