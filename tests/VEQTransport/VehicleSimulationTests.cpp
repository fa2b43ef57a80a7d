#include "VEQTransport/VehicleSimulation.hpp"

#include <gtest/gtest.h>

using namespace veq;

// Engine speed, road speed and gear along the cycle, worked out by hand from the demand curve.
TEST(VehicleSimulationTests, CycleFollowsTheDemandCurve) {
    struct Point { double t, rpm, speedKmh; int gear; };
    const Point points[] = {
        {14.99,  761,      0,                  0},  // idle, demand 0.02
        {30,     2870,     55.681818181818194, 4},  // demand 0.4
        {44.999, 5089.852, 135.22196969696972, 8},  // top of the ramp, demand just under 0.8
        {45,     3702.5,   85.51136363636365,  6},  // oscillation starts at 0.55 (sin 0)
        {52.5,   4812.5,   125.28409090909092, 8},  // crest, 0.75
        {67.5,   2592.5,   45.738636363636374, 3},  // trough, 0.35
        {90,     3980,     95.45454545454545,  6},  // deceleration starts at 0.6
        {112.99, 761,      0,                  0},  // floored at 0.02
        {113,    761,      0,                  -1}, // reverse manoeuvre
        {118,    761,      0,                  0},
        {165,    3702.5,   85.51136363636365,  6},  // second cycle, c = 45
    };
    const VehicleSimulation simulation;
    for (const Point& p : points) {
        const VehicleState s = simulation.state(p.t);
        EXPECT_NEAR(s.rpm, p.rpm, 1e-6) << p.t;
        EXPECT_NEAR(s.speedKmh, p.speedKmh, 1e-9) << p.t;
        EXPECT_EQ(s.gear, p.gear) << p.t;
        EXPECT_EQ(s.runtimeSeconds, p.t);
    }
}

TEST(VehicleSimulationTests, LaterCyclesRepeatTheDriveButKeepWarmingAndBurningFuel) {
    const VehicleSimulation simulation;
    const VehicleState first = simulation.state(0);
    const VehicleState later = simulation.state(240);
    EXPECT_EQ(std::tie(later.rpm, later.speedKmh, later.gear), std::tie(first.rpm, first.speedKmh, first.gear));
    EXPECT_NEAR(simulation.state(120).coolantC, 71.19539460813058, 1e-9);
    EXPECT_NEAR(later.coolantC, 84.3951253168495, 1e-9);
    EXPECT_GT(later.oilC, first.oilC);
    EXPECT_DOUBLE_EQ(later.fuelLevelPercent, 71.6);
    EXPECT_DOUBLE_EQ(simulation.state(13 * 3600).fuelLevelPercent, -6); // never clamped
}

TEST(VehicleSimulationTests, GearBoundsAreStrict) {
    const std::pair<double, int> cases[] = {{2.999, 0}, {3, 1}, {17.99, 1}, {18, 2}, {99.9, 6}, {100, 7}, {144.9, 8}, {145, 9}, {300, 9}};
    for (const auto& [speed, gear] : cases) EXPECT_EQ(VehicleSimulation::gear(speed), gear) << speed;
}
