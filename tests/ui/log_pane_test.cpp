#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <sstream>

#include "monitor/event_log.h"
#include "ui/log_pane.h"
#include "platform/files.h"
#include "platform/version.h"
#include "support/fake_window.h"
#include "support/temporary_home.h"
#include "support/test_helpers.h"
#include "ui/main_window_ids.h"

namespace {
// The banner every log starts with: the product and its version.
const std::string kBanner = "Quarnel Voltiq " AMPWRIGHT_VERSION_NAME " " AMPWRIGHT_VERSION_BUILD_TEXT;
constexpr int64_t kTime = 1764936000;  // 2025-12-05 12:00:00 UTC
int64_t FixedTime() {
    return kTime;
}

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        pane.Attach(&window, IDC_LOG_PANE, IDC_LOG_SCROLL);
        pane.Remeasure(400, 24 + 5 * 14);  // five rows
    }
    TemporaryHome home;  // the save dialog proposes a folder in it
    FakeWindow window;
    EventLog log{&FixedTime};
    LogPane pane{log};
};
}  // namespace

TEST_F(EventLogTest, ScrollingFollowsTheNewestPagesByFiveAndClearingLeavesTheBanner) {
    for (int i = 0; i < 20; ++i)
        log.LogEvent("event " + std::to_string(i), 4);
    EXPECT_EQ(pane.TopIndex(), 15) << "the view jumps to the newest record";
    FakeWindow::Control bar = window.Get(IDC_LOG_SCROLL);
    EXPECT_EQ(std::tuple(bar.scrollShown, bar.scrollMaximum, bar.scrollPage, bar.scrollPosition),
              std::tuple(true, 19, 5, 15));

    using Request = LogPane::ScrollRequest;
    struct Step {
        Request request;
        int position;
        int top;
    } steps[] = {{Request::Thumb, 12, 12},   {Request::PageDown, 0, 15}, {Request::Thumb, 5, 5},
                 {Request::PageUp, 0, 0},    {Request::LineUp, 0, 0},    {Request::Bottom, 0, 15},
                 {Request::LineDown, 0, 15}, {Request::Thumb, 99, 15}};  // never past either end
    for (const Step& step : steps) {
        pane.Scroll(step.request, step.position);
        EXPECT_EQ(pane.TopIndex(), step.top) << int(step.request) << " " << step.position;
    }
    EXPECT_EQ(window.Get(IDC_LOG_SCROLL).scrollPosition, 15);

    log.ClearLog();
    EXPECT_EQ(LogTexts(log), std::vector<std::string>{kBanner});
    EXPECT_EQ(std::tuple(window.Get(IDC_LOG_SCROLL).scrollShown, pane.TopIndex()), std::tuple(false, 0));
}

TEST_F(EventLogTest, PaintsHeaderRowsByCategoryAndUnknownCategoriesWhite) {
    log.LogEvent("info", 0);
    log.LogEvent("too hot", 3);
    log.LogEvent("odd", 12);
    RecordingCanvas canvas;
    pane.Paint(canvas, true);
    ASSERT_EQ(canvas.fills.size(), 5u) << "the header, three rows and the rest below them";
    EXPECT_EQ(canvas.texts[0].text, "Log Window");
    EXPECT_EQ(canvas.fills[2].color, (Color{255, 64, 64}));
    EXPECT_EQ(canvas.texts[2].text, "too hot");
    EXPECT_EQ(canvas.fills[3].color, (Color{255, 255, 255}));

    RecordingCanvas rowsOnly;
    pane.Paint(rowsOnly, false);
    EXPECT_EQ(rowsOnly.fills.size(), 4u) << "no header on a rows-only repaint";
}

TEST_F(EventLogTest, SavesTheLogFileByteForByteAndAFailedSaveLeavesWhatWasThere) {
    log.ClearLog();
    log.LogEvent("Sink Port detached", 4);
    log.LogEvent("Found 2 testers", 0);
    log.LogEvent("strange", 12);
    std::string path = TempPath("ampwright-log-test.txt");
    window.QueueSavePath(path);
    ASSERT_TRUE(pane.SaveLog(window));
    std::string when = FormatCtime(LocalTime(kTime));
    std::string expected =
        "QUARNEL Voltiq Log file\r\n===========================================\r\n"
        "Number of records logged: 4\r\n\r\n" +
        when + ": Information- " + kBanner + "\r\n" + when + ": Diagnostics- Sink Port detached\r\n" + when +
        ": Information- Found 2 testers\r\n" + when + ": ERROR      - strange\r\n";
    EXPECT_EQ(FileText(path), expected);
    std::remove(path.c_str());
    ASSERT_EQ(window.SaveRequests().size(), 1u);
    EXPECT_EQ(window.SaveRequests()[0].title, "Select a log file name");
    EXPECT_EQ(FileNamePart(window.SaveRequests()[0].initialPath), "AmpwrightLog.txt");

    window.QueueSavePath(std::nullopt);  // cancelled
    EXPECT_FALSE(pane.SaveLog(window));
    EXPECT_EQ(FileNamePart(window.SaveRequests()[1].initialPath), "ampwright-log-test.txt")
        << "the last chosen name is proposed again";

    // A folder of the chosen name cannot be replaced by the log (how the
    // file is replaced is the atomic file's own test).
    std::filesystem::path taken = TempPath("ampwright-log-taken.txt");
    std::filesystem::create_directories(taken / "inside");
    window.QueueSavePath(taken.string());
    EXPECT_FALSE(pane.SaveLog(window));
    EXPECT_TRUE(std::filesystem::is_directory(taken / "inside"));
    std::filesystem::remove_all(taken);
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].title, "Ampwright: Error");
    EXPECT_NE(window.Messages()[0].text.find("a file already there is untouched"), std::string::npos);
}

// The poll thread keeps logging into a full ring while the user saves: the
// file holds one unbroken run of records, as many as its header says.
TEST(EventLogSave, AFullRingStillLoggingSavesOneUnbrokenRun) {
    TemporaryHome home;
    FakeWindow window;
    EventLog log(&FixedTime, 2001);
    LogPane pane(log);
    for (int n = 0; n < 3000; ++n)
        log.LogEvent(std::to_string(n), 0);
    std::atomic<bool> done{false};
    std::thread poll([&] {
        for (int n = 3000; !done; ++n)
            log.LogEvent(std::to_string(n), 0);
    });
    std::string path = TempPath("ampwright-log-busy.txt");
    window.QueueSavePath(path);
    bool saved = pane.SaveLog(window);
    done = true;
    poll.join();
    ASSERT_TRUE(saved);

    std::istringstream file(FileText(path));
    std::remove(path.c_str());
    std::string line;
    for (int i = 0; i < 3; ++i)
        std::getline(file, line);
    ASSERT_EQ(line.rfind("Number of records logged: ", 0), 0u) << line;
    int count = std::stoi(line.substr(26));
    EXPECT_EQ(count, 2000);
    std::getline(file, line);
    std::vector<int> numbers;
    while (std::getline(file, line))
        numbers.push_back(std::stoi(line.substr(line.rfind("- ") + 2)));
    ASSERT_EQ(numbers.size(), static_cast<size_t>(count));
    for (size_t i = 1; i < numbers.size(); ++i)
        ASSERT_EQ(numbers[i], numbers[0] + static_cast<int>(i)) << "line " << i;
}

TEST(Ctime, Layout) {
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 5, t.tm_wday = 6, t.tm_hour = 9, t.tm_min = 3, t.tm_sec = 7;
    EXPECT_EQ(FormatCtime(t), "Sat Dec 05 09:03:07 2026");
}
