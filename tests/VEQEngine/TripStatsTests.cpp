#include "VEQEngine/TripStats.hpp"

#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <limits>
#include <optional>
#include <vector>

namespace veq {
namespace {

// A drive clock: seconds after a fixed start.
TripStats::Date at(double seconds) {
    const auto start = TripStats::Date{} + std::chrono::hours(24 * 365 * 50);
    return start + std::chrono::duration_cast<TripStats::Date::duration>(std::chrono::duration<double>(seconds));
}

struct Speed {
    double seconds;
    double kmh;
};

TripStats drive(const std::vector<Speed>& readings) {
    TripStats stats;
    for (const Speed& r : readings) stats.recordSpeed(r.kmh, at(r.seconds));
    return stats;
}

TEST(TripStats, FreshTripHasNoFigures) {
    const TripStats stats;
    EXPECT_EQ(stats.durationSec(), 0);
    EXPECT_EQ(stats.avgSpeedKmh(), 0);
    EXPECT_EQ(stats.consumptionL100(), 0);
    EXPECT_FALSE(stats.startTime);
    EXPECT_FALSE(stats.zeroToHundredSec);
}

TEST(TripStats, StandingStartToHundred) {
    const TripStats stats = drive({{0, 0}, {2, 50}, {4, 100}});
    EXPECT_EQ(stats.zeroToHundredSec, 4.0);
    EXPECT_EQ(stats.maxSpeedKmh, 100);
    EXPECT_DOUBLE_EQ(stats.distanceKm, 2.0 / 3600 * 25 + 2.0 / 3600 * 75);
    EXPECT_DOUBLE_EQ(stats.durationSec(), 4);
    EXPECT_DOUBLE_EQ(stats.avgSpeedKmh(), stats.distanceKm / (4.0 / 3600));
    EXPECT_EQ(stats.startTime, at(0));
    EXPECT_EQ(stats.lastUpdate, at(4));
}

struct TimerCase {
    const char* name;
    std::vector<Speed> readings;
    std::optional<double> zeroToHundred;
    std::optional<double> eightyToOneTwenty;
};

void PrintTo(const TimerCase& c, std::ostream* os) { *os << c.name; }

class Timers : public ::testing::TestWithParam<TimerCase> {};

TEST_P(Timers, RecordTheBestTimes) {
    const TimerCase& c = GetParam();
    const TripStats stats = drive(c.readings);
    if (c.zeroToHundred) {
        ASSERT_TRUE(stats.zeroToHundredSec);
        EXPECT_NEAR(*stats.zeroToHundredSec, *c.zeroToHundred, 1e-6);
    } else {
        EXPECT_FALSE(stats.zeroToHundredSec) << *stats.zeroToHundredSec;
    }
    if (c.eightyToOneTwenty) {
        ASSERT_TRUE(stats.eightyToOneTwentySec);
        EXPECT_NEAR(*stats.eightyToOneTwentySec, *c.eightyToOneTwenty, 1e-6);
    } else {
        EXPECT_FALSE(stats.eightyToOneTwentySec) << *stats.eightyToOneTwentySec;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, Timers,
    ::testing::Values(
        TimerCase{"hundredExactlyOneSecond", {{0, 0}, {1, 100}}, std::nullopt, std::nullopt},
        TimerCase{"hundredBelowOneSecond", {{0, 0}, {0.8, 100}}, std::nullopt, std::nullopt},
        // The too-quick reading leaves the launch open, so a later one still counts.
        TimerCase{"laterReadingInSameLaunch", {{0, 0}, {1, 100}, {1.5, 101}}, 1.5, std::nullopt},
        TimerCase{"ninetyNineIsNotHundred", {{0, 0}, {3, 99.9}}, std::nullopt, std::nullopt},
        TimerCase{"timedFromLastReadingBelowThree", {{0, 0}, {1, 2.9}, {2, 3}, {5, 100}}, 4, std::nullopt},
        TimerCase{"noLaunchWithoutStop", {{0, 50}, {5, 100}}, std::nullopt, std::nullopt},
        TimerCase{"onlyFirstCrossingPerLaunch", {{0, 0}, {4, 100}, {5, 90}, {6, 100}}, 4, std::nullopt},
        TimerCase{"slowerSecondRunKeepsFirst", {{0, 0}, {4, 100}, {10, 0}, {16, 100}}, 4, std::nullopt},
        TimerCase{"fasterSecondRunReplaces", {{0, 0}, {4, 100}, {10, 0}, {13, 100}}, 3, std::nullopt},
        TimerCase{"eightyToOneTwenty", {{0, 80}, {3, 120}}, std::nullopt, 3},
        TimerCase{"eightyToOneTwentyExactlyHalfSecond", {{0, 80}, {0.5, 120}}, std::nullopt, std::nullopt},
        TimerCase{"eightyToOneTwentyLaterReading", {{0, 80}, {0.5, 120}, {0.75, 121}}, std::nullopt, 0.75},
        TimerCase{"below80ClearsTimer", {{0, 90}, {1, 79}, {2, 80}, {4, 120}}, std::nullopt, 2},
        TimerCase{"seventyNineDoesNotStart", {{0, 79.9}, {3, 120}}, std::nullopt, std::nullopt},
        TimerCase{"eightyToOneTwentyOncePerRun", {{0, 80}, {3, 120}, {4, 110}, {4.6, 120}}, std::nullopt, 3},
        TimerCase{"eightyToOneTwentyFasterRunReplaces", {{0, 80}, {3, 120}, {4, 70}, {5, 80}, {7, 120}}, std::nullopt, 2}),
    [](const auto& info) { return info.param.name; });

TEST(TripStats, StandingQuarterMileFromTheLastStop) {
    // 144 km/h is 40 m/s: after the first, half-speed second, 40 m a second.
    std::vector<Speed> readings{{0, 0}};
    for (int s = 1; s <= 12; ++s) readings.push_back({double(s), 144});
    const TripStats stats = drive(readings);
    ASSERT_TRUE(stats.standing400mSec);
    EXPECT_EQ(*stats.standing400mSec, 11); // 0.02 + 10 × 0.04 = 0.42 km, 0.38 km a second earlier
    EXPECT_TRUE(stats.reached400);

    // A stop ends the launch: its distance and mark start again.
    TripStats again = stats;
    again.recordSpeed(0, at(13));
    EXPECT_EQ(again.launchDistanceKm, 0);
    EXPECT_FALSE(again.reached400);
}

TEST(TripStats, QuarterMileWithoutStopIsNotTimed) {
    std::vector<Speed> readings;
    for (int s = 0; s <= 20; ++s) readings.push_back({double(s), 144});
    EXPECT_FALSE(drive(readings).standing400mSec);
}

struct DistanceCase {
    const char* name;
    std::vector<Speed> readings;
    double distanceKm;
};

void PrintTo(const DistanceCase& c, std::ostream* os) { *os << c.name; }

class Distance : public ::testing::TestWithParam<DistanceCase> {};

TEST_P(Distance, IntegratesTheTrapezoidOfConsecutiveReadings) {
    EXPECT_DOUBLE_EQ(drive(GetParam().readings).distanceKm, GetParam().distanceKm);
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, Distance,
    ::testing::Values(DistanceCase{"oneSecondAt36", {{0, 36}, {1, 36}}, 0.01},
                      DistanceCase{"justUnderFiveSeconds", {{0, 36}, {4.9, 36}}, 0.049},
                      DistanceCase{"fiveSecondGapAddsNothing", {{0, 36}, {5, 36}}, 0},
                      // After a gap the new reading is still the reference for the next one.
                      DistanceCase{"gapThenReference", {{0, 36}, {5, 36}, {6, 72}}, 1.0 / 3600 * 108 * 0.5},
                      DistanceCase{"sameTimeAddsNothing", {{2, 36}, {2, 36}}, 0},
                      DistanceCase{"clockBackwardsAddsNothing", {{2, 36}, {1, 36}}, 0}),
    [](const auto& info) { return info.param.name; });

TEST(TripStats, MaxSpeedAndDurationFollowSpeedReadingsOnly) {
    TripStats stats = drive({{0, 30}, {1, 80}, {2, 60}});
    stats.recordFuelRate(5, at(10));
    stats.recordMAF(20, at(11));
    EXPECT_EQ(stats.maxSpeedKmh, 80);
    EXPECT_DOUBLE_EQ(stats.durationSec(), 2);
    EXPECT_EQ(stats.lastUpdate, at(2));
}

TEST(TripStats, FuelRateIntegratesTheCurrentRateOverTheInterval) {
    TripStats stats;
    stats.recordFuelRate(7.2, at(0));
    EXPECT_EQ(stats.fuelLiters, 0);
    stats.recordFuelRate(3.6, at(1)); // the current reading's rate, not the average of the two
    EXPECT_DOUBLE_EQ(stats.fuelLiters, 0.001);
    stats.recordFuelRate(3.6, at(6)); // a gap of 5 s adds nothing
    EXPECT_DOUBLE_EQ(stats.fuelLiters, 0.001);
    stats.recordFuelRate(3.6, at(6)); // nor does a reading at the same time
    EXPECT_DOUBLE_EQ(stats.fuelLiters, 0.001);
    EXPECT_EQ(stats.lastFuelTime, at(6));
}

TEST(TripStats, AirFlowCountsOnlyWithoutDirectFuelRate) {
    TripStats maf;
    maf.recordMAF(14.7, at(0));
    maf.recordMAF(14.7, at(1));
    EXPECT_DOUBLE_EQ(maf.fuelLiters, 1.0 / 745);

    TripStats direct;
    direct.recordFuelRate(3.6, at(0));
    const TripStats before = direct;
    direct.recordMAF(14.7, at(1));
    direct.recordMAF(14.7, at(2));
    EXPECT_EQ(direct, before); // not even the time of the last fuel reading moves

    // The first fuel-rate reading after air-flow readings integrates from the last of them.
    TripStats mixed;
    mixed.recordMAF(14.7, at(0));
    mixed.recordFuelRate(3.6, at(1));
    EXPECT_DOUBLE_EQ(mixed.fuelLiters, 0.001);
    EXPECT_TRUE(mixed.hasDirectFuelRate);
}

TEST(TripStats, ConsumptionOnlyBeyondATenthOfAKilometre) {
    TripStats stats;
    stats.fuelLiters = 0.05;
    stats.distanceKm = 0.1;
    EXPECT_EQ(stats.consumptionL100(), 0);
    stats.distanceKm = 0.2;
    EXPECT_DOUBLE_EQ(stats.consumptionL100(), 25);
}

TEST(TripStats, NonFiniteReadingsChangeNothing) {
    TripStats stats = drive({{0, 0}, {1, 36}});
    stats.recordFuelRate(3.6, at(1));
    const TripStats before = stats;
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity()}) {
        stats.recordSpeed(bad, at(2));
        stats.recordFuelRate(bad, at(2));
        stats.recordMAF(bad, at(2));
    }
    EXPECT_EQ(stats, before);
    stats.recordSpeed(36, at(2));
    EXPECT_DOUBLE_EQ(stats.distanceKm, before.distanceKm + 0.01);
}

} // namespace
} // namespace veq
