#include <gtest/gtest.h>

#include "monitor/profile_type.h"
#include "monitor/voltage_limits.h"

TEST(ProfileType, EprAvsReportsWattsAsCurrent) {
    EXPECT_EQ(RatedCurrentMa(7, 3, 140, 28000), 5000);
    EXPECT_EQ(RatedCurrentMa(7, 3, 140, 20000), 7000);
    EXPECT_EQ(RatedCurrentMa(6, 3, 3000, 20000), 3000) << "other profiles keep their current";
    EXPECT_EQ(RatedCurrentMa(7, 3, 140, 0), 140) << "no division by a voltage below 1 V";
    EXPECT_EQ(RatedCurrentMa(7, 3, 140, 999), 140);
}

TEST(ProfileType, VoltageGrids) {
    EXPECT_EQ(RoundVoltageForProfile(6, 3, 9015), 9000);
    EXPECT_EQ(RoundVoltageForProfile(6, 3, 9039), 9020);
    EXPECT_EQ(RoundVoltageForProfile(4, 2, 9150), 9000);
    EXPECT_EQ(RoundVoltageForProfile(7, 3, 27999), 27800);
    EXPECT_EQ(RoundVoltageForProfile(6, 0, 9015), 9015);
}

TEST(VoltageLimits, PdFixedAtNineVolts) {
    VoltageLimitInputs in{6, 0, 9000, 3000, 3000, 3000, false};
    auto limits = ComputeVoltageLimits(in);
    ASSERT_TRUE(limits);
    EXPECT_NEAR(limits->maximumV, 9.45, 1e-4);
    EXPECT_NEAR(limits->minimumV, 7.80, 1e-4);
    in.negotiatedMv = 5000;
    EXPECT_FLOAT_EQ(ComputeVoltageLimits(in)->maximumV, 5.5f);
    in.estimateUpstreamVbus = true;
    in.negotiatedMv = 9000;
    EXPECT_NEAR(ComputeVoltageLimits(in)->minimumV, 8.55, 1e-4) << "no drop allowance with compensation";
}

TEST(VoltageLimits, EachProfileFamily) {
    auto limits = [](uint32_t type, uint8_t subtype, uint16_t mv, uint16_t loadMa, uint16_t sinkMa, uint16_t limitMa) {
        return *ComputeVoltageLimits({type, subtype, mv, loadMa, sinkMa, limitMa, false});
    };
    EXPECT_NEAR(limits(1, 0, 5000, 1000, 1000, 2000).minimumV, 4.75 - 0.834, 1e-4);
    EXPECT_NEAR(limits(3, 2, 5000, 1000, 500, 2000).minimumV, 2.0, 1e-6) << "DCP at 500 mA and more";
    EXPECT_NEAR(limits(3, 2, 5000, 400, 499, 2000).minimumV, 4.75 - 0.4 * 0.834, 1e-4);
    EXPECT_NEAR(limits(7, 3, 28000, 5000, 5000, 5000).minimumV, 26.6, 1e-3);
    EXPECT_NEAR(limits(6, 0, 20000, 5000, 5000, 5000).minimumV, 19.0 - 0.75, 1e-4) << "5 A cable rating";
    EXPECT_NEAR(limits(4, 2, 9000, 2000, 2000, 2000).minimumV, 8.55 - 2 * 0.834, 1e-4);
    EXPECT_FALSE(ComputeVoltageLimits({0, 0, 5000, 1000, 1000, 1000, false})) << "no limits for unknown";
}

TEST(LoadCurrentLimit, Modes) {
    EXPECT_EQ(LoadCurrentLimit(0, 0, 3000), 3000);
    EXPECT_EQ(LoadCurrentLimit(1, 0, 5000), 5600) << "6000 capped";
    EXPECT_EQ(LoadCurrentLimit(1, 0, 3000), 3600);
    EXPECT_EQ(LoadCurrentLimit(2, 3, 3000), 2500);
    EXPECT_EQ(LoadCurrentLimit(2, 9, 3000), 5500);
}
