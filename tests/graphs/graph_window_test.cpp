#include "graphs/graph_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "support/fake_window.h"
#include "ui/graph_ids.h"

namespace {

class FakeGraphShell : public GraphWindowShell {
public:
    void LayOut() override {}
    void WaitPumping(const std::function<void()>& wait) override { wait(); }
    ImageResult SaveImage(const std::string&, GraphImageFormat format, std::string*) override {
        saved.push_back(format);
        return result;
    }
    std::vector<GraphImageFormat> saved;
    ImageResult result = ImageResult::Saved;
};

class GraphWindowRules : public ::testing::Test {
protected:
    void SetUp() override {
        Measurements fiveVolts;
        fiveVolts.sourceVbusMv = 5000;
        live.PublishMeasurement(fiveVolts, 0);
        rules.Initialize();
        rules.Resize(620, 400);
    }
    void Select(int id, int index) {
        window.SelectItem(id, index);
        rules.OnCommand(id, ControlNotification::kSelectionChosen);
    }
    void RunUntilSampled() {
        rules.OnCommand(IDC_GRAPH_RUN, 0);
        while (!rules.Chart() || rules.Chart()->Value(0, 0) != 5.0f)
            std::this_thread::yield();
    }

    FakeWindow window;
    LiveState live;
    PortEvents events;
    GraphSettings settings;
    FakeGraphShell shell;
    GraphWindow rules{{window, window, live, events, settings, shell, SteadySampleClock()}};
};

}  // namespace

// The step checks themselves are the command line's too: here, that each
// field's refusal is shown and the field corrected.
TEST_F(GraphWindowRules, ValidationMessagesAndCorrections) {
    struct Case {
        int type;
        const char *step, *time, *duration;
        std::string message;  // none: valid
        int resetId;
        std::string resetText;
    };
    const Case cases[] = {
        {1, "100", "100", "", "Minimum value for Time Intervals at 100mA steps is 150 mSec", IDC_GRAPH_STEP_TIME,
         "150"},
        {1, "3", "500", "", "Minimum value for Current Intervals is 5mA", IDC_GRAPH_CURRENT_STEP, "5"},
        {0, "", "", "0", "Minimum value for Test Duration is 1 second", IDC_GRAPH_DURATION, "1"},
        {0, "", "", "18001", "Maximum value for Test Duration is 18000 seconds", IDC_GRAPH_DURATION, "18000"},
        {0, "", "", "600", "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        window.SetText(IDC_GRAPH_CURRENT_STEP, c.step);
        window.SetText(IDC_GRAPH_STEP_TIME, c.time);
        window.SetText(IDC_GRAPH_DURATION, c.duration);
        size_t before = window.Messages().size();
        EXPECT_EQ(rules.ValidateGraphSettings(c.type, true), c.message.empty());
        ASSERT_EQ(window.Messages().size(), before + !c.message.empty());
        if (c.message.empty()) continue;
        EXPECT_EQ(window.LastMessage(), c.message);
        EXPECT_EQ(window.Get(c.resetId).text, c.resetText);
    }
    EXPECT_EQ(settings.testDurationS, 600u);
}

TEST_F(GraphWindowRules, AStepTimeTooShortForTheLoadChangeSpeedLowersIt) {
    live.loadChangeSpeedMs = 200;
    window.SetText(IDC_GRAPH_CURRENT_STEP, "25");
    window.SetText(IDC_GRAPH_STEP_TIME, "150");
    EXPECT_TRUE(rules.ValidateGraphSettings(kGraphVoltageVsCurrent, true));
    EXPECT_EQ(window.LastMessage(), "Load Change Speed should be less than Time Interval - 10 mSec");
    EXPECT_EQ(std::tuple(live.loadChangeSpeedMs.load(), window.Get(IDC_GRAPH_LOAD_SPEED).selected,
                         settings.stepTimeMs.load(), live.vstepIntervalMs.load()),
              std::tuple(100, 3, 150, 150));
}

// Stop, a list change, a detach and Close each end the run; Close waits for
// the runner.
TEST_F(GraphWindowRules, StopAListChangeADetachOrCloseEndsTheRun) {
    EXPECT_FALSE(window.Get(IDC_GRAPH_SAVE).enabled) << "nothing to save before a run";
    RunUntilSampled();
    EXPECT_FALSE(live.testIdle);
    EXPECT_FALSE(window.Get(IDC_GRAPH_SIGNAL).enabled);
    EXPECT_TRUE(rules.OnTimer());  // repaint while running
    rules.OnCommand(IDC_GRAPH_RUN, 0);
    rules.JoinRunner();
    EXPECT_EQ(std::tuple(rules.Running(), live.testIdle.load(), rules.OnTimer(), window.GetText(IDC_GRAPH_RUN)),
              std::tuple(false, true, false, "Run Test"));
    EXPECT_EQ(std::tuple(window.Get(IDC_GRAPH_SAVE).enabled, window.Get(IDC_GRAPH_EXPORT_CSV).enabled,
                         window.Get(IDC_GRAPH_SIGNAL).enabled),
              std::tuple(true, false, true));
    EXPECT_EQ(rules.Chart()->Value(0, 0), 5.0f);  // the last window stays

    const std::function<void()> enders[] = {[&] { Select(IDC_GRAPH_TIME_DIVISION, 3); },
                                            [&] { events.sinkDetach.Set(); }};
    for (const auto& end : enders) {
        RunUntilSampled();
        end();
        rules.JoinRunner();
        EXPECT_FALSE(rules.Running());
    }
    EXPECT_EQ(settings.timeDivision, 3u);

    RunUntilSampled();
    rules.Close();
    EXPECT_EQ(std::tuple(rules.Running(), live.testIdle.load(), rules.Chart()), std::tuple(false, true, nullptr));
}

TEST_F(GraphWindowRules, ATypeWithoutARunRefusesToStart) {
    live.sinkActive = true;
    rules.SetRunFunction(kGraphFft, nullptr);
    Select(IDC_GRAPH_TYPE, kGraphFft);
    rules.OnCommand(IDC_GRAPH_RUN, 0);
    EXPECT_EQ(std::tuple(rules.Running(), live.testIdle.load()), std::tuple(false, true));
    EXPECT_EQ(window.LastMessage(), "The Sink FFT graph cannot be run by this version.");
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
                      run.profile.voltageMv == 9000;
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
    live.loadCurrentLimit = 3000;
    settings.signal = kSignalSinkVoltage;
    rules.SetupChart();
    RecordingCanvas first, next;
    rules.Paint(first);  // sets the band, drawn from the next paint on
    rules.Paint(next);
    ASSERT_EQ(next.polygons.size(), 2u);  // the band, 8.55 .. 9.45 V, and the legend's swatch
    EXPECT_EQ(next.polygons[0].color, (Color{0, 255, 0, 0x40}));
    EXPECT_TRUE(std::any_of(next.textsAt.begin(), next.textsAt.end(),
                            [](const auto& t) { return t.text == "Acceptable Range"; }));
}

TEST_F(GraphWindowRules, SaveGraphPicksTheFormatAndReportsTheOutcome) {
    window.QueueSavePath("C:\\out\\graph.JPG");
    rules.OnCommand(IDC_GRAPH_SAVE, 0);
    window.QueueSavePath("C:\\out\\graph.png");
    shell.result = GraphWindowShell::ImageResult::WriteFailed;
    rules.OnCommand(IDC_GRAPH_SAVE, 0);
    window.QueueSavePath(std::nullopt);
    rules.OnCommand(IDC_GRAPH_SAVE, 0);

    EXPECT_EQ(shell.saved, (std::vector<GraphImageFormat>{GraphImageFormat::Jpeg, GraphImageFormat::Png}));
    ASSERT_EQ(window.Messages().size(), 2u);
    EXPECT_EQ(window.Messages()[0].text, "Graph was successfully saved to image file: C:\\out\\graph.JPG");
    EXPECT_EQ(window.Messages()[1].text,
              "Could not save to image file.\nCheck that the appropriate permissions are set for the file/directory.");
}

// A renegotiated sink voltage moves a running sink-voltage graph's range and
// keeps its samples; a finished run is left as it is, ready to be saved.
TEST_F(GraphWindowRules, ARenegotiationRescalesOnlyARunningSinkVoltageGraph) {
    Measurements fiveVolts;
    fiveVolts.sinkVbusMv = 5000;
    live.PublishMeasurement(fiveVolts, 0);
    live.sinkProfileType = 6;
    live.sinkVoltageMv = 5000;
    settings.signal = kSignalSinkVoltage;
    RunUntilSampled();
    EXPECT_EQ(rules.Chart()->YMin(), 3.0f);
    auto renegotiate = [&](uint16_t mv) {
        live.sinkVoltageMv = mv;
        live.profileChanged = true;
        rules.OnTimer();
        return std::tuple(rules.Chart()->YMin(), rules.Chart()->YMax(), rules.Chart()->Value(0, 0));
    };
    EXPECT_EQ(renegotiate(9000), std::tuple(7.0f, 11.0f, 5.0f)) << "the samples stay";
    rules.OnCommand(IDC_GRAPH_RUN, 0);
    rules.JoinRunner();
    EXPECT_EQ(renegotiate(5000), std::tuple(7.0f, 11.0f, 5.0f)) << "a finished run keeps its range";
}
