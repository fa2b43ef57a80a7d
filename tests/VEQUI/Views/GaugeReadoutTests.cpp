#include "TestSupport/FrenchLocale.hpp"
#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/GaugeReadout.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <optional>

namespace veq {
namespace {

struct FormatCase {
    double value;
    const char* text;
};

const FormatCase formatCases[] = {
    {12.34, "12.3"},
    {-5.0, "-5.0"},
    {0.0, "0.0"},
    {99.94, "99.9"},
    {99.96, "100.0"},   // below 100 before rounding: one decimal
    {100.0, "100"},
    {-100.4, "-100"},
    {1234.5, "1235"},   // halves away from zero
    {-1234.5, "-1235"},
    {-250.4, "-250"},
    {6999.5, "7000"},
    {9.2e18, "9200000000000000000"},
    {-9223372036854775808.0, "-9223372036854775808"},
    // Nothing sensible to round to: the reading is shown as missing.
    {9223372036854775808.0, "—"},
    {1e19, "—"},
    {-1e300, "—"},
    {std::numeric_limits<double>::infinity(), "—"},
    {-std::numeric_limits<double>::infinity(), "—"},
    {std::numeric_limits<double>::quiet_NaN(), "—"},
};

TEST(GaugeReadout, FormatsOneDecimalBelowAHundredAndWholeNumbersFrom) {
    for (const auto& c : formatCases) EXPECT_EQ(GaugeReadout::formatted(c.value).toStdString(), c.text) << c.value;
}

TEST(GaugeReadout, KeepsThePointUnderAFrenchLocale) {
    testing::FrenchLocale french;
    if (!french.active()) GTEST_SKIP() << "no French locale on this machine";
    EXPECT_EQ(GaugeReadout::formatted(12.34).toStdString(), "12.3");
    EXPECT_EQ(GaugeReadout::formatted(99.96).toStdString(), "100.0");
}

struct ZoneCase {
    const char* name;
    std::uint8_t pid;
    std::optional<double> value;
    bool night;
    const QColor& (*expected)();
};

TEST(GaugeReadout, ZoneColourFollowsTheLimitsTheNightAndAMissingValue) {
    static const ZoneCase cases[] = {
        {"no value",                         0x0C, std::nullopt, false, VEQ::textSecondary},
        {"no value at night",                0x0C, std::nullopt, true,  VEQ::textSecondary},
        {"engine speed below the limits",    0x0C, 3000,   false, VEQ::accent},
        {"engine speed at night",            0x0C, 3000,   true,  VEQ::warning},
        {"engine speed at the warning",      0x0C, 6000,   false, VEQ::warning},
        {"engine speed at the critical",     0x0C, 6500,   false, VEQ::critical},
        {"beyond both limits at night",      0x0C, 7000,   true,  VEQ::critical},
        {"load (warning only) at 95 %",      0x04, 95,     false, VEQ::warning},
        {"voltage 12.5 V",                   0x42, 12.5,   false, VEQ::accent},
        {"voltage 12.0 V",                   0x42, 12.0,   false, VEQ::warning},
        {"voltage 11.8 V",                   0x42, 11.8,   false, VEQ::critical},
        {"speed (no limits) at the end",     0x0D, 260,    false, VEQ::accent},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GaugeReadout::zoneColor(c.value, GaugeScale::defaultFor(c.pid), c.night), c.expected()) << c.name;
    }
}

} // namespace
} // namespace veq
