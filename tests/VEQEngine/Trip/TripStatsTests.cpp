#include "VEQEngine/Trip/TripStats.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace veq {
namespace {

// A drive clock: seconds after a fixed start.
TripStats::Date at(double seconds) {
    return TripStats::Date{} + std::chrono::hours(24 * 365 * 50) +
           std::chrono::duration_cast<TripStats::Date::duration>(std::chrono::duration<double>(seconds));
}

struct Reading {
    double seconds, kmh;
    std::uint64_t pauseEpoch = 0; // two for a reading after one pause of polling, one while paused
};
using Speeds = std::vector<Reading>;

TripStats drive(const Speeds& readings) {
    TripStats stats;
    for (const auto& [seconds, kmh, epoch] : readings) stats.recordSpeed(kmh, at(seconds), epoch);
    return stats;
}

// Appends one reading a second at 144 km/h (40 m/s).
Speeds cruise(Speeds readings, int from, int to) {
    for (int s = from; s <= to; ++s) readings.emplace_back(s, 144);
    return readings;
}

TEST(TripStats, TimersRecordTheBestTimesAtTheirThresholds) {
    const std::nullopt_t none = std::nullopt;
    Speeds stopThenOn = cruise({{0, 0}}, 1, 10); // the reading that completes 400 m is a stop
    stopThenOn.emplace_back(11, 0);
    const struct {
        const char* name;
        Speeds readings;
        std::optional<double> zeroToHundred, eightyToOneTwenty, standing400m;
    } cases[] = {
        {"0-100", {{0, 0}, {2, 50}, {4, 100}}, 4, none, none},
        {"a second exactly is too quick, a later reading counts", {{0, 0}, {1, 100}, {1.5, 101}}, 1.5, none, none},
        {"99.9 is not 100", {{0, 0}, {3, 99.9}}, none, none, none},
        {"timed from the last reading below 3", {{0, 0}, {1, 2.9}, {2, 3}, {5, 100}}, 4, none, none},
        {"no launch without a stop", {{0, 50}, {5, 100}}, none, none, none},
        {"a faster second run replaces", {{0, 0}, {4, 100}, {10, 0}, {13, 100}}, 3, none, none},
        {"a slower second run does not", {{0, 0}, {4, 100}, {10, 0}, {16, 100}}, 4, none, none},
        {"80-120", {{0, 79}, {1, 80}, {4, 120}}, none, 3, none},
        {"80-120 half a second is too quick", {{0, 79}, {0.5, 80}, {1, 120}}, none, none, none},
        {"below 80 clears the timer", {{0, 90}, {1, 79}, {2, 80}, {4, 120}}, none, 2, none},
        {"79.9 does not start", {{0, 79.9}, {3, 120}}, none, none, none},
        // 0.02 km in the first second, then 0.04 a second: 0.38 km at 10 s, 0.42 at 11 s.
        {"400 m", cruise({{0, 0}}, 1, 12), 2, none, 11},
        {"400 m needs a stop", cruise({}, 0, 20), none, none, none},
        {"a stop restarts the launch distance", cruise(stopThenOn, 12, 15), 2, none, none},
        // Timers run only over readings that follow one another (less than 5 s apart, in order).
        {"a launch across a gap", {{0, 0}, {3, 61}, {43, 125}, {44, 130}}, none, none, none},
        {"a stop read right after a gap starts a launch", {{0, 0}, {10, 0}, {12, 100}}, 2, none, none},
        {"the next stop after a gap", {{0, 0}, {10, 50}, {11, 0}, {14, 100}}, 3, none, none},
        {"first seen past 120", {{0, 125}, {0.25, 126}, {0.5, 127}, {0.75, 130}, {1, 128}}, none, none, none},
        {"79 then 125 in one reading", {{0, 79}, {1, 125}, {2, 126}}, none, none, none},
        {"an 80-120 run cut by a gap", {{0, 79}, {1, 85}, {7, 100}, {8, 121}}, none, none, none},
        {"a gap before the rise through 80", {{0, 70}, {6, 79}, {7, 80}, {9, 120}}, none, 2, none},
        {"a clock going back clears the run", {{0, 79}, {1, 85}, {0.5, 100}, {2, 121}}, none, none, none},
        {"a run after coming back below 80", {{0, 125}, {1, 79}, {2, 90}, {5, 120}}, none, 3, none},
        // A pause of polling breaks the runs however short it was.
        {"a pause between 0 and 114, and between 67 and 90",
         {{0, 0}, {3, 114, 2}, {4, 67, 2}, {8.4, 90, 4}, {9.4, 110, 4}, {10.4, 125, 4}}, none, none, none},
        {"readings taken while paused follow nothing", {{0, 0, 1}, {2, 79, 1}, {3, 100, 1}, {4, 121, 1}}, none, none, none},
    };
    for (const auto& c : cases) {
        const TripStats stats = drive(c.readings);
        EXPECT_EQ(stats.zeroToHundredSec, c.zeroToHundred) << c.name;
        EXPECT_EQ(stats.eightyToOneTwentySec, c.eightyToOneTwenty) << c.name;
        EXPECT_EQ(stats.standing400mSec, c.standing400m) << c.name;
    }
}

TEST(TripStats, DistanceIntegratesTheTrapezoidOfReadingsLessThanFiveSecondsApart) {
    const std::pair<Speeds, double> cases[] = {
        {{{0, 0}, {2, 50}, {4, 100}}, 2.0 / 3600 * 25 + 2.0 / 3600 * 75},
        {{{0, 36}, {4.9, 36}}, 0.049},
        {{{0, 36}, {5, 36}, {6, 72}}, 1.0 / 3600 * 108 * 0.5}, // the reading after a gap is the next reference
        {{{0, 36}, {1, 36, 1}, {4.4, 36, 2}}, 0.044},             // a pause shorter than a gap is bridged
        {{{2, 36}, {1, 36}}, 0},                               // clock going backwards
    };
    for (const auto& [readings, km] : cases) EXPECT_DOUBLE_EQ(drive(readings).distanceKm, km);
    const TripStats stats = drive({{0, 30}, {1, 80}, {2, 60}});
    EXPECT_EQ(stats.maxSpeedKmh, 80);
    EXPECT_DOUBLE_EQ(stats.durationSec(), 2);
    EXPECT_DOUBLE_EQ(stats.avgSpeedKmh(), stats.distanceKm / (2.0 / 3600));
}

TEST(TripStats, FuelFromRateOrElseAirFlowAndConsumptionBeyondATenthOfAKilometre) {
    TripStats rate;
    rate.recordFuelRate(7.2, at(0));
    rate.recordFuelRate(3.6, at(1)); // the current reading's rate over the interval
    rate.recordFuelRate(3.6, at(6)); // a gap of 5 s adds nothing
    EXPECT_DOUBLE_EQ(rate.fuelLiters, 0.001);
    const TripStats before = rate;
    rate.recordMAF(14.7, at(7)); // ignored once a fuel rate was seen
    EXPECT_EQ(rate, before);

    TripStats maf;
    maf.recordMAF(14.7, at(0));
    maf.recordMAF(14.7, at(1));
    EXPECT_DOUBLE_EQ(maf.fuelLiters, 1.0 / 745);

    maf.fuelLiters = 0.05;
    maf.distanceKm = 0.1;
    EXPECT_EQ(maf.consumptionL100(), 0);
    maf.distanceKm = 0.2;
    EXPECT_DOUBLE_EQ(maf.consumptionL100(), 25);
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
