#include "VEQEngine/TripStats.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <optional>
#include <ostream>
#include <vector>

namespace veq {
namespace {

// A drive clock: seconds after a fixed start.
TripStats::Date at(double seconds) {
    return TripStats::Date{} + std::chrono::hours(24 * 365 * 50) +
           std::chrono::duration_cast<TripStats::Date::duration>(std::chrono::duration<double>(seconds));
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

// Appends one reading a second at 144 km/h (40 m/s).
std::vector<Speed> cruise(std::vector<Speed> readings, int from, int to) {
    for (int s = from; s <= to; ++s) readings.push_back({double(s), 144});
    return readings;
}

std::vector<Speed> withStop(std::vector<Speed> readings, double seconds) {
    readings.push_back({seconds, 0});
    return readings;
}

struct TimerCase {
    const char* name;
    std::vector<Speed> readings;
    std::optional<double> zeroToHundred;
    std::optional<double> eightyToOneTwenty;
    std::optional<double> standing400m;
};

void PrintTo(const TimerCase& c, std::ostream* os) { *os << c.name; }

class Timers : public ::testing::TestWithParam<TimerCase> {};

TEST_P(Timers, RecordTheBestTimes) {
    const TimerCase& c = GetParam();
    const TripStats stats = drive(c.readings);
    EXPECT_EQ(stats.zeroToHundredSec, c.zeroToHundred);
    EXPECT_EQ(stats.eightyToOneTwentySec, c.eightyToOneTwenty);
    EXPECT_EQ(stats.standing400mSec, c.standing400m);
}

const std::nullopt_t none = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Thresholds, Timers,
    ::testing::Values(
        TimerCase{"zeroToHundred", {{0, 0}, {2, 50}, {4, 100}}, 4, none, none},
        TimerCase{"hundredExactlyOneSecond", {{0, 0}, {1, 100}}, none, none, none},
        // The too-quick reading leaves the launch open, so a later one still counts.
        TimerCase{"laterReadingInSameLaunch", {{0, 0}, {1, 100}, {1.5, 101}}, 1.5, none, none},
        TimerCase{"ninetyNineIsNotHundred", {{0, 0}, {3, 99.9}}, none, none, none},
        TimerCase{"timedFromLastReadingBelowThree", {{0, 0}, {1, 2.9}, {2, 3}, {5, 100}}, 4, none, none},
        TimerCase{"noLaunchWithoutStop", {{0, 50}, {5, 100}}, none, none, none},
        TimerCase{"onlyFirstCrossingPerLaunch", {{0, 0}, {4, 100}, {5, 90}, {6, 100}}, 4, none, none},
        TimerCase{"slowerSecondRunKeepsFirst", {{0, 0}, {4, 100}, {10, 0}, {16, 100}}, 4, none, none},
        TimerCase{"fasterSecondRunReplaces", {{0, 0}, {4, 100}, {10, 0}, {13, 100}}, 3, none, none},
        TimerCase{"eightyToOneTwenty", {{0, 80}, {3, 120}}, none, 3, none},
        TimerCase{"eightyToOneTwentyExactlyHalfSecond", {{0, 80}, {0.5, 120}}, none, none, none},
        TimerCase{"eightyToOneTwentyLaterReading", {{0, 80}, {0.5, 120}, {0.75, 121}}, none, 0.75, none},
        TimerCase{"below80ClearsTimer", {{0, 90}, {1, 79}, {2, 80}, {4, 120}}, none, 2, none},
        TimerCase{"seventyNineDoesNotStart", {{0, 79.9}, {3, 120}}, none, none, none},
        TimerCase{"eightyToOneTwentyOncePerRun", {{0, 80}, {3, 120}, {4, 110}, {4.6, 120}}, none, 3, none},
        TimerCase{"eightyToOneTwentyFasterRun", {{0, 80}, {3, 120}, {4, 70}, {5, 80}, {7, 120}}, none, 2, none},
        // 0.02 km in the first second, then 0.04 a second: 0.38 km at 10 s, 0.42 at 11 s.
        // At a steady 144 km/h, 0-100 comes at 2 s (1 s is too quick to count) and 80-120 at once.
        TimerCase{"standing400m", cruise({{0, 0}}, 1, 12), 2, 1, 11},
        TimerCase{"quarterMileNeedsAStop", cruise({}, 0, 20), none, 1, none},
        // The reading that completes 400 m is itself a stop: the launch starts again.
        TimerCase{"stopResetsLaunchDistance", cruise(withStop(cruise({{0, 0}}, 1, 10), 11), 12, 15), 2, 1, none}),
    [](const auto& info) { return info.param.name; });

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
    ::testing::Values(DistanceCase{"launch", {{0, 0}, {2, 50}, {4, 100}}, 2.0 / 3600 * 25 + 2.0 / 3600 * 75},
                      DistanceCase{"justUnderFiveSeconds", {{0, 36}, {4.9, 36}}, 0.049},
                      DistanceCase{"fiveSecondGapAddsNothing", {{0, 36}, {5, 36}}, 0},
                      // After a gap the new reading is still the reference for the next one.
                      DistanceCase{"gapThenReference", {{0, 36}, {5, 36}, {6, 72}}, 1.0 / 3600 * 108 * 0.5},
                      DistanceCase{"sameTimeAddsNothing", {{2, 36}, {2, 36}}, 0},
                      DistanceCase{"clockBackwardsAddsNothing", {{2, 36}, {1, 36}}, 0}),
    [](const auto& info) { return info.param.name; });

TEST(TripStats, DurationAverageAndTopSpeedFollowSpeedReadingsOnly) {
    EXPECT_EQ(TripStats().durationSec(), 0);
    EXPECT_EQ(TripStats().avgSpeedKmh(), 0);
    TripStats stats = drive({{0, 30}, {1, 80}, {2, 60}});
    stats.recordFuelRate(5, at(10));
    stats.recordMAF(20, at(11));
    EXPECT_EQ(stats.maxSpeedKmh, 80);
    EXPECT_EQ(stats.startTime, at(0));
    EXPECT_DOUBLE_EQ(stats.durationSec(), 2);
    EXPECT_DOUBLE_EQ(stats.avgSpeedKmh(), stats.distanceKm / (2.0 / 3600));
}

TEST(TripStats, FuelFromRateOrElseAirFlow) {
    TripStats rate;
    rate.recordFuelRate(7.2, at(0));
    rate.recordFuelRate(3.6, at(1)); // the current reading's rate over the interval, no averaging
    rate.recordFuelRate(3.6, at(6)); // a gap of 5 s adds nothing
    rate.recordFuelRate(3.6, at(6)); // nor does a reading at the same time
    EXPECT_DOUBLE_EQ(rate.fuelLiters, 0.001);
    const TripStats before = rate;
    rate.recordMAF(14.7, at(7)); // ignored for the rest of the drive, time included
    EXPECT_EQ(rate, before);

    TripStats maf;
    maf.recordMAF(14.7, at(0));
    maf.recordMAF(14.7, at(1));
    EXPECT_DOUBLE_EQ(maf.fuelLiters, 1.0 / 745);
    maf.recordFuelRate(3.6, at(2)); // integrates from the last air-flow reading
    EXPECT_DOUBLE_EQ(maf.fuelLiters, 1.0 / 745 + 0.001);
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
    const TripStats before = stats;
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        stats.recordSpeed(bad, at(2));
        stats.recordFuelRate(bad, at(2));
        stats.recordMAF(-bad, at(2));
    }
    EXPECT_EQ(stats, before);
}

} // namespace
} // namespace veq
