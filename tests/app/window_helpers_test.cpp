#include <gtest/gtest.h>

#include <array>

#include "app/main_window_fit.h"
#include "app/plug_info_table.h"
#include "ui/center_on_owner.h"

TEST(CenterOnOwner, CentresAndKeepsTheDialogInTheOwnersWorkArea) {
    const Rect screen = {0, 0, 1280, 1024};
    // Owner 100..500 x 100..400, dialog 200 x 100.
    EXPECT_EQ(CenteredOnOwner({100, 100, 500, 400}, 200, 100, screen), (Point{200, 200}));
    // An odd difference rounds toward the owner's start.
    EXPECT_EQ(CenteredOnOwner({0, 0, 301, 301}, 200, 200, screen), (Point{50, 50}));
    // Off the left and top edges: pinned to them.
    EXPECT_EQ(CenteredOnOwner({-300, -200, 100, 100}, 600, 500, screen), (Point{0, 0}));
    // Past the right and bottom edges: pulled back inside.
    EXPECT_EQ(CenteredOnOwner({1100, 900, 1300, 1100}, 400, 300, screen), (Point{880, 724}));
    // An owner on a second monitor to the right, whose task bar takes 40 px
    // at the bottom: the dialog stays on that monitor.
    const Rect second = {1280, 0, 3200, 1040};
    EXPECT_EQ(CenteredOnOwner({2900, 800, 3300, 1100}, 400, 300, second), (Point{2800, 740}));
    // Larger than the area: at its top, and centred across it.
    EXPECT_EQ(KeptInWorkArea({1500, 50}, 2000, 1200, second), (Point{1240, 0}));
}

TEST(PlugInfoTable, LeavingFreesOnlyTheProcessOwnRecords) {
    std::array<uint8_t, kPlugInfoTableBytes> table = {};
    auto own = [&](size_t record, uint32_t pid) {
        uint8_t* at = table.data() + record * kPlugInfoRecordBytes;
        at[0] = 'V';
        for (int i = 0; i < 4; ++i)
            at[kPlugInfoNameBytes + i] = static_cast<uint8_t>(pid >> (8 * i));
    };
    own(0, 0x12345678);
    own(5, 77);
    own(31, 0x12345678);
    EXPECT_EQ(ReleasePlugInfoRecords(table, 0x12345678), 2);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[31 * kPlugInfoRecordBytes + kPlugInfoNameBytes + 3], 0);
    EXPECT_EQ(table[5 * kPlugInfoRecordBytes], 'V');
    EXPECT_EQ(table[5 * kPlugInfoRecordBytes + kPlugInfoNameBytes], 77);
}

TEST(MainWindowFit, TheLogPaneGivesUpHeightSoTheWindowFitsTheWorkArea) {
    const Rect workArea = {0, 0, 1280, 994};  // 1280 x 1024 less a 30-pixel task bar
    // At 100 % the window fits: nothing changes.
    MainWindowFit fit = FitMainWindow({0, 0, 841, 845}, workArea, 247, 60);
    EXPECT_EQ(fit.paneShrink, 0);
    EXPECT_EQ(fit.window, (Rect{0, 0, 841, 845}));
    // At 150 % it is 1,267 pixels tall: the pane loses the 273 pixels over.
    fit = FitMainWindow({0, 0, 1254, 1267}, workArea, 370, 90);
    EXPECT_EQ(fit.paneShrink, 273);
    EXPECT_EQ(fit.window, (Rect{0, 0, 1254, 994}));
    // A pane that may not lose that much keeps its minimum; the window then
    // starts at the top of the area and is as short as it can be.
    fit = FitMainWindow({100, 200, 1354, 1467}, workArea, 300, 90);
    EXPECT_EQ(fit.paneShrink, 210);
    EXPECT_EQ(fit.window, (Rect{26, 0, 1280, 1057}));
}
