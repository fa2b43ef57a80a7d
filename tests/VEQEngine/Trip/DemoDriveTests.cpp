#include "VEQEngine/Trip/DemoDrive.hpp"

#include <gtest/gtest.h>

namespace veq {
namespace {

using F = DemoDrive::Frame;

TEST(DemoDrive, GivesTheLapValues) {
    const struct {
        const char* name;
        double time;
        double F::*field;
        double expected, tolerance;
    } cases[] = {
        {"idle at the start", 0, &F::rpm, 850, 0},
        {"throttle at the start", 0, &F::throttle, 12.93, 0.005},
        {"manifold at the start", 0, &F::manifoldKPa, 95.57, 0.005},
        {"top speed", 15, &F::speedKmh, 195, 1e-9},
        {"rpm at top speed", 15, &F::rpm, 195000.0 / 56, 1e-6},
        {"62 km/h is no longer below 62", 4, &F::rpm, 62000.0 / 36, 1e-6},
        {"hard braking", 16.5, &F::longitudinal, -14.39, 0.005},
        {"braking g", 16.5, &F::braking, 1.468, 0.0005},
        {"total g", 16.5, &F::gForce, 2.53, 0.005},
        {"second lap stands still", 48, &F::speedKmh, 0, 0},
        {"coolant keeps warming", 48, &F::coolant, 88.4, 1e-9},
        {"coolant capped", 600, &F::coolant, 96, 0},
        {"oil capped", 600, &F::oil, 112, 0},
        {"left bend", 20, &F::lateral, 9.0915, 0.0005},
        {"quarter lap latitude", 12, &F::latitude, 46.5239, 1e-9},
        {"eighth lap altitude", 6, &F::altitude, 430, 1e-9},
    };
    for (const auto& c : cases) EXPECT_NEAR(DemoDrive().frame(c.time).*c.field, c.expected, c.tolerance) << c.name;
    for (const auto& [time, speed] : {std::pair{2.0, 31.0}, {45.0, 104.0}, {52.0, 62.0}, {-0.05, 0.0}})
        EXPECT_DOUBLE_EQ(DemoDrive::speed(time), speed) << time;
}

TEST(DemoDrive, StaysWithinItsLimitsOverTheLap) {
    const DemoDrive demo;
    for (int tenth = 0; tenth < 480; ++tenth) {
        const F f = demo.frame(tenth / 10.0);
        ASSERT_TRUE(f.rpm >= 850 && f.rpm <= 6800) << tenth;
        ASSERT_TRUE(f.throttle >= 0 && f.throttle <= 100 && f.load >= 8 && f.load <= 100) << tenth;
        ASSERT_TRUE(f.manifoldKPa >= 46.3 - 1e-9 && f.manifoldKPa <= 216.3 + 1e-9 && f.gForce >= 1.0) << tenth;
        ASSERT_TRUE(f.braking == 0 || f.braking > 0.05) << tenth;
    }
}

} // namespace
} // namespace veq
