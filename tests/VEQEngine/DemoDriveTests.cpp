#include "VEQEngine/DemoDrive.hpp"

#include <gtest/gtest.h>

#include <ostream>


namespace veq {
namespace {

using Field = double DemoDrive::Frame::*;

struct FrameCase {
    const char* name;
    double time;
    Field field;
    double expected;
    double tolerance;
};

void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

class DemoFrame : public ::testing::TestWithParam<FrameCase> {};

TEST_P(DemoFrame, GivesTheLapValue) {
    const FrameCase& c = GetParam();
    EXPECT_NEAR(DemoDrive().frame(c.time).*c.field, c.expected, c.tolerance);
}

using F = DemoDrive::Frame;

INSTANTIATE_TEST_SUITE_P(
    Lap, DemoFrame,
    ::testing::Values(
        // Standing start.
        FrameCase{"startSpeed", 0, &F::speedKmh, 0, 0},
        FrameCase{"startIdle", 0, &F::rpm, 850, 0},
        FrameCase{"startCoolant", 0, &F::coolant, 62, 0},
        FrameCase{"startOil", 0, &F::oil, 55, 0},
        FrameCase{"startBarometric", 0, &F::barometricKPa, 97.4, 0},
        FrameCase{"startAcceleration", 0, &F::longitudinal, 0.066, 0.0005},
        FrameCase{"startThrottle", 0, &F::throttle, 12.93, 0.005},
        FrameCase{"startLoad", 0, &F::load, 20.99, 0.005},
        FrameCase{"startManifold", 0, &F::manifoldKPa, 95.57, 0.005},
        FrameCase{"startLatitude", 0, &F::latitude, 46.5197, 1e-12},
        FrameCase{"startLongitude", 0, &F::longitude, 6.6384, 1e-12},
        FrameCase{"startAltitude", 0, &F::altitude, 412, 1e-12},
        FrameCase{"startBraking", 0, &F::braking, 0, 0},
        // Top of the profile.
        FrameCase{"topSpeed", 15, &F::speedKmh, 195, 1e-9},
        FrameCase{"topRpm", 15, &F::rpm, 195000.0 / 56, 1e-6},
        // Hard braking.
        FrameCase{"brakingSpeed", 16.5, &F::speedKmh, 145.5, 1e-9},
        FrameCase{"brakingDeceleration", 16.5, &F::longitudinal, -14.39, 0.005},
        FrameCase{"brakingThrottle", 16.5, &F::throttle, 0, 0},
        FrameCase{"brakingLoad", 16.5, &F::load, 10, 0},
        FrameCase{"brakingManifold", 16.5, &F::manifoldKPa, 79.87, 0.005},
        FrameCase{"brakingG", 16.5, &F::braking, 1.468, 0.0005},
        FrameCase{"brakingTotalG", 16.5, &F::gForce, 2.53, 0.005},
        // Second lap: the profile starts again, the engine keeps warming.
        FrameCase{"secondLapSpeed", 48, &F::speedKmh, 0, 0},
        FrameCase{"secondLapRpm", 48, &F::rpm, 850, 0},
        FrameCase{"secondLapCoolant", 48, &F::coolant, 88.4, 1e-9},
        FrameCase{"secondLapOil", 48, &F::oil, 91, 1e-9},
        FrameCase{"sixtySecondsSpeed", 60, &F::speedKmh, 168, 1e-9},
        FrameCase{"sixtySecondsRpm", 60, &F::rpm, 3000, 1e-6},
        FrameCase{"sixtySecondsCoolant", 60, &F::coolant, 95, 1e-9},
        FrameCase{"sixtySecondsOil", 60, &F::oil, 100, 1e-9},
        FrameCase{"coolantCapped", 600, &F::coolant, 96, 0},
        FrameCase{"oilCapped", 600, &F::oil, 112, 0},
        // 62 km/h exactly is no longer below 62: the divisor is 36, not 26.
        FrameCase{"rpmAtSixtyTwo", 4, &F::rpm, 62000.0 / 36, 1e-6},
        FrameCase{"rpmAtHundredEighteen", 8, &F::rpm, 118000.0 / 46, 1e-6},
        // Lateral bumps and the position round the loop.
        FrameCase{"lateralLeftBend", 20, &F::lateral, 9.0915, 0.0005},
        FrameCase{"lateralRightBend", 28, &F::lateral, -11.619, 0.0005},
        FrameCase{"quarterLapLatitude", 12, &F::latitude, 46.5239, 1e-9},
        FrameCase{"quarterLapLongitude", 12, &F::longitude, 6.6323, 1e-9},
        FrameCase{"eighthLapAltitude", 6, &F::altitude, 430, 1e-9},
        FrameCase{"acceleratingNoBraking", 36, &F::braking, 0, 0}),
    [](const auto& info) { return info.param.name; });

TEST(DemoDrive, SpeedProfile) {
    struct Point {
        double time;
        double speed;
    };
    // Key points give their own speed (the first matching pair wins), half-way gives the mean, a
    // negative time stands still and the lap repeats.
    for (const Point p : {Point{4, 62}, Point{8, 118}, Point{15, 195}, Point{45, 104}, Point{48, 0}, Point{52, 62},
                          Point{2, 31}, Point{-0.05, 0}, Point{-30, 0}}) {
        EXPECT_DOUBLE_EQ(DemoDrive::speed(p.time), p.speed) << "at " << p.time;
    }
    const DemoDrive::Frame f = DemoDrive().frame(-1);
    EXPECT_EQ(f.rpm, 850);
    EXPECT_EQ(f.longitudinal, 0);

    const DemoDrive::Frame first = DemoDrive().frame(29.25);
    const DemoDrive::Frame later = DemoDrive().frame(29.25 + 2 * DemoDrive::lapDuration);
    EXPECT_NEAR(later.speedKmh, first.speedKmh, 1e-9);
    EXPECT_NEAR(later.lateral, first.lateral, 1e-9);
    EXPECT_GT(later.oil, first.oil);
}

TEST(DemoDrive, StaysWithinItsLimitsOverTheLap) {
    const DemoDrive demo;
    for (int tenth = 0; tenth < 480; ++tenth) {
        const DemoDrive::Frame f = demo.frame(tenth / 10.0);
        ASSERT_GE(f.rpm, 850);
        ASSERT_LE(f.rpm, 6800);
        ASSERT_GE(f.throttle, 0);
        ASSERT_LE(f.throttle, 100);
        ASSERT_GE(f.load, 8);
        ASSERT_LE(f.load, 100);
        ASSERT_GE(f.manifoldKPa, 46.3 - 1e-9);
        ASSERT_LE(f.manifoldKPa, 216.3 + 1e-9);
        ASSERT_GE(f.gForce, 1.0);
        ASSERT_TRUE(f.braking == 0 || f.braking > 0.05);
    }
}

} // namespace
} // namespace veq
