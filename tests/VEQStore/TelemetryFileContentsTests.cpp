#include "VEQStore/TelemetryFile.hpp"

#include "TestSupport/StorePrinters.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace tf = veq::TelemetryFile;

namespace {

constexpr auto none = std::nullopt;
using Values = std::vector<std::optional<float>>;

tf::Date at(std::int64_t ms) { return tf::Date{std::chrono::milliseconds(ms)}; }

// One channel of values at the given times.
tf::Contents singleChannel(std::uint8_t pid, std::vector<std::pair<std::uint32_t, std::optional<float>>> points) {
    tf::Contents drive{{{pid, "c"}}, at(1'000'000), {}};
    for (const auto& [ms, v] : points) drive.records.push_back({ms, {v}});
    return drive;
}

Values channelValues(const tf::Contents& drive, std::size_t position) {
    Values out;
    for (const auto& r : drive.records) out.push_back(r.values.at(position));
    return out;
}

std::vector<std::uint32_t> times(const tf::Contents& drive) {
    std::vector<std::uint32_t> out;
    for (const auto& r : drive.records) out.push_back(r.milliseconds);
    return out;
}

} // namespace

TEST(TelemetryFileContentsTests, HeldFillsHolesOnlyUpToTheGapAfterTheLastRealValue) {
    struct Case {
        const char* label;
        tf::Contents drive;
        double maxGap;
        Values expected;
    };
    const Case cases[] = {
        {"2 s gap", singleChannel(0x0C, {{0, 7.0F}, {1000, none}, {2000, none}, {3000, none}, {10'000, 9.0F}}), 2,
         {7.0F, 7.0F, 7.0F, none, 9.0F}},
        {"hole before the first value", singleChannel(0x0C, {{0, none}, {100, 1.0F}, {200, none}}), 100,
         {none, 1.0F, 1.0F}},
        {"a new value restarts the gap", singleChannel(0x0C, {{0, 1.0F}, {900, none}, {1000, 2.0F}, {1900, none}, {2100, none}}),
         1, {1.0F, 1.0F, 2.0F, 2.0F, none}},
        {"zero gap fills only the same instant", singleChannel(0x0C, {{0, 1.0F}, {0, none}, {1, none}}), 0,
         {1.0F, 1.0F, none}},
        {"sync marker keeps its holes", singleChannel(238, {{0, 1.0F}, {10, none}}), 1000, {1.0F, none}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto held = c.drive.held(c.maxGap);
        EXPECT_EQ(channelValues(held, 0), c.expected);
        EXPECT_EQ(times(held), times(c.drive));
        EXPECT_EQ(held.channels, c.drive.channels);
        EXPECT_EQ(held.startDate, c.drive.startDate);
    }
}

TEST(TelemetryFileContentsTests, HeldTreatsEachChannelApartAndLeavesTheDriveAlone) {
    const tf::Contents drive{{{0x0C, "rpm"}, {238, "sync"}, {0x0D, "speed"}},
                             at(0),
                             {{0, {1.0F, 5.0F, none}}, {500, {none, none, 2.0F}}, {900, {none, none, none}}}};
    const auto held = drive.held(1);
    EXPECT_EQ(held.records[1].values, (Values{1.0F, none, 2.0F}));
    EXPECT_EQ(held.records[2].values, (Values{1.0F, none, 2.0F}));
    EXPECT_EQ(drive.records[1].values, (Values{none, none, 2.0F})) << "the original drive is unchanged";

    const tf::Contents empty{{{0x0C, "rpm"}}, at(5), {}};
    EXPECT_EQ(empty.held(3), empty);
}

TEST(TelemetryFileContentsTests, TrimmedKeepsBothBoundsAndMovesTheStart) {
    const auto drive = singleChannel(0x0D, {{0, 0.0F}, {4000, 4.0F}, {5000, 5.0F}, {8000, 8.0F}, {12'000, 12.0F},
                                            {12'001, 12.1F}});
    struct Case {
        const char* label;
        double from, to;
        std::vector<std::uint32_t> times;
        std::int64_t startShiftMs;
    };
    const Case cases[] = {
        {"5 to 12", 5, 12, {0, 3000, 7000}, 5000},
        {"either order", 12, 5, {0, 3000, 7000}, 5000},
        {"negative low bound cut at 0", -3, 4, {0, 4000}, 0},
        {"sub-millisecond low bound rounds to 0", 0.0004, 1, {0}, 0},
        {"half a millisecond rounds away from zero", 4.9995, 5, {0}, 5000},
        {"range with no record", 5.5, 6, {}, 5500},
        {"end far past 49.7 days is clamped", 8, 1e12, {0, 4000, 4001}, 8000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto cut = drive.trimmed(c.from, c.to);
        EXPECT_EQ(times(cut), c.times);
        EXPECT_EQ(cut.startDate, drive.startDate + std::chrono::milliseconds(c.startShiftMs));
        EXPECT_EQ(cut.channels, drive.channels);
    }
    EXPECT_EQ(drive.trimmed(5, 12).records.front().values, (Values{5.0F}));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, double> unchanged[] = {{-3, -1}, {7, 7}, {nan, 4}, {2, nan}};
    for (const auto& [from, to] : unchanged) {
        SCOPED_TRACE(testing::Message() << from << " " << to);
        EXPECT_EQ(drive.trimmed(from, to), drive);
    }
}

TEST(TelemetryFileContentsTests, TrimmingADriveDatedAtTheClocksEndHoldsItsStart) {
    // Readers clamp an out-of-range start to the clock's latest date; moving it must not overflow.
    auto drive = singleChannel(0x0D, {{0, 0.0F}, {5000, 5.0F}});
    drive.startDate = tf::Date::max() - std::chrono::milliseconds(1);
    const auto cut = drive.trimmed(4, 6);
    EXPECT_EQ(cut.startDate, tf::Date::max());
    EXPECT_EQ(times(cut), (std::vector<std::uint32_t>{1000}));
}

TEST(TelemetryFileContentsTests, DurationRunsFromTheStartDateToTheLastRecord) {
    EXPECT_DOUBLE_EQ(singleChannel(1, {{3000, 1.0F}, {10'000, 2.0F}}).duration(), 10.0);
    EXPECT_DOUBLE_EQ(singleChannel(1, {{3000, 1.0F}, {250, 2.0F}}).duration(), 0.25) << "the last record, not the latest";
    EXPECT_DOUBLE_EQ(singleChannel(1, {}).duration(), 0.0);
}

TEST(TelemetryFileContentsTests, SparklineKeepsEachSlotsMaximumAndCarriesItForward) {
    struct Case {
        const char* label;
        tf::Contents drive;
        int buckets;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {"4 slots over 10 s", singleChannel(7, {{0, 1.0F}, {2490, 3.0F}, {5000, 2.0F}, {10'000, 6.0F}}), 4,
         {3.0F, 3.0F, 2.0F, 6.0F}},
        {"leading empty slots are 0", singleChannel(7, {{0, none}, {9000, 4.0F}, {10'000, 5.0F}}), 5,
         {0.0F, 0.0F, 0.0F, 0.0F, 5.0F}},
        {"smaller value does not replace a larger one", singleChannel(7, {{0, 9.0F}, {100, -1.0F}, {1000, 0.0F}}), 2,
         {9.0F, 0.0F}},
        {"a point after the last record falls in the last slot",
         singleChannel(7, {{50'000, 8.0F}, {0, 1.0F}, {10'000, 2.0F}}), 2, {1.0F, 8.0F}},
        {"no present value", singleChannel(7, {{0, none}, {1000, none}}), 4, {}},
        {"only record at 0 ms", singleChannel(7, {{0, 4.0F}}), 4, {}},
        {"no bucket", singleChannel(7, {{0, 1.0F}, {1000, 2.0F}}), 0, {}},
        {"negative buckets", singleChannel(7, {{0, 1.0F}, {1000, 2.0F}}), -3, {}},
        {"channel the drive lacks", singleChannel(8, {{0, 1.0F}, {1000, 2.0F}}), 4, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.drive.sparkline(7, c.buckets), c.expected);
    }
}
