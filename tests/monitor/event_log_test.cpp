#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "monitor/event_log.h"
#include "platform/files.h"
#include "support/fake_window.h"
#include "ui/main_window_ids.h"

namespace {
constexpr int64_t kTime = 1764936000;  // 2025-12-05 12:00:00 UTC
int64_t FixedTime() {
    return kTime;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string TempPath(const char* name) {
    std::string base = std::filesystem::temp_directory_path().string();
    if (!base.empty() && (base.back() == '/' || base.back() == '\\')) base.pop_back();
    return base + PathSeparator() + name;
}

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.AttachPane(&window, IDC_LOG_PANE, IDC_LOG_SCROLL);
        log.Remeasure(400, 24 + 5 * 14);  // five rows
    }
    FakeWindow window;
    EventLog log{&FixedTime};
};
}  // namespace

TEST_F(EventLogTest, ClearLogLeavesTheBannerAndHidesTheScrollBar) {
    for (int i = 0; i < 8; ++i)
        log.LogEvent("event", 4);
    EXPECT_TRUE(window.Get(IDC_LOG_SCROLL).scrollShown);
    log.ClearLog();
    ASSERT_EQ(log.Records().RecordCount(), 1);
    EXPECT_EQ(log.Records().GetRecord(0)->text, "Quarnel Voltiq V1.0 1002");
    EXPECT_EQ(log.Records().GetRecord(0)->category, 0);
    EXPECT_FALSE(window.Get(IDC_LOG_SCROLL).scrollShown);
    EXPECT_EQ(log.TopIndex(), 0);
}

TEST_F(EventLogTest, ScrollingFollowsTheNewestAndPagesByFive) {
    for (int i = 0; i < 20; ++i)
        log.LogEvent("event " + std::to_string(i), 4);
    EXPECT_EQ(log.MaxTop(), 15);
    EXPECT_EQ(log.TopIndex(), 15) << "the view jumps to the newest record";
    FakeWindow::Control bar = window.Get(IDC_LOG_SCROLL);
    EXPECT_TRUE(bar.scrollShown);
    EXPECT_EQ(bar.scrollMaximum, 19);
    EXPECT_EQ(bar.scrollPage, 5);
    EXPECT_EQ(bar.scrollPosition, 15);

    log.Scroll(EventLog::ScrollRequest::Thumb, 12);
    log.Scroll(EventLog::ScrollRequest::PageDown);
    EXPECT_EQ(log.TopIndex(), 15);
    log.Scroll(EventLog::ScrollRequest::Thumb, 5);
    log.Scroll(EventLog::ScrollRequest::PageUp);
    EXPECT_EQ(log.TopIndex(), 0);
    log.Scroll(EventLog::ScrollRequest::LineUp);
    EXPECT_EQ(log.TopIndex(), 0);
    log.Scroll(EventLog::ScrollRequest::Bottom);
    log.Scroll(EventLog::ScrollRequest::LineDown);
    EXPECT_EQ(log.TopIndex(), 15);
    log.Scroll(EventLog::ScrollRequest::Thumb, 99);
    EXPECT_EQ(log.TopIndex(), 15) << "the thumb cannot go past the end";
    EXPECT_EQ(window.Get(IDC_LOG_SCROLL).scrollPosition, 15);
}

TEST_F(EventLogTest, PaintsHeaderRowsByCategoryAndWhiteRest) {
    log.LogEvent("info", 0);
    log.LogEvent("too hot", 3);
    log.LogEvent("odd", 12);
    RecordingCanvas canvas;
    log.PaintPane(canvas, true);
    ASSERT_EQ(canvas.fills.size(), 5u);
    EXPECT_EQ(canvas.fills[0].rect, (Rect{0, 1, 400, 25}));
    EXPECT_EQ(canvas.fills[0].color, (Color{192, 192, 192}));
    EXPECT_EQ(canvas.texts[0].text, "Log Window");
    EXPECT_EQ(canvas.texts[0].font, (FontSpec{"Tahoma", 16, 700, true}));
    EXPECT_EQ(canvas.fills[1].rect, (Rect{0, 25, 400, 39}));
    EXPECT_EQ(canvas.fills[1].color, (Color{255, 255, 128}));
    EXPECT_EQ(canvas.fills[2].color, (Color{255, 64, 64}));
    EXPECT_EQ(canvas.fills[3].color, (Color{255, 255, 255})) << "unknown category drawn white";
    EXPECT_EQ(canvas.texts[2].text, "too hot");
    EXPECT_EQ(canvas.texts[2].y, 39);
    EXPECT_EQ(canvas.texts[2].font, (FontSpec{"Tahoma", 14, 700, false}));
    EXPECT_EQ(canvas.fills[4].rect, (Rect{0, 67, 400, 94}));
    EXPECT_FALSE(canvas.fills[4].outline);

    RecordingCanvas rowsOnly;
    log.PaintPane(rowsOnly, false);
    EXPECT_EQ(rowsOnly.fills.size(), 4u) << "no header on a rows-only repaint";
}

TEST_F(EventLogTest, SavesTheLogFileByteForByte) {
    log.ClearLog();
    log.LogEvent("Sink Port detached", 4);
    log.LogEventInt("Found %d testers", 2, 0);
    log.LogEvent("strange", 12);
    std::string path = TempPath("ampwright-log-test.txt");
    window.QueueSavePath(path);
    ASSERT_TRUE(log.SaveLog(window));

    std::string when = FormatCtime(LocalTime(kTime));
    std::string expected =
        "QUARNEL Voltiq Log file\r\n===========================================\r\n"
        "Number of records logged: 4\r\n\r\n" +
        when + ": Information- Quarnel Voltiq V1.0 1002\r\n" + when + ": Diagnostics- Sink Port detached\r\n" + when +
        ": Information- Found 2 testers\r\n" + when + ": ERROR      - strange\r\n";
    EXPECT_EQ(ReadFile(path), expected);
    std::remove(path.c_str());

    ASSERT_EQ(window.SaveRequests().size(), 1u);
    Prompts::SaveFileRequest first = window.SaveRequests()[0];
    EXPECT_EQ(first.title, "Select a log file name");
    EXPECT_EQ(FileNamePart(first.initialPath), "AmpwrightLog.txt");

    window.QueueSavePath(std::nullopt);  // cancelled
    EXPECT_FALSE(log.SaveLog(window));
    EXPECT_EQ(FileNamePart(window.SaveRequests()[1].initialPath), "ampwright-log-test.txt")
        << "the last chosen name is proposed again";
}

TEST_F(EventLogTest, AnUnwritableFileIsReported) {
    window.QueueSavePath(TempPath("no-such-folder") + PathSeparator() + "log.txt");
    EXPECT_FALSE(log.SaveLog(window));
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].title, "Ampwright: Error");
}

TEST(Ctime, Layout) {
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 5, t.tm_wday = 6, t.tm_hour = 9, t.tm_min = 3, t.tm_sec = 7;
    EXPECT_EQ(FormatCtime(t), "Sat Dec 05 09:03:07 2026");
}
