#include <gtest/gtest.h>

#include <array>

#include "app/plug_info_table.h"
#include "support/fake_window.h"
#include "ui/center_on_owner.h"
#include "ui/firmware_check.h"

TEST(FirmwareCheck, NamesTheVersionNeeded) {
    EXPECT_EQ(FirmwareOutOfDateText(42),
              "This feature was added in a newer firmware version than is currently installed on the connected "
              "Voltiq. Please update the unit to at least firmware verison 4.2 to use this feature.");
    FakeWindow window;
    DeviceInfo info;
    info.firmwareVersion = 41;
    EXPECT_FALSE(CheckFirmware(info, window, 42));
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].title, "Firmware out of date");
    info.firmwareVersion = 42;
    EXPECT_TRUE(CheckFirmware(info, window, 42));
    EXPECT_EQ(window.Messages().size(), 1u);
}

TEST(CenterOnOwner, CentresAndKeepsTheDialogOnTheScreen) {
    // Owner 100..500 x 100..400, dialog 200 x 100 on a 1280 x 1024 screen.
    EXPECT_EQ(CenteredOnOwner({100, 100, 500, 400}, 200, 100, 1280, 1024), (Point{200, 200}));
    // An odd difference rounds toward the owner's start.
    EXPECT_EQ(CenteredOnOwner({0, 0, 301, 301}, 200, 200, 1280, 1024), (Point{50, 50}));
    // Off the left and top edges: pinned to 0.
    EXPECT_EQ(CenteredOnOwner({-300, -200, 100, 100}, 600, 500, 1280, 1024), (Point{0, 0}));
    // Past the right and bottom edges: pulled back inside.
    EXPECT_EQ(CenteredOnOwner({1100, 900, 1300, 1100}, 400, 300, 1280, 1024), (Point{880, 724}));
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
