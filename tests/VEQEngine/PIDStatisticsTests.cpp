#include "VEQEngine/PIDStatistics.hpp"
#include "VEQSupport/Error.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace veq {
namespace {

struct Expected {
    double current, min, max, sum, average;
    std::int64_t count;
    std::vector<double> history;
};

void expectStatistics(const PIDStatistics& s, const Expected& e) {
    EXPECT_EQ(s.current, e.current);
    EXPECT_EQ(s.min, e.min);
    EXPECT_EQ(s.max, e.max);
    EXPECT_EQ(s.sum, e.sum);
    EXPECT_EQ(s.average(), e.average);
    EXPECT_EQ(s.sampleCount, e.count);
    EXPECT_EQ(s.history, e.history);
}

TEST(PIDStatisticsTest, RecordingSequences) {
    struct Case {
        const char* name;
        double first;
        std::int64_t limit;
        std::vector<double> recorded;
        Expected expected;
    };
    const std::vector<Case> cases{
        {"first value only", 12.5, 120, {}, {12.5, 12.5, 12.5, 12.5, 12.5, 1, {12.5}}},
        {"history trimmed to its limit", 0, 3, {10, 20, 30}, {30, 0, 30, 60, 15, 4, {10, 20, 30}}},
        {"a value equal to the maximum keeps it", 5, 10, {7, 7}, {7, 5, 7, 19, 19.0 / 3, 3, {5, 7, 7}}},
        {"a new minimum", 5, 10, {-2, 3}, {3, -2, 5, 6, 2, 3, {5, -2, 3}}},
        {"limit 0 keeps the first value until the first record", 4, 0, {}, {4, 4, 4, 4, 4, 1, {4}}},
        {"limit 0 empties the history", 4, 0, {6}, {6, 4, 6, 10, 5, 2, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PIDStatistics statistics(c.first, c.limit);
        for (double v : c.recorded) statistics.record(v);
        expectStatistics(statistics, c.expected);
    }
}

TEST(PIDStatisticsTest, HistoryKeepsTheLast120Values) {
    PIDStatistics statistics(0, 120);
    for (int i = 1; i <= 120; ++i) {
        statistics.record(i);
        ASSERT_LE(statistics.history.size(), 120u);
    }
    // The 121st value overall pushed out the first one.
    ASSERT_EQ(statistics.history.size(), 120u);
    EXPECT_EQ(statistics.history.front(), 1);
    EXPECT_EQ(statistics.history.back(), 120);
    EXPECT_EQ(statistics.sampleCount, 121);
}

TEST(PIDStatisticsTest, NotANumberPoisonsTheSumButNotTheExtremes) {
    PIDStatistics statistics(1, 5);
    statistics.record(std::numeric_limits<double>::quiet_NaN());
    statistics.record(3);
    EXPECT_EQ(statistics.current, 3);
    EXPECT_EQ(statistics.min, 1);
    EXPECT_EQ(statistics.max, 3);
    EXPECT_TRUE(std::isnan(statistics.sum));
    EXPECT_TRUE(std::isnan(statistics.average()));
    ASSERT_EQ(statistics.history.size(), 3u);
    EXPECT_TRUE(std::isnan(statistics.history[1]));
}

TEST(PIDStatisticsTest, NegativeHistoryLimitIsRejected) {
    EXPECT_THROW(PIDStatistics(1, -1), Error);
}

} // namespace
} // namespace veq
