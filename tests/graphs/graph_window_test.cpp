#include "graphs/graph_window.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/fake_window.h"
#include "ui/graph_ids.h"

namespace {

class FakeGraphShell : public GraphWindowShell {
public:
    void LayOut() override { ++layouts; }
    void WaitPumping(const std::function<void()>& wait) override { wait(); }
    ImageResult SaveImage(const std::string& path, GraphImageFormat format, std::string*) override {
        saved.push_back({path, format});
        return result;
    }
    int layouts = 0;
    std::vector<std::pair<std::string, GraphImageFormat>> saved;
    ImageResult result = ImageResult::Saved;
};

class GraphWindowRules : public ::testing::Test {
protected:
    void SetUp() override {
        live.sourceVolts = 5.0f;
        rules.Initialize();
        rules.Resize(620, 400);
    }
    void Select(int id, int index) {
        window.SelectItem(id, index);
        rules.OnCommand(id, GraphWindow::kSelEndOk);
    }
    // Waits until the runner has taken samples.
    void WaitForSamples() {
        while (!rules.Chart() || rules.Chart()->Value(0, 0) != 5.0f)
            std::this_thread::yield();
    }
    std::vector<std::string> MessageTexts() {
        std::vector<std::string> texts;
        for (const auto& m : window.Messages())
            texts.push_back(m.text);
        return texts;
    }

    FakeWindow window;
    LiveState live;
    PortEvents events;
    GraphSettings settings;
    FakeGraphShell shell;
    GraphWindow rules{{window, window, live, events, settings, shell, SteadySampleClock()}};
};

}  // namespace

TEST_F(GraphWindowRules, OpensWithTheStoredChoicesAndTheirParameters) {
    EXPECT_EQ(window.Get(IDC_GRAPH_TYPE).items,
              (std::vector<std::string>{"Real-Time", "Sink Voltage vs. Current", "Sink FFT"}));
    EXPECT_EQ(window.Get(IDC_GRAPH_TIME_DIVISION).selected, 4);
    EXPECT_EQ(window.Get(IDC_GRAPH_TIME_DIVISION).items[4], "10 seconds");
    EXPECT_EQ(window.Get(IDC_GRAPH_LOAD_SPEED).selected, 4);  // 200 ms
    EXPECT_EQ(window.Get(IDC_GRAPH_RUN).text, "Run Test");
    EXPECT_FALSE(window.Get(IDC_GRAPH_SAVE).enabled);
    EXPECT_EQ(window.Get(IDC_GRAPH_DURATION).text, "50");
    EXPECT_EQ(window.Get(IDC_GRAPH_DURATION_LABEL).text, "Test Duration in seconds");
    EXPECT_FALSE(window.Get(IDC_GRAPH_STEP_TIME).shown);
    Select(IDC_GRAPH_TYPE, kGraphVoltageVsCurrent);
    EXPECT_TRUE(window.Get(IDC_GRAPH_STEP_TIME).shown);
    EXPECT_FALSE(window.Get(IDC_GRAPH_DURATION).shown);
    EXPECT_EQ(window.Get(IDC_GRAPH_CURRENT_STEP).text, "25");
    EXPECT_EQ(window.Get(IDC_GRAPH_STEP_TIME_LABEL).text, "Time Intervals (msec) each step");
    Select(IDC_GRAPH_TYPE, kGraphFft);
    EXPECT_FALSE(window.Get(IDC_GRAPH_STEP_TIME).shown);
    EXPECT_FALSE(window.Get(IDC_GRAPH_SIGNAL).shown);
}

TEST_F(GraphWindowRules, ValidationMessagesAndCorrections) {
    struct Case {
        int type;
        const char *step, *time, *duration;
        bool valid;
        std::string message;
        int resetId;
        std::string resetText;
    };
    const Case cases[] = {
        {1, "100", "100", "", false, "Minimum value for Time Intervals at 100mA steps is 150 mSec", IDC_GRAPH_STEP_TIME,
         "150"},
        {1, "3", "500", "", false, "Minimum value for Current Intervals is 5mA", IDC_GRAPH_CURRENT_STEP, "5"},
        {1, "501", "500", "", false, "Maximum value for Current Intervals is 500mA", IDC_GRAPH_CURRENT_STEP, "500"},
        {1, "25", "20", "", false, "Minimum value for Time Intervals is 30 mSec", IDC_GRAPH_STEP_TIME, "30"},
        {1, "25", "60001", "", false, "Maximum value for Time Intervals is 60000 mSec", IDC_GRAPH_STEP_TIME, "60000"},
        {0, "", "", "0", false, "Minimum value for Test Duration is 1 second", IDC_GRAPH_DURATION, "1"},
        {0, "", "", "18001", false, "Maximum value for Test Duration is 18000 seconds", IDC_GRAPH_DURATION, "18000"},
        {0, "", "", "600", true, "", 0, ""},
    };
    for (const Case& c : cases) {
        window.SetText(IDC_GRAPH_CURRENT_STEP, c.step);
        window.SetText(IDC_GRAPH_STEP_TIME, c.time);
        window.SetText(IDC_GRAPH_DURATION, c.duration);
        size_t before = window.Messages().size();
        EXPECT_EQ(rules.ValidateGraphSettings(c.type, true), c.valid) << c.message;
        std::vector<std::string> texts = MessageTexts();
        if (c.valid) {
            EXPECT_EQ(texts.size(), before);
            continue;
        }
        ASSERT_EQ(texts.size(), before + 1);
        EXPECT_EQ(texts.back(), c.message);
        EXPECT_EQ(window.Messages().back().title, "Ampwright Error");
        EXPECT_EQ(window.Get(c.resetId).text, c.resetText);
    }
    EXPECT_EQ(settings.testDurationS, 600u);
}

TEST_F(GraphWindowRules, AStepTimeTooShortForTheLoadChangeSpeedLowersIt) {
    live.loadChangeSpeedMs = 200;
    window.SetText(IDC_GRAPH_CURRENT_STEP, "25");
    window.SetText(IDC_GRAPH_STEP_TIME, "150");
    EXPECT_TRUE(rules.ValidateGraphSettings(kGraphVoltageVsCurrent, true));
    EXPECT_EQ(MessageTexts(),
              (std::vector<std::string>{"Load Change Speed should be less than Time Interval - 10 mSec"}));
    EXPECT_EQ(live.loadChangeSpeedMs, 100);
    EXPECT_EQ(window.Get(IDC_GRAPH_LOAD_SPEED).selected, 3);
    EXPECT_EQ(settings.stepTimeMs, 150);
    EXPECT_EQ(live.vstepIntervalMs, 150);
}

TEST_F(GraphWindowRules, RunAndStopTheRealTimeGraph) {
    rules.OnCommand(IDC_GRAPH_RUN, 0);
    EXPECT_TRUE(rules.Running());
    EXPECT_FALSE(live.testIdle);
    EXPECT_EQ(window.Get(IDC_GRAPH_RUN).text, "Stop");
    EXPECT_FALSE(window.Get(IDC_GRAPH_CLOSE).enabled);
    WaitForSamples();
    EXPECT_FALSE(window.Get(IDC_GRAPH_SIGNAL).enabled);
    EXPECT_TRUE(rules.OnTimer());  // repaint while running

    rules.OnCommand(IDC_GRAPH_RUN, 0);
    rules.JoinRunner();
    EXPECT_FALSE(rules.Running());
    EXPECT_TRUE(live.testIdle);
    EXPECT_FALSE(rules.OnTimer());
    EXPECT_EQ(window.Get(IDC_GRAPH_RUN).text, "Run Test");
    EXPECT_TRUE(window.Get(IDC_GRAPH_CLOSE).enabled);
    EXPECT_TRUE(window.Get(IDC_GRAPH_SAVE).enabled);
    EXPECT_FALSE(window.Get(IDC_GRAPH_EXPORT_CSV).enabled);
    EXPECT_TRUE(window.Get(IDC_GRAPH_SIGNAL).enabled);
    EXPECT_EQ(rules.Chart()->Value(0, 0), 5.0f);  // the last window stays
}

TEST_F(GraphWindowRules, ChangingAListWhileRunningStopsTheGraph) {
    rules.OnCommand(IDC_GRAPH_RUN, 0);
    WaitForSamples();
    Select(IDC_GRAPH_TIME_DIVISION, 3);
    rules.JoinRunner();
    EXPECT_FALSE(rules.Running());
    EXPECT_EQ(settings.timeDivision, 3u);
    EXPECT_EQ(window.Get(IDC_GRAPH_RUN).text, "Run Test");
}

TEST_F(GraphWindowRules, CloseWhileRunningStopsAndWaitsForTheRunner) {
    rules.OnCommand(IDC_GRAPH_RUN, 0);
    WaitForSamples();
    rules.Close();
    EXPECT_FALSE(rules.Running());
    EXPECT_TRUE(live.testIdle);
    EXPECT_EQ(rules.Chart(), nullptr);
}

TEST_F(GraphWindowRules, TypesWithoutARunRefuseToStart) {
    live.sinkActive = true;
    rules.SetRunFunction(kGraphFft, nullptr);
    Select(IDC_GRAPH_TYPE, kGraphFft);
    rules.OnCommand(IDC_GRAPH_RUN, 0);
    EXPECT_FALSE(rules.Running());
    EXPECT_TRUE(live.testIdle);
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"The Sink FFT graph cannot be run by this version."}));

    bool ran = false;
    rules.SetRunFunction(kGraphFft, [&](GraphRun& run) {
        ran = run.chart.YMin() == -120 && run.buffer2.size() == GraphRun::kBufferSize;
    });
    rules.OnCommand(IDC_GRAPH_RUN, 0);
    rules.JoinRunner();
    EXPECT_TRUE(ran);
    EXPECT_EQ(rules.GraphType(), kGraphFft);
}

TEST_F(GraphWindowRules, SetUpPerTypeAndSignal) {
    struct Case {
        int type, signal;
        uint32_t profileType;
        float yMin, yMax;
        int series;
    };
    const Case cases[] = {
        {0, kSignalSinkVoltage, 6, 7, 11, 3},
        {0, kSignalSinkVoltage, 3, 0, 6, 3},
        {0, kSignalSinkCurrent, 6, 0, 5000, 3},
        {0, kSignalSourcePower, 6, 0, 100, 3},
        {1, 0, 6, 7, 11, 1},
        {2, 0, 6, -120, 0, 1},
    };
    live.sinkActive = true;
    live.sinkVoltageMv = 9000;
    live.loadCurrentLimit = 3000;
    for (const Case& c : cases) {
        live.sinkProfileType = c.profileType;
        settings.signal = static_cast<uint32_t>(c.signal);
        bool checked = false;
        rules.SetRunFunction(c.type, [&](GraphRun& run) {
            checked = run.chart.YMin() == c.yMin && run.chart.YMax() == c.yMax && run.chart.SeriesCount() == c.series &&
                      run.profile.sinkVoltageMv == 9000;
            if (c.type == kGraphVoltageVsCurrent) checked = checked && run.chart.ValueCount(0) == 121;
        });
        Select(IDC_GRAPH_TYPE, c.type);
        rules.OnCommand(IDC_GRAPH_RUN, 0);
        rules.JoinRunner();
        EXPECT_TRUE(checked) << c.type << " " << c.signal;
    }
}

TEST_F(GraphWindowRules, SinkVoltageShowsTheAcceptableRange) {
    live.sinkProfileType = 6;
    live.sinkVoltageMv = 9000;
    live.loadSetpointMa = 0;
    live.loadCurrentLimit = 3000;
    settings.signal = kSignalSinkVoltage;
    rules.SetupChart();
    RecordingCanvas canvas;
    rules.Paint(canvas);
    bool legend = false;
    for (const auto& text : canvas.textsAt)
        legend = legend || text.text == "Acceptable Range";
    EXPECT_TRUE(legend);
    RecordingCanvas next;
    rules.Paint(next);
    ASSERT_FALSE(next.polygons.empty());  // the band, 8.55 .. 9.45 V
    EXPECT_EQ(next.polygons[0].color, (Color{0, 255, 0, 0x40}));
}

TEST_F(GraphWindowRules, SaveGraphPicksTheFormatAndReportsTheOutcome) {
    window.QueueSavePath("C:\\out\\graph.JPG");
    rules.OnCommand(IDC_GRAPH_SAVE, 0);
    window.QueueSavePath("C:\\out\\graph.png");
    shell.result = GraphWindowShell::ImageResult::WriteFailed;
    rules.OnCommand(IDC_GRAPH_SAVE, 0);
    window.QueueSavePath(std::nullopt);
    rules.OnCommand(IDC_GRAPH_SAVE, 0);

    ASSERT_EQ(shell.saved.size(), 2u);
    EXPECT_EQ(shell.saved[0].second, GraphImageFormat::Jpeg);
    EXPECT_EQ(shell.saved[1].second, GraphImageFormat::Png);
    ASSERT_EQ(window.Messages().size(), 2u);
    EXPECT_EQ(window.Messages()[0].text, "Graph was successfully saved to image file: C:\\out\\graph.JPG");
    EXPECT_EQ(window.Messages()[0].title, "Ampwright");
    EXPECT_EQ(window.Messages()[1].text,
              "Could not save to image file.\nCheck that the appropriate permissions are set for the file/directory.");
    const auto request = window.SaveRequests().front();
    EXPECT_EQ(request.filterName, "PNG file");
    EXPECT_EQ(request.moreFilters.front().first, "JPG file");
    EXPECT_EQ(request.defaultExtension, "png");
}
