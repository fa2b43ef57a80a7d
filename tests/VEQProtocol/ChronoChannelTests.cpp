#include "VEQProtocol/ChronoChannel.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace veq;

TEST(StopwatchTests, Format) {
    veq::testing::FrenchLocale french; // the decimal point must survive a French locale
    struct Case { std::optional<double> seconds; const char* expected; };
    const Case cases[] = {
        {83.456, "1:23.46"},
        {5.2, "0:05.20"},
        {600, "10:00.00"},
        {0, "0:00.00"},
        {0.004, "0:00.00"},
        {0.005, "0:00.01"},
        {59.994, "0:59.99"},
        // Rounded before the split: never 60 seconds on the clock.
        {59.996, "1:00.00"},
        {119.999, "2:00.00"},
        {3599.996, "60:00.00"},
        {60.004, "1:00.00"},
        {61.5, "1:01.50"},
        {6000, "100:00.00"},
        // A clock read before the start: one sign, in front.
        {-0.001, "0:00.00"},
        {-5.2, "-0:05.20"},
        {-65.25, "-1:05.25"},
        {std::nullopt, "0:00,00"},
        {std::numeric_limits<double>::infinity(), "0:00,00"},
        {-std::numeric_limits<double>::infinity(), "0:00,00"},
        {std::numeric_limits<double>::quiet_NaN(), "0:00,00"},
        {1e300, "0:00,00"}, // beyond what 64-bit hundredths can hold
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Stopwatch::format(c.seconds), c.expected) << (c.seconds ? std::to_string(*c.seconds) : "none");
    }
    EXPECT_EQ(Stopwatch::format(1e12), "16666666666:40.00"); // minutes beyond 32 bits still print
}

TEST(StopwatchTests, LapsAndFinish) {
    Stopwatch watch(100);
    EXPECT_EQ(watch, (Stopwatch{100}));
    EXPECT_TRUE(watch.isRunning());
    EXPECT_EQ(watch.lap, 1);
    EXPECT_EQ(watch.lapStart, 100);
    EXPECT_EQ(watch.lastLap, std::nullopt);

    watch.markLap(160);
    EXPECT_EQ(watch.lap, 2);
    EXPECT_EQ(watch.lastLap, 60);
    watch.markLap(215);
    EXPECT_EQ(watch.lap, 3);
    EXPECT_EQ(watch.lastLap, 55);
    EXPECT_EQ(watch.lapStart, 215);
    EXPECT_EQ(watch.elapsed(250), 150);

    watch.finish(300);
    EXPECT_FALSE(watch.isRunning());
    EXPECT_EQ(watch.lap, 3);
    EXPECT_EQ(watch.lastLap, 85);
    EXPECT_EQ(watch.total, 200);
    EXPECT_EQ(watch.lapStart, 215);
    EXPECT_EQ(watch.elapsed(1000), 200);
    EXPECT_EQ(watch.elapsed(0), 200);

    const Stopwatch finished = watch;
    watch.markLap(400);
    watch.finish(500);
    EXPECT_EQ(watch, finished);
}

TEST(ChronoChannelTests, MarkRawValues) {
    EXPECT_EQ(fromRaw<ChronoChannel::Mark>(1.0), ChronoChannel::Mark::start);
    EXPECT_EQ(fromRaw<ChronoChannel::Mark>(2.0), ChronoChannel::Mark::lap);
    EXPECT_EQ(fromRaw<ChronoChannel::Mark>(3.0), ChronoChannel::Mark::finish);
    for (double raw : {0.0, 4.0, 2.5, -1.0, std::nan("")}) EXPECT_EQ(fromRaw<ChronoChannel::Mark>(raw), std::nullopt);
    EXPECT_EQ(rawValue(ChronoChannel::Mark::finish), 3.0);

    EXPECT_EQ(ChronoChannel::all, (std::array<std::uint8_t, 4>{246, 247, 248, 249}));
}
