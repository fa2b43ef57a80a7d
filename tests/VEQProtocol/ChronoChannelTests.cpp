#include "VEQProtocol/ChronoChannel.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace veq;

TEST(StopwatchTests, Format) {
    veq::testing::FrenchLocale french; // the decimal point must survive a French locale
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<std::optional<double>, const char*> cases[] = {
        {83.456, "1:23.46"},   {5.2, "0:05.20"},       {0.004, "0:00.00"},   {0.005, "0:00.01"},
        {59.994, "0:59.99"},   {6000, "100:00.00"},
        // Stored just below the half: rounded as the stored value, not as its product by 100.
        {3.275, "0:03.27"},    {164.535, "2:44.53"},   {58.065, "0:58.06"},
        // Rounded before the split: never 60 seconds on the clock.
        {59.996, "1:00.00"},   {3599.996, "60:00.00"},
        // A clock read before the start: one sign, in front.
        {-0.001, "0:00.00"},   {-65.25, "-1:05.25"},
        {std::nullopt, "0:00,00"}, {inf, "0:00,00"}, {-inf, "0:00,00"}, {std::nan(""), "0:00,00"},
        {1e300, "0:00,00"},        // beyond what 64-bit hundredths can hold
        {1e12, "16666666666:40.00"}, // minutes beyond 32 bits still print
    };
    for (const auto& [seconds, expected] : cases) EXPECT_EQ(Stopwatch::format(seconds), expected) << seconds.value_or(-1);
}

TEST(StopwatchTests, LapsAndFinish) {
    Stopwatch watch(100);
    EXPECT_TRUE(watch.isRunning());
    EXPECT_EQ(std::tie(watch.lap, watch.lapStart, watch.lastLap), std::make_tuple(1, 100.0, std::optional<double>()));
    watch.markLap(160);
    watch.markLap(215);
    EXPECT_EQ(std::tie(watch.lap, watch.lapStart, watch.lastLap), std::make_tuple(3, 215.0, std::optional<double>(55)));
    EXPECT_EQ(watch.elapsed(250), 150);

    watch.finish(300);
    EXPECT_FALSE(watch.isRunning());
    EXPECT_EQ(std::tie(watch.lap, watch.lastLap, watch.total), std::make_tuple(3, std::optional<double>(85), std::optional<double>(200)));
    EXPECT_EQ(watch.elapsed(1000), 200);
    const Stopwatch finished = watch;
    watch.markLap(400);
    watch.finish(500);
    EXPECT_EQ(watch, finished); // a finished watch ignores laps and a second finish
}

TEST(ChronoChannelTests, MarkRawValues) {
    EXPECT_EQ(fromRaw<ChronoChannel::Mark>(2.0), ChronoChannel::Mark::lap);
    EXPECT_EQ(rawValue(ChronoChannel::Mark::finish), 3.0);
    for (double raw : {0.0, 4.0, 2.5, -1.0, std::nan("")}) EXPECT_EQ(fromRaw<ChronoChannel::Mark>(raw), std::nullopt);
}
