#include <gtest/gtest.h>

#include "device/frame.h"
#include "physical_model.h"

// The physics, driven directly in model time.
namespace {
using Offers = std::pair<size_t, int>;  // how many, and the first one's type

class SimPhysics : public ::testing::Test {
protected:
    void Plug(const std::string& name) {
        model.Plug(*FindChargerPreset(name));
        model.TakeEvents();
    }
    std::vector<uint8_t> Notifications() {
        std::vector<uint8_t> seen;
        for (const ModelEvent& e : model.TakeEvents()) {
            if (e.notification != 0) seen.push_back(e.notification);
        }
        return seen;
    }
    void SetRegister(uint8_t reg, std::vector<uint8_t> value) {
        ASSERT_TRUE(memory.SetRegister(reg, value));
        model.RegisterChanged(reg);
    }
    void Run(uint64_t ms) {
        now += ms;
        model.AdvanceTo(now);
    }

    TesterMemory memory;
    uint64_t now = 1000;
    PhysicalModel model{memory, 3, now};
};
}  // namespace

// The droop itself is checked with the scenario commands and the voltage
// test; compensation reports the estimate upstream of the cable set in
// register 0x04.
TEST_F(SimPhysics, EstimatedVbusAddsBackTheDropOverTheCable) {
    Plug("pd65");
    model.RequestSinkProfile(1, 9000);
    model.SetLoad(2000, 0);
    model.SetCableMilliohm(300);
    Run(10);
    SetRegister(kRegEstimateVbus, {1});
    SetRegister(kRegCableResistance, {44, 1});  // 300 mOhm
    // The mean of 20 readings, so the noise does not decide the result.
    double sum = 0;
    for (int i = 0; i < 20; ++i)
        sum += model.Measure().sinkVbusMv;
    EXPECT_NEAR(sum / 20, 9000 - 45 * 2, 6);
}

TEST_F(SimPhysics, LoadRampsDownOverTheChangeTimeAndStopsAtTheCurrentLimit) {
    Plug("pd65");  // 5 V, 3 A rated
    model.SetLoad(2000, 0);
    Run(10);
    model.SetLoad(0, 200);
    Run(100);
    EXPECT_NEAR(model.LoadCurrentMa(), 1000, 20) << "down as well as up";

    model.SetLoad(4000, 0);
    Run(10);
    EXPECT_EQ(model.LoadCurrentMa(), 3000);  // enforce limits
    SetRegister(kRegCurrentLimit, {1});
    model.SetLoad(4000, 0);
    Run(10);
    // 20 % over.
    EXPECT_EQ(std::tuple(model.LoadCurrentMa(), model.Measure().loadSetpointMa, model.SinkAttached()),
              std::tuple(3600, 4000, true));
}

TEST_F(SimPhysics, OverCurrentTripsTheChargerWhichReattachesLater) {
    Plug("pd65");
    model.RequestSinkProfile(2, 12000);
    Notifications();
    SetRegister(kRegCurrentLimit, {2, 0x88, 0x13});  // force 5000 mA on a 3 A offer
    model.SetLoad(5000, 100);
    Run(60);
    EXPECT_TRUE(model.SinkAttached());  // still ramping below the trip point
    Run(200);
    EXPECT_FALSE(model.SinkAttached());
    EXPECT_EQ(Notifications(), std::vector<uint8_t>{kCmdSinkDetached});
    EXPECT_EQ(std::tuple(model.Measure().sinkVbusMv, model.Measure().sinkCurrentMa), std::tuple(0, 0));

    Run(PhysicalModel::kReattachMs - 500);
    EXPECT_FALSE(model.SinkAttached());
    Run(600);
    ASSERT_TRUE(model.SinkAttached());
    EXPECT_EQ(Notifications(), std::vector<uint8_t>{kCmdSinkAttached});
    // A fresh contract starts at 5 V, without the load that tripped it.
    EXPECT_EQ(std::tuple(model.NegotiatedMv(), model.LoadCurrentMa()), std::tuple(5000, 0));
}

TEST_F(SimPhysics, DetectionAndAutomaticSelectionRegisters) {
    auto offers = [&] {
        const auto& caps = model.Capabilities();
        return Offers(caps.size(), caps[0].type);
    };
    SetRegister(kRegPdDetection, {0});
    Plug("pd65");
    EXPECT_EQ(offers(), Offers(1, kTypeUsbc));
    SetRegister(kRegPdDetection, {255});
    EXPECT_EQ(Notifications(), std::vector<uint8_t>{kCmdSinkCapabilityChanged});
    EXPECT_EQ(model.Capabilities().size(), 8u);
    SetRegister(kRegPpsDetection, {0});
    EXPECT_EQ(model.Capabilities().size(), 6u) << "without its PPS offers";
    SetRegister(kRegPpsDetection, {1});

    Plug("qc3");
    EXPECT_EQ(model.Capabilities().size(), 3u);
    SetRegister(kRegQcDetection, {0});
    EXPECT_EQ(offers(), Offers(1, kTypeBc));
    EXPECT_EQ(model.Capabilities()[0].subtype, kSubtypeBcDcp);
    SetRegister(kRegBcDetection, {0});
    EXPECT_EQ(offers(), Offers(1, kTypeLegacy)) << "still 5 V on the wire";

    // Automatic selection.
    SetRegister(kRegAutoProfile, {0});
    SetRegister(kRegAutoVoltage, {0x28, 0x23});  // 9000 mV
    SetRegister(kRegAutoCurrent, {0xE8, 0x03});  // 1000 mA
    Plug("pd65");
    EXPECT_EQ(model.NegotiatedMv(), 9000);
    Run(PhysicalModel::kStepMs * 30);
    EXPECT_EQ(model.LoadCurrentMa(), 1000);

    // Without "apply on capability change" a changed charger starts at 5 V.
    SetRegister(kRegAutoProfile, {kAutoProfileMax});
    model.ChangeCharger(*FindChargerPreset("pd65"));
    EXPECT_EQ(model.NegotiatedMv(), 5000);
    SetRegister(kRegApplyOnChange, {1});
    model.ChangeCharger(*FindChargerPreset("epr140"));
    EXPECT_EQ(model.NegotiatedMv(), 28000);
}

TEST_F(SimPhysics, AvsReportsWattsAndLimitsCurrentByPower) {
    Plug("epr140");
    size_t avs = model.Capabilities().size() - 2;
    ASSERT_TRUE(model.Capabilities()[avs].IsAvs());
    model.RequestSinkProfile(static_cast<uint8_t>(avs), 28049);
    EXPECT_EQ(model.NegotiatedMv(), 28000);  // 100 mV grid, within the range
    PortStatus s = model.Status();
    EXPECT_EQ(std::tuple(s.sinkProfileType, s.sinkProfileSubtype, s.sinkProfileCurrentMa),
              std::tuple(kTypeEpr, kSubtypeProgrammable, 140))
        << "watts";
    model.RequestSinkProfile(static_cast<uint8_t>(avs), 20000);
    EXPECT_EQ(model.RatedCurrentMa(), 5000);  // 7 A by power, capped at 5 A
}
