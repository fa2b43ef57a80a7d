// The dial's numerals, needle shape and readout text.
#include "TestSupport/FrenchLocale.hpp"
#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/GaugeNumbers.hpp"
#include "VEQUI/Views/Gauges/GaugeReadout.hpp"
#include "VEQUI/Views/Gauges/NeedleShape.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

namespace veq {
namespace {

std::vector<std::string> labels(const GaugeNumbers& numbers) {
    std::vector<std::string> out;
    for (int i = 0; i <= numbers.scale.majorTicks; ++i) out.push_back(numbers.numeral(i).text.toStdString());
    return out;
}

TEST(GaugeNumbers, EngineSpeedInThousands) {
    const GaugeNumbers numbers{GaugeScale::defaultFor(0x0C), 1000, 400};
    EXPECT_EQ(labels(numbers), (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7"}));
    // The red band starts at 6500/7000: only the last numeral lies in it.
    for (int i = 0; i <= 7; ++i) EXPECT_EQ(numbers.numeral(i).critical, i == 7) << i;
}

TEST(GaugeNumbers, LabelsRoundHalvesAwayFromZero) {
    // -20...80 in 10 divisions: -20, -10, ..., 80; 11...15 in 8: 11, 11.5 -> 12, 12, 12.5 -> 13, ...
    EXPECT_EQ(labels({GaugeScale::defaultFor(0x0F), 1, 300}),
              (std::vector<std::string>{"-20", "-10", "0", "10", "20", "30", "40", "50", "60", "70", "80"}));
    EXPECT_EQ(labels({GaugeScale::defaultFor(0x42), 1, 300}),
              (std::vector<std::string>{"11", "12", "12", "13", "13", "14", "14", "15", "15"}));
    const GaugeScale negative{-3, 0, std::nullopt, std::nullopt, 2};
    EXPECT_EQ(labels({negative, 1, 300}), (std::vector<std::string>{"-3", "-2", "0"}));
}

TEST(GaugeNumbers, AScaleWithoutARedBandStillColoursItsLastNumeral) {
    const GaugeNumbers numbers{GaugeScale::defaultFor(0x0D), 1, 300};
    for (int i = 0; i <= 13; ++i) EXPECT_EQ(numbers.numeral(i).critical, i == 13) << i;
}

TEST(GaugeNumbers, SitOnTheSweepFromLowerLeftOverTheTopToLowerRight) {
    const double side = 400;
    const GaugeNumbers numbers{GaugeScale{0, 100, std::nullopt, std::nullopt, 4}, 1, side};
    const double r = side * 0.31;
    const double h = r * std::sqrt(0.5);
    // A quarter of the 270° sweep is 67.5°: 157.5° and 22.5° counter-clockwise from the right.
    const double c = r * std::cos(22.5 * std::numbers::pi / 180), s = r * std::sin(22.5 * std::numbers::pi / 180);
    struct Case { int i; double x, y; };
    const Case cases[] = {{0, -h, h}, {1, -c, -s}, {2, 0, -r}, {3, c, -s}, {4, h, h}};
    for (const auto& c : cases) {
        EXPECT_NEAR(numbers.numeral(c.i).offset.x(), c.x, 1e-9) << c.i;
        EXPECT_NEAR(numbers.numeral(c.i).offset.y(), c.y, 1e-9) << c.i;
    }
}

TEST(NeedleShape, PointsAlongTheSweepAndReaches82PercentOfTheRadius) {
    const QRectF rect(0, 0, 300, 200); // r = 100 about (150, 100)
    const double h = 82 * std::sqrt(0.5);
    struct Case { double fraction; double tipX, tipY; };
    static const Case cases[] = {
        {0.0, 150 - h, 100 + h}, // lower left
        {0.5, 150, 100 - 82},    // straight up
        {1.0, 150 + h, 100 + h}, // lower right
        {1.0 / 6, 150 - 82, 100} // 180°: left
    };
    for (const auto& c : cases) {
        const QPainterPath path = NeedleShape{c.fraction}.path(rect);
        ASSERT_EQ(path.elementCount(), 4) << c.fraction; // move, tip, back, close
        EXPECT_NEAR(path.elementAt(1).x, c.tipX, 1e-9) << c.fraction;
        EXPECT_NEAR(path.elementAt(1).y, c.tipY, 1e-9) << c.fraction;
        // The base is 0.05 r wide, across the needle at the centre.
        const QPointF a(path.elementAt(0).x, path.elementAt(0).y), b(path.elementAt(2).x, path.elementAt(2).y);
        EXPECT_NEAR(std::hypot(a.x() - b.x(), a.y() - b.y()), 5.0, 1e-9) << c.fraction;
        EXPECT_NEAR((a.x() + b.x()) / 2, 150, 1e-9);
        EXPECT_NEAR((a.y() + b.y()) / 2, 100, 1e-9);
    }
}

struct FormatCase { double value; const char* text; };

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
