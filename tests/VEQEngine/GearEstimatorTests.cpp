#include "VEQEngine/GearEstimator.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace veq {
namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

GearEstimator modelInstance() {
    return GearEstimator({GearEstimator::nineGTronic.begin(), GearEstimator::nineGTronic.end()}, 2.65, 2.0, 0.08);
}

struct EstimateCase {
    const char* name;
    double rpm;
    double speedKmh;
    std::optional<int> gear;
};

void PrintTo(const EstimateCase& c, std::ostream* os) { *os << c.name; }

class ModelEstimate : public ::testing::TestWithParam<EstimateCase> {};

TEST_P(ModelEstimate, GivesTheExpectedGear) {
    const EstimateCase& c = GetParam();
    EXPECT_EQ(modelInstance().estimate(c.rpm, c.speedKmh), c.gear);
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, ModelEstimate,
    ::testing::Values(EstimateCase{"sixthGear", 2000, 90.6, 6},
                      // Nearest is fourth (about 36.2 rpm per km/h), 10.4 % away: outside 8 %.
                      EstimateCase{"betweenGears", 2000, 50, std::nullopt},
                      EstimateCase{"speedExactlyFive", 600, 5, std::nullopt},
                      EstimateCase{"speedJustAboveFive", 600, 5.0001, 1},
                      EstimateCase{"rpmExactlyFourHundred", 400, 18.1, std::nullopt},
                      EstimateCase{"rpmJustAboveFourHundred", 400.5, 18.1, 6},
                      EstimateCase{"rpmNotANumber", nan, 90.6, std::nullopt},
                      EstimateCase{"speedNotANumber", 2000, nan, std::nullopt},
                      EstimateCase{"rpmInfinite", inf, 90.6, std::nullopt},
                      EstimateCase{"stopped", 800, 0, std::nullopt},
                      EstimateCase{"reversing", 1500, -10, std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(GearEstimator, RecognisesEveryGearAtItsOwnRatio) {
    const GearEstimator estimator = modelInstance();
    ASSERT_EQ(estimator.gearCount(), 9);
    for (int i = 0; i < estimator.gearCount(); ++i) {
        const double speed = 60;
        EXPECT_EQ(estimator.estimate(estimator.expectedRatio(i) * speed, speed), i + 1) << "gear index " << i;
    }
}

TEST(GearEstimator, ExpectedRatioOfTheModelInstance) {
    const GearEstimator estimator = modelInstance();
    EXPECT_NEAR(estimator.expectedRatio(0), 2.65 * 5350 / 120, 1e-9);
    EXPECT_NEAR(estimator.expectedRatio(0), 118.15, 0.01);
    EXPECT_NEAR(estimator.expectedRatio(5), 22.083, 0.001);
    EXPECT_EQ(estimator.expectedRatio(9), 0);
    EXPECT_EQ(estimator.expectedRatio(-1), 0);
}

// One gear expecting exactly 100 rpm per km/h (3 × 1000 / 30), another exactly 300.
GearEstimator exactEstimator(double tolerance) { return GearEstimator({1.0, 3.0}, 3.0, 0.5, tolerance); }

TEST(GearEstimator, ToleranceBoundIsInclusive) {
    // 125 rpm per km/h is exactly 25 % from the first gear.
    EXPECT_EQ(exactEstimator(0.25).estimate(1250, 10), 1);
    EXPECT_EQ(exactEstimator(0.2499).estimate(1250, 10), std::nullopt);
    EXPECT_EQ(exactEstimator(0.25).estimate(750, 10), 1);
}

TEST(GearEstimator, EqualDeviationsKeepTheLowerGear) {
    // 150 is 50 % from both 100 and 300.
    EXPECT_EQ(exactEstimator(1.0).estimate(1500, 10), 1);
}

TEST(GearEstimator, GearsExpectingNothingAreSkipped) {
    const GearEstimator estimator({0.0, -2.0, 1.0}, 3.0, 0.5, 0.08);
    EXPECT_EQ(estimator.estimate(1000, 10), 3);
}

TEST(GearEstimator, NoRatiosGiveNothing) {
    const GearEstimator estimator({}, 2.65, 2.0, 0.08);
    EXPECT_EQ(estimator.gearCount(), 0);
    EXPECT_EQ(estimator.expectedRatio(0), 0);
    EXPECT_EQ(estimator.estimate(2000, 90.6), std::nullopt);
}

TEST(GearEstimator, ImpossibleGeometryNeverChoosesAGear) {
    // Even an unbounded tolerance must not turn "no gear considered" into first gear.
    struct Case {
        const char* name;
        double finalDrive;
        double tireCircumference;
    };
    for (const Case c : {Case{"zeroCircumference", 2.65, 0.0}, Case{"negativeCircumference", 2.65, -2.0},
                         Case{"zeroFinalDrive", 0.0, 2.0}, Case{"notANumberCircumference", 2.65, nan}}) {
        const GearEstimator estimator({GearEstimator::nineGTronic.begin(), GearEstimator::nineGTronic.end()},
                                      c.finalDrive, c.tireCircumference, inf);
        EXPECT_EQ(estimator.estimate(2000, 90.6), std::nullopt) << c.name;
    }
    const GearEstimator zero({1.0}, 2.65, 0.0, 0.08);
    EXPECT_TRUE(std::isinf(zero.expectedRatio(0)));
}

TEST(GearEstimator, InfiniteRpmWithUnboundedToleranceGivesNothing) {
    const GearEstimator estimator = exactEstimator(inf);
    EXPECT_EQ(estimator.estimate(inf, 10), std::nullopt);
}

} // namespace
} // namespace veq
