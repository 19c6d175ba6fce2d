#include <gtest/gtest.h>

#include "support/fake_window.h"
#include "tracer/trace_view.h"

namespace {
const char* kSourceCaps = "0,Source_Capabilities,DFP,Source,3.0,0,3,0x0A01912C 0x0002D12C 0x0003C0C8,0xA131";
const char* kGoodCrc = "0,GoodCRC,UFP,Sink,2.0,3,0, ,0x4106";
const char* kExtendedStatus = "1,Status,UFP,Sink,3.0,0,2,0x001122334455,0x82A01AC8001122334455";

// The texts drawn inside one row slot, left to right.
std::vector<std::string> SlotTexts(const RecordingCanvas& canvas, int slot) {
    int top = kTraceRowsTop + kTraceRowHeight * slot;
    std::vector<std::string> texts;
    for (const auto& t : canvas.boxTexts) {
        if (t.box.top == top) texts.push_back(t.text);
    }
    return texts;
}

Color SlotFill(const RecordingCanvas& canvas, int slot) {
    int top = kTraceRowsTop + kTraceRowHeight * slot;
    for (const auto& f : canvas.fills) {
        if (f.rect.top == top) return f.color;
    }
    return {};
}

struct Painted {
    RecordingCanvas canvas;
    SlotLists lists;
};
Painted Paint(const TraceStore& store, TraceViewMode mode) {
    Painted p;
    PaintTraceView(p.canvas, store.Visible(), mode, p.lists);
    return p;
}
}  // namespace

TEST(TraceView, CellsListsAndBrushesOfEachView) {
    TraceStore store(100);
    store.Append(kSourceCaps);
    store.Append(kGoodCrc);
    store.Append(kExtendedStatus);
    ASSERT_TRUE(store.Choose(store.Visible().rows[0].id, 2));
    Painted p = Paint(store, TraceViewMode::Default);

    EXPECT_EQ(SlotTexts(p.canvas, 0), (std::vector<std::string>{"0", " Source_Capabilities", " DFP", " Source", "3.0",
                                                                "0", "3", " 0x0002D12C"}));
    EXPECT_EQ(SlotTexts(p.canvas, 1),
              (std::vector<std::string>{"1", " GoodCRC", " UFP", " Sink", "2.0", "3", "0", " "}));
    EXPECT_EQ(SlotTexts(p.canvas, 2).back(), " Extended");
    EXPECT_EQ(p.lists[0], (SlotList{true, 3, 1}));
    EXPECT_EQ(p.lists[1], SlotList{});
    EXPECT_EQ(p.lists[2], SlotList{}) << "an extended message has no object choice";

    EXPECT_EQ(SlotFill(p.canvas, 2), (Color{217, 196, 236})) << "echo";
    EXPECT_NE(SlotFill(p.canvas, 1), SlotFill(p.canvas, 2));
    EXPECT_TRUE(SlotTexts(p.canvas, 3).empty());

    Painted ext = Paint(store, TraceViewMode::ExtendedData);
    EXPECT_EQ(SlotTexts(ext.canvas, 2), (std::vector<std::string>{"2", "26", "0", "9", "1", " 0x001122334455"}));
    EXPECT_EQ(SlotTexts(ext.canvas, 1), (std::vector<std::string>{"1"})) << "not extended: columns 1-5 empty";
    Painted raw = Paint(store, TraceViewMode::RawMessages);
    EXPECT_EQ(SlotTexts(raw.canvas, 1), (std::vector<std::string>{"1", " GoodCRC", " 0x4106"}));
}

TEST(TraceView, RowThatDoesNotFitShowsTheFieldsBeforeTheMismatch) {
    TraceRowFields f = ParseTraceRow("0,Bad-Name,UFP,Sink,2.0,3,0, ,0x4106", TraceViewMode::Default);
    EXPECT_EQ(std::tuple(f.fieldsRead, f.type, f.dataRole), std::tuple(2, "Bad", ""));
}

TEST(TraceStore, TheViewFollowsNewRowsOnlyAtTheEnd) {
    TraceStore store(1000);
    for (int i = 0; i < 17; ++i)
        store.Append(kGoodCrc);
    EXPECT_EQ(store.Scroll().top, 1) << "at the end the view follows";

    store.ScrollBy(RowScroll::Request::LineUp);
    store.Append(kGoodCrc);
    EXPECT_EQ(store.Scroll().top, 0) << "scrolled up, the view stays";
    store.Wheel(-240);
    EXPECT_EQ(store.Scroll().top, 1) << "one row per wheel message";
    store.Clear();
    EXPECT_EQ(std::tuple(store.Scroll().top, store.Visible().rows.size()), std::tuple(0, 0u));
}

TEST(TraceStore, ChoicesStayWithTheirRowsThroughScrollingAndWrap) {
    // A ring of 20 slots holds 19 rows.
    TraceStore store(20);
    for (int i = 0; i < 19; ++i)
        store.Append(std::to_string(i));
    store.ScrollBy(RowScroll::Request::Top);
    ASSERT_TRUE(store.Choose(1, 3));  // row "1"
    store.ScrollBy(RowScroll::Request::LineDown);
    auto top = [&] {
        TraceStore::View view = store.Visible();
        return std::tuple(view.rows[0].text, view.rows[0].choice, view.rows[1].choice);
    };
    EXPECT_EQ(top(), std::tuple("1", 3, 1));
    store.Append("19");  // drops row "0"
    EXPECT_EQ(std::get<0>(top()), "2") << "same top index, rows moved up by one";
    store.ScrollBy(RowScroll::Request::Top);
    EXPECT_EQ(top(), std::tuple("1", 3, 1));
    EXPECT_EQ(std::tuple(store.Rows().front(), store.Rows().back()), std::tuple("1", "19"));
}
