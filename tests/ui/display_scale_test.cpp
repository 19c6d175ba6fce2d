#include <gtest/gtest.h>

#include <cstdlib>

#include "graphs/line_chart.h"
#include "support/fake_window.h"
#include "tracer/trace_view.h"
#include "ui/dialog_template.h"
#include "ui/scaled_canvas.h"

namespace {

const int kDpis[] = {96, 144, 192};

TEST(DisplayScale, LayoutUnitsRoundToTheNearestPixelBothWays) {
    DpiScale scale{144};
    EXPECT_EQ(scale.Px(11), 17);  // 16.5
    EXPECT_EQ(scale.Px(-11), -17);
    EXPECT_EQ(scale.Layout(21), 14);
    EXPECT_EQ(scale.Px(Rect{0, 14, 400, 28}), (Rect{0, 21, 600, 42}));
    EXPECT_EQ((DpiScale{120}).Thickness(1), 1) << "a 1-pixel line stays visible";
    EXPECT_EQ((DpiScale{72}).Px(FontSpec{"Tahoma", 1}).heightPx, 1);
    // Painting among dialog controls follows the dialog's font.
    EXPECT_EQ(DpiScale::OfDialogFont(13).dpi, 96);
    EXPECT_EQ(DpiScale::OfDialogFont(26).dpi, 192);
    EXPECT_EQ(DpiScale::OfDialogFont(17).dpi, 126);
    EXPECT_EQ(DpiScale::OfDialogFont(0).dpi, 96) << "no font measured";
}

TEST(DisplayScale, TheTracerGridsCellsScaleTogether) {
    TraceStore store(10);
    store.Append("0,GoodCRC,UFP,Sink,2.0,3,0, ,0x4106");
    RecordingCanvas plain;
    SlotLists lists;
    PaintTraceView(plain, store.Visible(), TraceViewMode::Default, lists);
    for (int dpi : kDpis) {
        DpiScale scale{dpi};
        RecordingCanvas device;
        ScaledCanvas canvas(device, scale);
        PaintTraceView(canvas, store.Visible(), TraceViewMode::Default, lists);
        ASSERT_EQ(device.boxTexts.size(), plain.boxTexts.size()) << dpi;
        for (size_t i = 0; i < plain.boxTexts.size(); ++i) {
            EXPECT_EQ(device.boxTexts[i].box, scale.Px(plain.boxTexts[i].box)) << dpi << " " << plain.boxTexts[i].text;
            EXPECT_EQ(device.boxTexts[i].font.heightPx, scale.Px(plain.boxTexts[i].font.heightPx)) << dpi;
        }
    }
}

TEST(DisplayScale, TheChartsPlotAreaScalesWithItsText) {
    auto plotOf = [](Canvas& canvas) {
        LineChart chart;
        chart.SetTitle("Sink voltage");
        chart.SetYAxisTitle("V");
        chart.SetSeriesCount(1);
        for (int i = 0; i < 50; ++i) {
            chart.SetValue(0, i, 5.0f + static_cast<float>(i % 7));
            chart.SetCategoryLabel(i, std::to_string(i));
        }
        chart.SetValueCount(0, 50);
        chart.SetBackground({255, 255, 255}, {200, 200, 255}, true);
        chart.SetSize(640, 400);
        chart.Draw(canvas, 0, 0);
    };
    RecordingCanvas plain;
    plotOf(plain);
    ASSERT_EQ(plain.gradients.size(), 1u);
    for (int dpi : kDpis) {
        DpiScale scale{dpi};
        RecordingCanvas device;
        ScaledCanvas canvas(device, scale);
        plotOf(canvas);
        ASSERT_EQ(device.gradients.size(), 1u);
        // Text measures a little differently at each size, so the margins
        // that fit the labels may move by a pixel or two.
        Rect expected = scale.Px(plain.gradients[0].rect), got = device.gradients[0].rect;
        EXPECT_LE(std::abs(got.left - expected.left), 3) << dpi;
        EXPECT_LE(std::abs(got.top - expected.top), 3) << dpi;
        EXPECT_LE(std::abs(got.right - expected.right), 3) << dpi;
        EXPECT_LE(std::abs(got.bottom - expected.bottom), 3) << dpi;
    }
}

// An extended dialog template's header, then its menu, class and caption.
std::vector<uint8_t> DialogTemplate(uint32_t style, std::vector<uint16_t> fields) {
    std::vector<uint8_t> bytes(26, 0);
    bytes[0] = 1;
    bytes[2] = bytes[3] = 0xFF;
    for (int i = 0; i < 4; ++i)
        bytes[12 + i] = static_cast<uint8_t>(style >> (8 * i));
    for (uint16_t word : fields) {
        bytes.push_back(static_cast<uint8_t>(word));
        bytes.push_back(static_cast<uint8_t>(word >> 8));
    }
    return bytes;
}

TEST(DisplayScale, ALayoutTooWideForTheScreenGetsASmallerFont) {
    const uint32_t kSetFont = 0x40;
    // No menu, class "AB", caption "T", then 8 points.
    std::vector<uint8_t> named = DialogTemplate(kSetFont, {0, 'A', 'B', 0, 'T', 0, 8});
    EXPECT_EQ(DialogFontSizeOffset(named), std::optional<size_t>(38));
    EXPECT_EQ(DialogPointSize(named), std::optional<int>(8));
    // A menu by ordinal, a class by ordinal and an empty caption.
    EXPECT_EQ(DialogPointSize(DialogTemplate(kSetFont, {0xFFFF, 7, 0xFFFF, 0x82, 0, 9})), std::optional<int>(9));
    EXPECT_EQ(DialogPointSize(DialogTemplate(0, {0, 0, 0, 8})), std::nullopt) << "no font set";
    EXPECT_EQ(DialogPointSize(DialogTemplate(kSetFont, {0, 'A', 'B'})), std::nullopt) << "cut short";
    EXPECT_EQ(DialogPointSize(std::vector<uint8_t>(26, 0)), std::nullopt) << "not an extended template";

    EXPECT_EQ(FittingPointSize(8, 1200, 1280, 6), 8);
    EXPECT_EQ(FittingPointSize(8, 1350, 1280, 6), 7);
    EXPECT_EQ(FittingPointSize(8, 4000, 1280, 6), 6) << "never below the smallest size";
}

}  // namespace
