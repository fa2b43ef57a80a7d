#include "VEQStore/Export/ExportText.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

namespace veq {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr auto none = std::nullopt;

TEST(ExportText, ReadsNumbersAsStrtodInThePOSIXLocaleAndIntegersWithin64Bits) {
    const std::pair<const char*, std::optional<double>> doubles[] = {
        {".5", 0.5}, {"-0X1p-1", -0.5}, {"-Infinity", -kInf}, {"1e999", kInf}, {"", none}, {"+-1", none}, {"1 ", none},
        {"1,5", none}, {"1e", none},
    };
    for (const auto& [text, expected] : doubles) EXPECT_EQ(exporttext::readDouble(text), expected) << text;
    EXPECT_TRUE(std::isnan(exporttext::readDouble("nan").value_or(0)));

    const std::pair<const char*, std::optional<std::int64_t>> integers[] = {
        {"+12", 12}, {"-9223372036854775808", kMin}, {"9223372036854775808", none}, {"-", none}, {"1.0", none}, {" 1", none},
    };
    for (const auto& [text, expected] : integers) EXPECT_EQ(exporttext::readInteger(text), expected) << text;
}

TEST(ExportText, RoundsAndTruncatesWithoutUndefinedConversions) {
    const std::tuple<double, std::optional<std::int64_t>, std::optional<std::int64_t>> cases[] = {
        {2.5, 3, 2}, {-2.5, -3, -2}, {1e30, kMax, kMax}, {9223372036854775808.0, kMax, kMax},
        {-9223372036854775808.0, kMin, kMin}, {-kInf, none, none}, {std::nan(""), none, none},
    };
    for (const auto& [value, rounded, truncated] : cases) {
        EXPECT_EQ(exporttext::roundedInteger(value), rounded) << value;
        EXPECT_EQ(exporttext::truncatedInteger(value), truncated) << value;
    }
}

} // namespace
} // namespace veq
