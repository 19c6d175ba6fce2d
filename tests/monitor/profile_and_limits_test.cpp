#include <gtest/gtest.h>

#include "monitor/profile_type.h"
#include "monitor/voltage_limits.h"

TEST(ProfileType, EprAvsReportsWattsAsCurrentAndVoltageGrids) {
    EXPECT_EQ(RatedCurrentMa(7, 3, 140, 28000), 5000);
    EXPECT_EQ(RatedCurrentMa(7, 3, 140, 20000), 7000);
    EXPECT_EQ(RatedCurrentMa(6, 3, 3000, 20000), 3000) << "other profiles keep their current";
    EXPECT_EQ(RatedCurrentMa(7, 3, 140, 0), 140) << "no division by a voltage below 1 V";
    EXPECT_EQ(RatedCurrentMa(7, 3, 140, 999), 140);
    EXPECT_EQ(RoundVoltageForProfile(7, 3, 27999), 27800);
}

TEST(VoltageLimits, EachProfileFamily) {
    struct Case {
        const char* what;
        RunProfile profile;
        uint16_t loadMa, sinkMa;
        double minimumV, maximumV;
    } cases[] = {
        {"PD fixed 9 V", {6, 0, 9000, 0, 3000, false}, 3000, 3000, 7.80, 9.45},
        {"PD fixed 9 V with compensation: no drop allowance", {6, 0, 9000, 0, 3000, true}, 3000, 3000, 8.55, 9.45},
        {"PD fixed 5 V", {6, 0, 5000, 0, 3000, false}, 3000, 3000, 4.75 - 0.75, 5.5},
        {"PD fixed 20 V at 5 A: 5 A cable rating", {6, 0, 20000, 0, 5000, false}, 5000, 5000, 19.0 - 0.75, 21.0},
        {"type 1", {1, 0, 5000, 0, 2000, false}, 1000, 1000, 4.75 - 0.834, 0},
        {"DCP at 500 mA and more", {3, 2, 5000, 0, 2000, false}, 1000, 500, 2.0, 0},
        {"DCP below 500 mA", {3, 2, 5000, 0, 2000, false}, 400, 499, 4.75 - 0.4 * 0.834, 0},
        {"EPR AVS 28 V", {7, 3, 28000, 0, 5000, false}, 5000, 5000, 26.6, 0},
        {"type 4 at 2 A", {4, 2, 9000, 0, 2000, false}, 2000, 2000, 8.55 - 2 * 0.834, 0},
        {"Type-C at 5 V", {5, 0, 5000, 0, 3000, false}, 3000, 3000, 4.75 - 0.75, 5.5},
        {"Type-C reported at 9 V: a range, not 8.55 V up to 5.5 V", {5, 0, 9000, 0, 3000, false}, 0, 0, 8.55, 9.45},
    };
    for (const Case& c : cases) {
        auto limits = ComputeVoltageLimits(c.profile, c.loadMa, c.sinkMa);
        ASSERT_TRUE(limits) << c.what;
        EXPECT_NEAR(limits->minimumV, c.minimumV, 1e-3) << c.what;
        if (c.maximumV != 0) {
            EXPECT_NEAR(limits->maximumV, c.maximumV, 1e-3) << c.what;
        }
    }
    EXPECT_FALSE(ComputeVoltageLimits({0, 0, 5000, 0, 1000, false}, 1000, 1000)) << "no limits for unknown";
}

TEST(LoadCurrentLimit, Modes) {
    EXPECT_EQ(LoadCurrentLimit(0, 0, 3000), 3000);
    EXPECT_EQ(LoadCurrentLimit(1, 0, 5000), 5600) << "6000 capped";
    EXPECT_EQ(LoadCurrentLimit(1, 0, 3000), 3600);
    EXPECT_EQ(LoadCurrentLimit(2, 3, 3000), 2500);
    EXPECT_EQ(LoadCurrentLimit(2, 9, 3000), 5500);
}
