#include <gtest/gtest.h>

#include <thread>

#include "platform/files.h"
#include "support/fake_window.h"
#include "support/test_helpers.h"
#include "tracer/trace_csv.h"
#include "tracer/tracer_window.h"
#include "ui/tracer_ids.h"

namespace {
// The window's rules without a tester: commands fail at once.
class TracerWindowTest : public ::testing::Test {
protected:
    void SetUp() override { tracer.Initialize(); }

    FakeWindow window;
    TesterConnection tester;
    LiveState live;
    TracerSharedState shared;
    int arrivals = 0;
    TracerWindow tracer{{window, window, tester, live, shared, [this] { ++arrivals; }}, 20};
};

const TraceRecord kGoodCrc = {0x41, 0x06};
const char* kRequest = "0,Request,UFP,Sink,3.0,1,2,0x1 0x2,0x4210";
}  // namespace

// The rows' arrival, then a data-object choice made on a list painted for
// a row that has moved on since.
TEST_F(TracerWindowTest, RowsReachTheWindowThreadOnlyThroughItsRequestAndAChoiceGoesToThePaintedRow) {
    for (int i = 0; i < 16; ++i)
        tracer.OnTracedMessage(kGoodCrc);
    tracer.OnTracedMessage(TraceRecord{});  // dropped
    EXPECT_EQ(arrivals, 16);
    EXPECT_TRUE(shared.newRowSeen);
    EXPECT_FALSE(window.Get(IDC_TRACER_SCROLL).scrollShown) << "the bar is the window thread's";
    tracer.Store().Append(kRequest);
    tracer.OnRowsArrived();
    FakeWindow::Control bar = window.Get(IDC_TRACER_SCROLL);
    EXPECT_EQ(std::tuple(bar.scrollShown, bar.scrollMaximum, bar.scrollPage, bar.scrollPosition),
              std::tuple(true, 5, 5, 1));
    RecordingCanvas canvas;
    tracer.Paint(canvas);  // the Request in the last slot
    const int lastList = TraceListOfSlot(TraceStore::kVisibleRows - 1);
    FakeWindow::Control list = window.Get(lastList);
    EXPECT_EQ(std::tuple(list.items, list.enabled, list.selected),
              std::tuple(std::vector<std::string>{" 1", " 2"}, true, 0));
    for (int i = 0; i < 3; ++i)
        tracer.OnTracedMessage(kGoodCrc);
    tracer.OnRowsArrived();  // the view follows: a GoodCRC now under that list

    auto choices = [this] {
        std::vector<std::pair<std::string, int>> shown;
        for (const TraceStore::VisibleRow& row : tracer.Store().Visible().rows)
            shown.emplace_back(row.text.substr(2, 7), row.choice);
        return shown;
    };
    window.SelectItem(lastList, 1);
    tracer.OnCommand(lastList, 1);
    window.SelectItem(lastList, 4);  // beyond the Request's two objects
    tracer.OnCommand(lastList, 1);
    for (const auto& [type, choice] : choices())
        EXPECT_EQ(choice, type == "Request" ? 2 : 1) << type;

    // A list painted for a row that was cleared since chooses nothing.
    tracer.OnCommand(IDC_TRACER_CLEAR_LOG, 0);
    tracer.Store().Append(kRequest);
    tracer.Paint(canvas);
    tracer.OnCommand(IDC_TRACER_CLEAR_LOG, 0);
    tracer.Store().Append(kRequest);
    window.SelectItem(TraceListOfSlot(0), 1);
    tracer.OnCommand(TraceListOfSlot(0), 1);
    EXPECT_EQ(tracer.Store().Visible().rows[0].choice, 1);

    window.SelectItem(IDC_TRACER_VIEW_MODE, 2);
    tracer.OnCommand(IDC_TRACER_VIEW_MODE, 1);
    EXPECT_EQ(tracer.Mode(), TraceViewMode::RawMessages);
}

// The export writes the rows without echo flags, or says why it did not.
TEST_F(TracerWindowTest, ExportWritesTheRowsWithoutEchoFlags) {
    // A wrapped store (20 slots, 19 rows) exports the rows it still holds.
    for (int i = 0; i < 25; ++i)
        tracer.OnTracedMessage(kGoodCrc);
    tracer.Store().Append("1,Hard Reset, , , , , , , ");
    std::string path = TempPath("ampwright-tracer-export.csv");
    window.QueueSavePath(path);
    tracer.OnCommand(IDC_TRACER_EXPORT_CSV, 0);
    std::string csv = FileText(path);
    EXPECT_TRUE(csv.starts_with(std::string(kTraceCsvHeader) + "\r\n"));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 20);
    EXPECT_NE(csv.find("\r\nGoodCRC,UFP,Sink,2.0,3,0, ,0x4106\r\n"), std::string::npos);
    EXPECT_TRUE(csv.ends_with("\r\nHard Reset, , , , , , , \r\n"));
    RemoveFile(path);

    path = TempPath("ampwright-no-such-folder/trace.csv");
    window.QueueSavePath(path);
    tracer.OnCommand(IDC_TRACER_EXPORT_CSV, 0);
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].title, "Ampwright: Error");
    EXPECT_NE(window.Messages()[0].text.find("trace.csv"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(TracerWindowTest, TracingThatDoesNotResumeIsSaidPlainly) {
    EXPECT_FALSE(tracer.ResumeTracing()) << "no tester answers";
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].text, kTracingStoppedText);
    tracer.Close();
    EXPECT_FALSE(tracer.ResumeTracing()) << "a closed tracer does not trace";
    EXPECT_EQ(window.Messages().size(), 1u);
}

// Rows arrive on the communication thread while the window thread paints,
// scrolls, chooses, clears and exports (run under ThreadSanitizer too).
TEST_F(TracerWindowTest, RowsArriveWhileTheWindowPaintsAndClears) {
    std::atomic<bool> done{false};
    std::thread communication([&] {
        for (int i = 0; i < 3000; ++i)
            tracer.OnTracedMessage(i % 2 ? kGoodCrc : TraceRecord{0x42, 0x12, 1, 0, 0, 0});
        done = true;
    });
    RecordingCanvas canvas;
    for (int round = 0; !done; ++round) {
        tracer.OnRowsArrived();
        tracer.Paint(canvas);
        window.SelectItem(TraceListOfSlot(round % TraceStore::kVisibleRows), 0);
        tracer.OnCommand(TraceListOfSlot(round % TraceStore::kVisibleRows), 1);
        tracer.OnScroll(RowScroll::Request::LineUp);
        if (round % 7 == 0) tracer.OnCommand(IDC_TRACER_CLEAR_LOG, 0);
        tracer.Store().Rows();
    }
    communication.join();
    tracer.OnRowsArrived();
    EXPECT_LE(tracer.Store().RowCount(), 20);
    for (const TraceStore::VisibleRow& row : tracer.Store().Visible().rows)
        EXPECT_TRUE(row.text.find(",GoodCRC,") != std::string::npos || row.text.find(",Request,") != std::string::npos)
            << row.text;
}
