#include "app/readouts_presenter.h"

#include <gtest/gtest.h>

#include "support/fake_window.h"
#include "ui/main_window_ids.h"

// A value published again is shown again (the user may have typed over
// it); a readout whose text would not change is left alone. The texts
// themselves are checked through the poll loop's tests.
TEST(ReadoutsPresenter, ShowsWhatWasPublishedSinceTheLastApplyAndOnlyThat) {
    LiveState live;
    FakeWindow window;
    ReadoutsPresenter presenter(live, window);
    Measurement m = live.PublishMeasurement(Measurements{25, 9012, 0, 0, 1500, 0}, 0);
    live.UpdateReadouts([&m](Readouts& r) {
        r.sinkReadings.Set(m);
        r.currentEditMa.Set(0);
    });
    window.SetText(IDC_CURRENT_EDIT, "1234");  // typed before the window caught up
    presenter.Apply();
    EXPECT_EQ(window.GetText(IDC_SINK_POWER), "13.52 W");
    EXPECT_EQ(window.GetText(IDC_CURRENT_EDIT), "0") << "published again: shown again";

    window.SetText(IDC_SINK_VBUS, "untouched");
    live.UpdateReadouts([&m](Readouts& r) { r.sinkReadings.Set(m); });
    presenter.Apply();
    EXPECT_EQ(window.GetText(IDC_SINK_VBUS), "untouched") << "an unchanged text is not written again";
    EXPECT_EQ(window.GetText(IDC_CURRENT_EDIT), "0");
}
