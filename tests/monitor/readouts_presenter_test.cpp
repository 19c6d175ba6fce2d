#include "monitor/readouts_presenter.h"

#include <gtest/gtest.h>

#include "support/fake_window.h"
#include "ui/main_window_ids.h"

// What the presenter writes: a value published again is shown again (the
// user may have typed over it), a readout whose text would not change is
// left alone, and nothing unpublished is touched.
TEST(ReadoutsPresenter, ShowsWhatWasPublishedSinceTheLastApplyAndOnlyThat) {
    LiveState live;
    FakeWindow window;
    ReadoutsPresenter presenter(live, window);
    window.SetText(IDC_CURRENT_EDIT, "0");
    presenter.Apply();
    EXPECT_EQ(window.GetText(IDC_CURRENT_EDIT), "0") << "nothing published yet";
    EXPECT_TRUE(window.Timers().empty());

    Measurements answer;
    answer.sinkVbusMv = 9012;
    answer.sinkCurrentMa = 1500;
    answer.temperatureC = 31;
    Measurement m = live.PublishMeasurement(answer, 0);
    live.UpdateReadouts([&m](Readouts& r) {
        r.sinkReadings.Set(m);
        r.temperatureC.Set(m.temperatureC);
        r.sinkCapacity.Set(Capacity{12.9, 108.4});
        r.currentEditMa.Set(0);
        r.readingsLogPeriodMs.Set(10000);
    });
    window.SetText(IDC_CURRENT_EDIT, "1234");  // the user typed, then the port detached
    presenter.Apply();
    EXPECT_EQ(window.GetText(IDC_SINK_VBUS), "9.01 V");
    EXPECT_EQ(window.GetText(IDC_SINK_CURRENT), "1500 mA");
    EXPECT_EQ(window.GetText(IDC_SINK_POWER), "13.52 W");
    EXPECT_EQ(window.GetText(IDC_TEMPERATURE), "31 C");
    EXPECT_EQ(window.GetText(IDC_SINK_CAPACITY), "12\r\n108");
    EXPECT_EQ(window.GetText(IDC_CURRENT_EDIT), "0") << "published again: shown again";
    EXPECT_EQ(window.Timers(), (std::map<int, uint32_t>{{IDT_READINGS_LOG, 10000}}));

    window.SetText(IDC_SINK_VBUS, "untouched");
    live.UpdateReadouts([&m](Readouts& r) {
        r.sinkReadings.Set(m);  // the same reading again
        r.sinkReadings.Set(m);
    });
    presenter.Apply();
    EXPECT_EQ(window.GetText(IDC_SINK_VBUS), "untouched") << "an unchanged text is not written again";

    live.UpdateReadouts([](Readouts& r) {
        r.sinkReadings.Set(std::nullopt);
        r.temperatureC.Set(std::nullopt);
        r.sinkCapacity.Set(std::nullopt);
        r.readingsLogPeriodMs.Set(0);
    });
    presenter.Apply();
    EXPECT_EQ(window.GetText(IDC_SINK_VBUS), " ");
    EXPECT_EQ(window.GetText(IDC_TEMPERATURE), " ");
    EXPECT_EQ(window.GetText(IDC_SINK_CAPACITY), "");
    EXPECT_TRUE(window.Timers().empty());
}
