#include "VEQTransport/VehicleSimulation.hpp"

#include <gtest/gtest.h>

using namespace veq;

namespace {

struct CyclePoint {
    double t;
    double rpm;
    double speedKmh;
    int gear;
};

// Engine speed, road speed and gear along the cycle, worked out by hand from the demand curve.
// clang-format off
const CyclePoint cyclePoints[] = {
    {0,      761,      0,                  0},  // idle, demand 0.02
    {14.99,  761,      0,                  0},
    {15,     650,      0,                  0},  // the ramp starts at demand 0
    {30,     2870,     55.681818181818194, 4},  // demand 0.4
    {44.999, 5089.852, 135.22196969696972, 8},  // top of the ramp, demand just under 0.8
    {45,     3702.5,   85.51136363636365,  6},  // oscillation starts at 0.55 (sin 0)
    {52.5,   4812.5,   125.28409090909092, 8},  // crest, 0.75
    {67.5,   2592.5,   45.738636363636374, 3},  // trough, 0.35
    {90,     3980,     95.45454545454545,  6},  // deceleration starts at 0.6
    {100,    2315,     35.79545454545454,  3},
    {109.9,  761,      0,                  0},  // floored at 0.02
    {112.99, 761,      0,                  0},
    {113,    761,      0,                  -1}, // reverse manoeuvre
    {115,    761,      0,                  -1},
    {117.99, 761,      0,                  -1},
    {118,    761,      0,                  0},
    {165,    3702.5,   85.51136363636365,  6},  // second cycle, c = 45
    {233,    761,      0,                  -1}, // second cycle, c = 113
};
// clang-format on

} // namespace

TEST(VehicleSimulationTests, CycleFollowsTheDemandCurve) {
    const VehicleSimulation simulation;
    for (const CyclePoint& p : cyclePoints) {
        SCOPED_TRACE(p.t);
        const VehicleState s = simulation.state(p.t);
        EXPECT_NEAR(s.rpm, p.rpm, 1e-6);
        EXPECT_NEAR(s.speedKmh, p.speedKmh, 1e-9);
        EXPECT_EQ(s.gear, p.gear);
        EXPECT_EQ(s.runtimeSeconds, p.t);
    }
}

TEST(VehicleSimulationTests, StartOfTheDrive) {
    // The encoder's table at time 0 checks the other fields through their bytes.
    const VehicleState s = VehicleSimulation().state(0);
    EXPECT_DOUBLE_EQ(s.coolantC, 21.12);
    EXPECT_DOUBLE_EQ(s.oilC, 21.2);
    EXPECT_DOUBLE_EQ(s.fuelLevelPercent, 72);
    EXPECT_DOUBLE_EQ(s.controlVoltage, 14.096);
    EXPECT_DOUBLE_EQ(s.egrCommandedPercent, 29.4);
    EXPECT_DOUBLE_EQ(s.longTrimPercent, -2.3);
}

TEST(VehicleSimulationTests, LaterCyclesRepeatTheDriveButKeepWarmingAndBurningFuel) {
    const VehicleSimulation simulation;
    const VehicleState first = simulation.state(0);
    for (double t : {120.0, 240.0}) {
        SCOPED_TRACE(t);
        const VehicleState later = simulation.state(t);
        EXPECT_DOUBLE_EQ(later.rpm, first.rpm);
        EXPECT_DOUBLE_EQ(later.speedKmh, first.speedKmh);
        EXPECT_EQ(later.gear, first.gear);
        EXPECT_GT(later.coolantC, first.coolantC);
        EXPECT_GT(later.oilC, first.oilC);
        EXPECT_LT(later.fuelLevelPercent, first.fuelLevelPercent);
    }
    EXPECT_NEAR(simulation.state(120).coolantC, 71.19539460813058, 1e-9);
    EXPECT_NEAR(simulation.state(240).coolantC, 84.3951253168495, 1e-9);
    EXPECT_DOUBLE_EQ(simulation.state(240).fuelLevelPercent, 71.6);
}

TEST(VehicleSimulationTests, FuelLevelIsNeverClamped) {
    const VehicleSimulation simulation;
    EXPECT_DOUBLE_EQ(simulation.state(12 * 3600).fuelLevelPercent, 0);
    EXPECT_DOUBLE_EQ(simulation.state(13 * 3600).fuelLevelPercent, -6);
}

TEST(VehicleSimulationTests, GearBoundsAreStrict) {
    struct Case {
        double speed;
        int gear;
    };
    // clang-format off
    const Case cases[] = {
        {0, 0}, {2.999, 0}, {3, 1}, {17.99, 1}, {18, 2}, {32, 3}, {48, 4}, {64, 5},
        {82, 6}, {99.9, 6}, {100, 7}, {122, 8}, {144.9, 8}, {145, 9}, {300, 9},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(VehicleSimulation::gear(c.speed), c.gear) << c.speed;
    }
}
