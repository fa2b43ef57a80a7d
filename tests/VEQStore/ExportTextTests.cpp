#include "VEQStore/ExportText.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

namespace veq {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TEST(ExportText, EscapesAmpersandThenAngleBracketsOnly) {
    EXPECT_EQ(exporttext::escapedMarkup("a&b <c> \"d\" 'e' &amp;"), "a&amp;b &lt;c&gt; \"d\" 'e' &amp;amp;");
}

TEST(ExportText, ReadsDoublesAsStrtodInThePOSIXLocale) {
    const struct {
        const char* text;
        std::optional<double> expected;
    } cases[] = {
        {"-2.5", -2.5},          {"+3", 3.0},          {".5", 0.5},          {"5.", 5.0},
        {"1E-2", 0.01},          {"-0X1p-1", -0.5},    {"-Infinity", -kInf}, {"1e999", kInf},
        {"-1e999", -kInf},       {"1e-999", 0.0},      {"0x1p99999", kInf},  {"", std::nullopt},
        {"-", std::nullopt},     {"+-1", std::nullopt}, {" 1", std::nullopt}, {"1 ", std::nullopt},
        {"1,5", std::nullopt},   {"1.2.3", std::nullopt}, {"0x", std::nullopt}, {"0xinf", std::nullopt},
        {"1e", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exporttext::readDouble(c.text), c.expected) << c.text;
    }
    const auto nan = exporttext::readDouble("nan");
    ASSERT_TRUE(nan.has_value());
    EXPECT_TRUE(std::isnan(*nan));
}

TEST(ExportText, ReadsDecimalIntegersWithin64Bits) {
    const struct {
        const char* text;
        std::optional<std::int64_t> expected;
    } cases[] = {
        {"0", 0},   {"+12", 12}, {"-12", -12}, {"9223372036854775807", kMax}, {"-9223372036854775808", kMin},
        {"9223372036854775808", std::nullopt}, {"", std::nullopt}, {"+", std::nullopt}, {"-", std::nullopt},
        {"1a", std::nullopt}, {"1.0", std::nullopt}, {"+-1", std::nullopt}, {" 1", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exporttext::readInteger(c.text), c.expected) << c.text;
    }
}

TEST(ExportText, RoundsAndTruncatesWithoutUndefinedConversions) {
    const struct {
        double value;
        std::optional<std::int64_t> rounded, truncated;
    } cases[] = {
        {2.5, 3, 2},
        {-2.5, -3, -2},
        {-0.4, 0, 0},
        {1e30, kMax, kMax},
        {-1e30, kMin, kMin},
        {9223372036854775808.0, kMax, kMax},
        {-9223372036854775808.0, kMin, kMin},
        {kInf, std::nullopt, std::nullopt},
        {-kInf, std::nullopt, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exporttext::roundedInteger(c.value), c.rounded) << c.value;
        EXPECT_EQ(exporttext::truncatedInteger(c.value), c.truncated) << c.value;
    }
}

} // namespace
} // namespace veq
