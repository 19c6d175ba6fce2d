#include "config/calibration.h"

#include <gtest/gtest.h>

#include <map>

#include "support/fake_window.h"
#include "support/memory_line.h"
#include "support/run_context_bench.h"
#include "support/test_helpers.h"
#include "ui/config_ids.h"

namespace {
using Texts = std::vector<std::string>;

// A tester that keeps a calibration per channel and records what it is sent.
class CalibrationDialog : public ::testing::Test {
protected:
    void SetUp() override {
        line.tester.SetHandler([this](uint8_t cmd, std::span<const uint8_t> payload) -> Bytes {
            std::lock_guard<std::mutex> held(lock);
            if (failing) return ScriptedTester::Frame(kCmdGetDeviceInfo);
            if (cmd == kCmdGetCalibration) {
                Bytes record = stored.count(payload[0]) ? stored[payload[0]] : Bytes(11, 0);
                return ScriptedTester::Frame(cmd, record);
            }
            if (cmd == kCmdSetCalibration) sent.emplace_back(payload.begin(), payload.end());
            if (cmd == kCmdResetCalibration) resets.push_back(payload[0]);
            return ScriptedTester::Frame(cmd);
        });
        ASSERT_TRUE(connection.Connect("COM7", [](int) {}));
        // The poll loop measures while the dialog samples.
        clock.onSleep = [this](uint64_t nowMs) {
            if (measuring) live.PublishMeasurement(reading, nowMs);
        };
        live.connected = true;
        live.sinkActive = true;
        window.AnswerMessagesWith(Prompts::kAnswerYes);
        rules.Open();
    }

    void Channel(int port, int quantity) {
        dialog.SelectItem(IDC_CAL_PORT, port);
        dialog.SelectItem(IDC_CAL_QUANTITY, quantity);
        rules.OnCommand(IDC_CAL_QUANTITY);
    }
    void Points(const std::string& a1, const std::string& a2, const std::string& m1, const std::string& m2) {
        dialog.SetText(IDC_CAL_APPLIED_1, a1);
        dialog.SetText(IDC_CAL_APPLIED_2, a2);
        dialog.SetText(IDC_CAL_MEASURED_1, m1);
        dialog.SetText(IDC_CAL_MEASURED_2, m2);
    }

    MemoryLine line;
    HookedClock clock;
    Measurements reading;
    bool measuring = true;
    TesterConnection connection{line.Factory(), clock};
    std::mutex lock;
    std::map<uint8_t, Bytes> stored;
    std::vector<Bytes> sent;
    Bytes resets;
    bool failing = false;
    LiveState live;
    FakeWindow dialog, window;
    Calibration rules{{dialog, window, connection, live, clock, [] { return std::pair{2026, 12}; }}};
};

}  // namespace

TEST_F(CalibrationDialog, PointsAreCheckedAgainstBoundsAndSpacing) {
    struct Case {
        int port, quantity;
        const char *point1, *point2, *message;
    } cases[] = {
        {0, 0, "3800", "20000", ""},
        {0, 0, "3799", "20000", "Invalid calibration point. Point 1 should be equal or greater than 3800."},
        {0, 0, "4000", "13999", "Invalid calibration point. point 1 and point 2 should be at least 10000 apart."},
        {0, 0, "4000", "14000", ""},
        {0, 1, "500", "3151", "Invalid calibration point. Point 2 should be equal or less than 3150."},
        {1, 0, "4000", "4001", "Invalid calibration point. point 1 and point 2 should be at least 10000 apart."},
        {1, 1, "500", "2499", "Invalid calibration point. point 1 and point 2 should be at least 2000 apart."},
        {0, 0, "4k", "20000", "\"To be applied value\" for point 1 is incorrect"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.point1) + " " + c.point2);
        Channel(c.port, c.quantity);
        Points(c.point1, c.point2, "5000", "19000");
        size_t before = sent.size();
        rules.OnCommand(IDC_CAL_CALIBRATE);
        EXPECT_EQ(sent.size(), before + (*c.message ? 0 : 1));
        if (*c.message) {
            EXPECT_EQ(window.LastMessage(), c.message);
        }
    }
}

TEST_F(CalibrationDialog, CalibrateSendsThePointsInReferenceThenTesterOrder) {
    Channel(1, 0);
    Points("4000", "20000", "3990", "19950");
    rules.OnCommand(IDC_CAL_CALIBRATE);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Bytes{2, 26, 12, 0xA0, 0x0F, 0x96, 0x0F, 0x20, 0x4E, 0xEE, 0x4D}));
    EXPECT_EQ(dialog.Texts({IDC_CAL_GAIN, IDC_CAL_DATE}), (Texts{"1.002506", "2026/12"}));
    EXPECT_NEAR(std::atof(dialog.GetText(IDC_CAL_OFFSET).c_str()), 0, 0.5);
    EXPECT_EQ(window.Messages()[0].text, "Are you sure you want to overwrite the calibration data?");
    EXPECT_EQ(window.Messages()[0].style, 0x134u) << "Yes/No, warning, No as default";

    Channel(1, 1);
    Points("500", "3000", "510", "3020");
    rules.OnCommand(IDC_CAL_CALIBRATE);
    EXPECT_EQ(Bytes(sent[1].begin() + 3, sent[1].end()), Words({510, 500, 3020, 3000}));

    // A value beyond 16 bits would wrap on the wire.
    Points("500", "3000", "510", "40000");
    rules.OnCommand(IDC_CAL_CALIBRATE);
    EXPECT_EQ(window.LastMessage(), "Calibration values must lie between -32768 and 32767.");
    // Equal tester values would make every reading one value.
    Points("500", "3000", "", "3020");
    rules.OnCommand(IDC_CAL_CALIBRATE);
    EXPECT_EQ(window.LastMessage(), "Please carry out the measurement for point 1");
    Channel(0, 0);
    Points("4000", "20000", "9000", "9000");
    rules.OnCommand(IDC_CAL_CALIBRATE);
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_EQ(window.Messages().back().title, "Voltiq Error");
}

TEST_F(CalibrationDialog, StoredRecordsFailuresAndReset) {
    stored[2] = Words({4000, 3990, 20000, 19950}, {1, 25, 3});
    stored[3] = Words({510, 700, 3020, 700}, {1, 25, 3});
    Channel(1, 0);
    EXPECT_EQ(dialog.Texts({IDC_CAL_DATE, IDC_CAL_MEASURED_2}), (Texts{"2025/03", "19950"}));
    Channel(1, 1);
    EXPECT_EQ(dialog.Texts({IDC_CAL_GAIN, IDC_CAL_APPLIED_1, IDC_CAL_MEASURED_1, IDC_CAL_APPLIED_HEADING}),
              (Texts{"N/A", "700", "510", "TX52"}))
        << "equal tester values give no gain";
    EXPECT_FALSE(dialog.Get(IDC_CAL_READ_1).enabled);

    failing = true;
    Channel(1, 0);
    EXPECT_EQ(dialog.Texts({IDC_CAL_DATE, IDC_CAL_GAIN, IDC_CAL_MEASURED_2}), (Texts{"read failed", "read failed", ""}))
        << "a failed read shows nothing stale, and says so";
    Points("4000", "20000", "3990", "19950");
    rules.OnCommand(IDC_CAL_CALIBRATE);
    EXPECT_EQ(window.LastMessage(), "The Voltiq did not store the calibration; it keeps the one it had.");
    EXPECT_EQ(dialog.GetText(IDC_CAL_GAIN), "read failed");
    rules.OnCommand(IDC_CAL_RESET);
    EXPECT_EQ(window.LastMessage(), "The Voltiq did not reset the calibration; it keeps the one it had.");

    failing = false;
    Channel(1, 1);
    dialog.SetCheck(IDC_CAL_USER_POINTS, true);
    rules.OnCommand(IDC_CAL_USER_POINTS);
    dialog.SetText(IDC_CAL_APPLIED_1, "600");
    dialog.SetCheck(IDC_CAL_USER_POINTS, false);
    rules.OnCommand(IDC_CAL_USER_POINTS);
    EXPECT_EQ(dialog.Texts({IDC_CAL_APPLIED_1, IDC_CAL_APPLIED_2}), (Texts{"500", "3000"}));
    rules.OnCommand(IDC_CAL_RESET);
    EXPECT_EQ(resets, Bytes{3});
    EXPECT_EQ(dialog.GetText(IDC_CAL_GAIN), "N/A");
}

TEST_F(CalibrationDialog, ReadAveragesLiveReadingsOnlyFromAMeasuringPort) {
    Channel(1, 0);
    reading.sinkVbusMv = 24200;
    rules.OnCommand(IDC_CAL_READ_2);
    EXPECT_EQ(dialog.GetText(IDC_CAL_MEASURED_2), "24200");
    EXPECT_EQ(window.LastMessage(), "The measured value is not close to the applied value.");
    EXPECT_EQ(clock.NowMs(), 3000u) << "30 samples 100 ms apart";
    size_t messages = window.Messages().size();
    reading.sinkVbusMv = 24199;
    rules.OnCommand(IDC_CAL_READ_2);
    EXPECT_EQ(window.Messages().size(), messages) << "20 % after truncation is close enough";
    EXPECT_EQ(dialog.Texts({IDC_CAL_MEASURED_2, IDC_CAL_READ_2}), (Texts{"24199", "Read"}));
    EXPECT_TRUE(dialog.Get(IDC_CAL_READ_2).enabled);

    // The source side is measured with every measurement, also while only
    // the sink port has a device.
    reading.sourceVbusMv = 19980;
    Channel(0, 0);
    rules.OnCommand(IDC_CAL_READ_2);
    EXPECT_EQ(dialog.GetText(IDC_CAL_MEASURED_2), "19980");
    Channel(1, 0);

    // Stale readings are refused: nothing on the sink port, or a tester
    // that measured nothing new during the whole read.
    for (bool attached : {false, true}) {
        live.sinkActive = attached;
        measuring = false;
        size_t before = window.Messages().size();
        rules.OnCommand(IDC_CAL_READ_1);
        EXPECT_EQ(dialog.GetText(IDC_CAL_MEASURED_1), "");
        ASSERT_EQ(window.Messages().size(), before + 1);
        EXPECT_EQ(window.Messages().back().title, "Voltiq Error");
        EXPECT_NE(window.LastMessage().find("Sink port has no live readings"), std::string::npos);
    }
}

// A typo never overwrites the stored calibration: a falling line is refused,
// a gain far from 1 is stored only when confirmed (No by default); and what
// is stored is the channel and points shown when Calibrate was pressed,
// whatever the user did under the question.
TEST_F(CalibrationDialog, ImplausibleGainsAndChangesUnderTheQuestion) {
    Channel(1, 0);
    Points("4000", "20000", "20000", "4000");  // measured values swapped
    rules.OnCommand(IDC_CAL_CALIBRATE);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(window.LastMessage(),
              "These points give a gain of -1.000000: a higher reading would mean a lower value.\n"
              "Check the measured values and the points.");

    Points("4000", "20000", "3300", "16600");  // a gain of 1.203
    window.WhileMessageShown([this] { window.AnswerMessagesWith(Prompts::kAnswerNo); });
    rules.OnCommand(IDC_CAL_CALIBRATE);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(window.LastMessage().rfind("These points give a gain of 1.20300", 0), 0u) << window.LastMessage();
    EXPECT_TRUE(window.LastMessage().ends_with(", far from a gain of 1.\nStore this calibration anyway?"));
    EXPECT_EQ(window.Messages().back().style, 0x134u) << "Yes/No, No as default";
    window.WhileMessageShown(nullptr);
    window.AnswerMessagesWith(Prompts::kAnswerYes);
    rules.OnCommand(IDC_CAL_CALIBRATE);
    EXPECT_EQ(sent.size(), 1u);

    Points("4000", "20000", "3990", "19950");
    window.WhileMessageShown([this] {
        Channel(0, 1);
        Points("600", "3000", "610", "3030");
    });
    rules.OnCommand(IDC_CAL_CALIBRATE);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], (Bytes{2, 26, 12, 0xA0, 0x0F, 0x96, 0x0F, 0x20, 0x4E, 0xEE, 0x4D}))
        << "the sink VBUS channel with the points shown when Calibrate was pressed";
    EXPECT_EQ(dialog.GetText(IDC_CAL_APPLIED_1), "600") << "the other channel's view is left as it is";
}
