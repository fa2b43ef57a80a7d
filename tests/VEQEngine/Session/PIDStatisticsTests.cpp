#include "VEQEngine/Session/PIDStatistics.hpp"
#include "VEQSupport/Error.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace veq {
namespace {

TEST(PIDStatisticsTest, RecordingSequences) {
    const struct {
        double first;
        std::int64_t limit;
        std::vector<double> recorded;
        double min, max, sum;
        std::vector<double> history;
    } cases[] = {
        {0, 3, {10, 20, 30}, 0, 30, 60, {10, 20, 30}}, // trimmed to its limit
        {5, 10, {-2, 3}, -2, 5, 6, {5, -2, 3}},
        {4, 0, {6}, 4, 6, 10, {}},
    };
    for (const auto& c : cases) {
        PIDStatistics s(c.first, c.limit);
        for (double v : c.recorded) s.record(v);
        EXPECT_EQ(s.current, c.recorded.back());
        EXPECT_EQ(s.min, c.min);
        EXPECT_EQ(s.max, c.max);
        EXPECT_EQ(s.sum, c.sum);
        EXPECT_EQ(s.average(), c.sum / static_cast<double>(c.recorded.size() + 1));
        EXPECT_EQ(s.sampleCount, static_cast<std::int64_t>(c.recorded.size() + 1));
        EXPECT_EQ(s.history, c.history);
    }
    EXPECT_THROW(PIDStatistics(1, -1), Error);
}

TEST(PIDStatisticsTest, NotANumberPoisonsTheSumButNotTheExtremes) {
    PIDStatistics s(1, 5);
    s.record(std::numeric_limits<double>::quiet_NaN());
    s.record(3);
    EXPECT_EQ(s.min, 1);
    EXPECT_EQ(s.max, 3);
    EXPECT_TRUE(std::isnan(s.average()));
}

} // namespace
} // namespace veq
