#include "VEQEngine/Trip/GearEstimator.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace veq {
namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

GearEstimator nineSpeed(double finalDrive = 2.65, double tireCircumference = 2.0, double tolerance = 0.08) {
    return {{GearEstimator::nineGTronic.begin(), GearEstimator::nineGTronic.end()}, finalDrive, tireCircumference, tolerance};
}
// Two gears expecting exactly 100 and 300 rpm per km/h (3 × 1000 / 30).
GearEstimator exact(double tolerance) { return {{1.0, 3.0}, 3.0, 0.5, tolerance}; }

TEST(GearEstimator, GivesTheExpectedGearAtEveryThreshold) {
    const struct {
        const char* name;
        GearEstimator estimator;
        double rpm, speedKmh;
        std::optional<int> gear;
    } cases[] = {
        {"sixth gear", nineSpeed(), 2000, 90.6, 6},
        {"between gears: 10.4 % from fourth", nineSpeed(), 2000, 50, std::nullopt},
        {"speed exactly 5", nineSpeed(), 600, 5, std::nullopt},
        {"speed just above 5", nineSpeed(), 600, 5.0001, 1},
        {"rpm exactly 400", nineSpeed(), 400, 18.1, std::nullopt},
        {"rpm just above 400", nineSpeed(), 400.5, 18.1, 6},
        {"rpm not a number", nineSpeed(), nan, 90.6, std::nullopt},
        {"deviation at the tolerance", exact(0.25), 1250, 10, 1},
        {"deviation just beyond", exact(0.2499), 1250, 10, std::nullopt},
        {"a tie keeps the lower gear", exact(1.0), 1500, 10, 1},
        {"gears expecting nothing are skipped", GearEstimator({0.0, -2.0, 1.0}, 3.0, 0.5, 0.08), 1000, 10, 3},
        // With no gear ever considered, even an unbounded tolerance must not give first gear.
        {"zero circumference", nineSpeed(2.65, 0.0, inf), 2000, 90.6, std::nullopt},
        {"circumference not a number", nineSpeed(2.65, nan, inf), 2000, 90.6, std::nullopt},
        {"infinite rpm", exact(inf), inf, 10, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(c.estimator.estimate(c.rpm, c.speedKmh), c.gear) << c.name;
    const GearEstimator estimator = nineSpeed();
    for (int i = 0; i < estimator.gearCount(); ++i) EXPECT_EQ(estimator.estimate(estimator.expectedRatio(i) * 60, 60), i + 1);
}

} // namespace
} // namespace veq
