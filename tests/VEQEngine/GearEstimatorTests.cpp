#include "VEQEngine/GearEstimator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <ostream>

namespace veq {
namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

GearEstimator nineSpeed(double finalDrive = 2.65, double tireCircumference = 2.0, double tolerance = 0.08) {
    return {{GearEstimator::nineGTronic.begin(), GearEstimator::nineGTronic.end()}, finalDrive, tireCircumference,
            tolerance};
}
// Two gears expecting exactly 100 and 300 rpm per km/h (3 × 1000 / 30).
GearEstimator exact(double tolerance) { return {{1.0, 3.0}, 3.0, 0.5, tolerance}; }

struct EstimateCase {
    const char* name;
    GearEstimator estimator;
    double rpm;
    double speedKmh;
    std::optional<int> gear;
};

void PrintTo(const EstimateCase& c, std::ostream* os) { *os << c.name; }

class Estimate : public ::testing::TestWithParam<EstimateCase> {};

TEST_P(Estimate, GivesTheExpectedGear) {
    const EstimateCase& c = GetParam();
    EXPECT_EQ(c.estimator.estimate(c.rpm, c.speedKmh), c.gear);
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, Estimate,
    ::testing::Values(
        EstimateCase{"sixthGear", nineSpeed(), 2000, 90.6, 6},
        // Nearest is fourth (about 36.2 rpm per km/h), 10.4 % away: outside 8 %.
        EstimateCase{"betweenGears", nineSpeed(), 2000, 50, std::nullopt},
        EstimateCase{"speedExactlyFive", nineSpeed(), 600, 5, std::nullopt},
        EstimateCase{"speedJustAboveFive", nineSpeed(), 600, 5.0001, 1},
        EstimateCase{"rpmExactlyFourHundred", nineSpeed(), 400, 18.1, std::nullopt},
        EstimateCase{"rpmJustAboveFourHundred", nineSpeed(), 400.5, 18.1, 6},
        EstimateCase{"rpmNotANumber", nineSpeed(), nan, 90.6, std::nullopt},
        EstimateCase{"speedNotANumber", nineSpeed(), 2000, nan, std::nullopt},
        EstimateCase{"reversing", nineSpeed(), 1500, -10, std::nullopt},
        EstimateCase{"deviationAtTolerance", exact(0.25), 1250, 10, 1},
        EstimateCase{"deviationJustBeyond", exact(0.2499), 1250, 10, std::nullopt},
        EstimateCase{"tieKeepsLowerGear", exact(1.0), 1500, 10, 1},
        EstimateCase{"gearsExpectingNothingSkipped", GearEstimator({0.0, -2.0, 1.0}, 3.0, 0.5, 0.08), 1000, 10, 3},
        EstimateCase{"noRatios", GearEstimator({}, 2.65, 2.0, 0.08), 2000, 90.6, std::nullopt},
        // With no gear ever considered, even an unbounded tolerance must not give first gear.
        EstimateCase{"zeroCircumference", nineSpeed(2.65, 0.0, inf), 2000, 90.6, std::nullopt},
        EstimateCase{"negativeCircumference", nineSpeed(2.65, -2.0, inf), 2000, 90.6, std::nullopt},
        EstimateCase{"notANumberCircumference", nineSpeed(2.65, nan, inf), 2000, 90.6, std::nullopt},
        EstimateCase{"zeroFinalDrive", nineSpeed(0.0, 2.0, inf), 2000, 90.6, std::nullopt},
        EstimateCase{"infiniteRpm", exact(inf), inf, 10, std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(GearEstimator, ExpectedRatios) {
    const GearEstimator estimator = nineSpeed();
    ASSERT_EQ(estimator.gearCount(), 9);
    EXPECT_NEAR(estimator.expectedRatio(0), 118.15, 0.01);
    EXPECT_NEAR(estimator.expectedRatio(5), 22.083, 0.001);
    EXPECT_EQ(estimator.expectedRatio(9), 0);
    EXPECT_EQ(estimator.expectedRatio(-1), 0);
    for (int i = 0; i < estimator.gearCount(); ++i) {
        EXPECT_EQ(estimator.estimate(estimator.expectedRatio(i) * 60, 60), i + 1) << "gear index " << i;
    }
    EXPECT_EQ(GearEstimator({}, 2.65, 2.0, 0.08).gearCount(), 0);
    EXPECT_TRUE(std::isinf(nineSpeed(2.65, 0.0).expectedRatio(0)));
}

} // namespace
} // namespace veq
