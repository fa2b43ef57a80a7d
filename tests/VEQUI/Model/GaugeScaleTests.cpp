// Gauge scales: the default table, dial positions, red band, glow and zone colours.
#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Model/VEQTheme.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

using namespace veq;

namespace {

constexpr auto none = std::nullopt;
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

struct DefaultRow { std::uint8_t pid; GaugeScale scale; };

// Transcribed from the table of built-in scales.
// clang-format off
const DefaultRow goldenDefaults[] = {
    {0x04, {  0,  100,   90,   none, 10}},
    {0x05, { 40,  130,  112,   120,   9}},
    {0x0B, {  0,  350,  300,   none,  7}},
    {0x0C, {  0, 7000, 6000,   6500,  7}},
    {0x0D, {  0,  260, none,   none, 13}},
    {0x0F, {-20,   80, none,   none, 10}},
    {0x10, {  0,  400, none,   none,  8}},
    {0x11, {  0,  100, none,   none, 10}},
    {0x2F, {  0,  100, none,   none, 10}},
    {0x42, { 11,   15, 12.0,   11.8,  8}},
    {0x43, {  0,  100,   90,   none, 10}},
    {0x45, {  0,  100, none,   none, 10}},
    {0x46, {-20,   80, none,   none, 10}},
    {0x49, {  0,  100, none,   none, 10}},
    {0x5C, { 40,  150,  125,   135,  11}},
    {0x5E, {  0,   60, none,   none,  6}},
};
// clang-format on

const GaugeScale otherScale{0, 255, none, none, 8};

} // namespace

TEST(GaugeScaleTests, DefaultTableMatchesEveryRowAndEveryOtherPIDGetsTheFallback) {
    for (const auto& row : goldenDefaults) EXPECT_EQ(GaugeScale::defaultFor(row.pid), row.scale) << int(row.pid);
    for (int pid = 0; pid <= 0xFF; ++pid) {
        const bool listed = std::any_of(std::begin(goldenDefaults), std::end(goldenDefaults),
                                        [pid](const DefaultRow& r) { return r.pid == pid; });
        const auto scale = GaugeScale::defaultFor(static_cast<std::uint8_t>(pid));
        if (!listed) {
            EXPECT_EQ(scale, otherScale) << pid;
        }
        // Every built-in scale is usable: numerals divide by the ticks, positions by the range.
        EXPECT_LT(scale.min, scale.max) << pid;
        EXPECT_GE(scale.majorTicks, 1) << pid;
        EXPECT_EQ(scale.isFalling(), pid == 0x42) << pid;
    }
    // The tick count handed to a dial is at least one.
    EXPECT_EQ((GaugeScale{0, 100, none, none, 0}).tickCount(), 1);
    EXPECT_EQ((GaugeScale{0, 100, none, none, -3}).tickCount(), 1);
    EXPECT_EQ(GaugeScale::defaultFor(0x0D).tickCount(), 13);
}

TEST(GaugeScaleTests, FractionIsClampedAndDegenerateScalesGiveZero) {
    const GaugeScale speed = GaugeScale::defaultFor(0x0D); // 0...260
    const GaugeScale coolant = GaugeScale::defaultFor(0x05); // 40...130
    const GaugeScale flat{50, 50, none, none, 1};
    const GaugeScale reversed{100, 0, none, none, 1};
    struct Case { const GaugeScale& scale; double value; double fraction; };
    const Case cases[] = {
        {speed, 130, 0.5},  {speed, -5, 0},     {speed, 300, 1},  {speed, 260, 1}, {speed, notANumber, 0},
        {speed, inf, 1},    {speed, -inf, 0},   {coolant, 40, 0}, {coolant, 20, 0}, {coolant, 85, 0.5},
        {flat, 50, 0},      {flat, 70, 0},      {flat, 10, 0},    {reversed, 50, 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.scale.fraction(c.value), c.fraction) << c.value;
}

TEST(GaugeScaleTests, RedlineStartsAtCriticalElseWarningAndNeverOnFallingScales) {
    struct Case { GaugeScale scale; double redline; };
    const Case cases[] = {
        {GaugeScale::defaultFor(0x0C), 6500.0 / 7000.0},
        {GaugeScale::defaultFor(0x0B), 300.0 / 350.0},
        {GaugeScale::defaultFor(0x05), 80.0 / 90.0},
        {GaugeScale::defaultFor(0x04), 0.9},
        {GaugeScale::defaultFor(0x42), 1},              // falling: no band
        {GaugeScale::defaultFor(0x0D), 1},              // no limits
        {GaugeScale{0, 100, 150.0, none, 10}, 1},       // a limit beyond the end clamps to 1
        {GaugeScale{0, 100, -10.0, none, 10}, 0},       // ... before the start to 0
        {GaugeScale{100, 100, 90.0, none, 10}, 0},      // degenerate with a limit
        {GaugeScale{100, 100, none, none, 10}, 1},      // degenerate without limits
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.scale.redlineFraction(), c.redline) << c.scale.max;
}

TEST(GaugeScaleTests, GlowRisesFromNinetyPercentOfWarningToCritical) {
    const GaugeScale rpm = GaugeScale::defaultFor(0x0C);       // glows from 5400, full at 6500
    const GaugeScale pressure = GaugeScale::defaultFor(0x0B);  // warning only: from 270, full at 350
    const GaugeScale narrow{0, 80, 100.0, none, 8};             // span below 0.001: a step at 90
    struct Case { const GaugeScale& scale; double value; double glow; };
    const Case cases[] = {
        {rpm, 5000, 0},       {rpm, 5400, 0},        {rpm, 5950, 0.5},  {rpm, 6500, 1},    {rpm, 7000, 1},
        {pressure, 269, 0},   {pressure, 310, 0.5},  {pressure, 350, 1},
        {narrow, 89.9, 0},    {narrow, 90, 0},       {narrow, 90.001, 1},
        // A value that is not finite has no glow.
        {rpm, notANumber, 0},        {rpm, inf, 0},         {rpm, -inf, 0},
    };
    for (const auto& c : cases) EXPECT_NEAR(c.scale.glow(c.value), c.glow, 1e-9) << c.value;

    // No warning limit, or a falling scale: no glow anywhere.
    for (double v : {-100.0, 0.0, 12.0, 14.2, 250.0, 1e9}) {
        EXPECT_EQ(GaugeScale::defaultFor(0x0D).glow(v), 0) << v;
        EXPECT_EQ(GaugeScale::defaultFor(0x42).glow(v), 0) << v;
    }
}

TEST(GaugeScaleTests, ZoneColoursTestCriticalBeforeWarning) {
    enum Zone { nominal, warning, critical };
    const GaugeScale::RGBA nominalRGBA{0.0F, 0.9F, 1.0F, 1.0F};
    const GaugeScale::RGBA warningRGBA{1.0F, 0.6901961F, 0.1254902F, 1.0F};
    const GaugeScale::RGBA criticalRGBA{1.0F, 0.23137255F, 0.30588236F, 1.0F};
    struct Case { std::uint8_t pid; double value; Zone zone; };
    const Case cases[] = {
        {0x0C, 5999, nominal}, {0x0C, 6000, warning}, {0x0C, 6499, warning}, {0x0C, 6500, critical},
        {0x04, 95, warning},   {0x04, 1000, warning},                        // warning only: never critical
        {0x42, 12.5, nominal}, {0x42, 12.0, warning}, {0x42, 11.9, warning}, // falling: low is bad
        {0x42, 11.8, critical}, {0x42, 5, critical},  {0x42, 14.2, nominal},
        {0x0D, 400, nominal},  {0x0C, notANumber, nominal},  {0x42, notANumber, nominal},  // NaN reaches no limit
    };
    for (const auto& c : cases) {
        const auto scale = GaugeScale::defaultFor(c.pid);
        const QColor& expected = c.zone == critical ? VEQ::critical() : c.zone == warning ? VEQ::warning() : VEQ::accent();
        EXPECT_EQ(scale.color(c.value), expected) << int(c.pid) << " " << c.value;
        const auto rgba = c.zone == critical ? criticalRGBA : c.zone == warning ? warningRGBA : nominalRGBA;
        EXPECT_EQ(scale.rgbaColor(c.value, nominalRGBA), rgba) << int(c.pid) << " " << c.value;
    }
    // The GPU's zone colours are the palette's.
    EXPECT_FLOAT_EQ(criticalRGBA[1], static_cast<float>(VEQ::critical().greenF()));
    EXPECT_FLOAT_EQ(warningRGBA[2], static_cast<float>(VEQ::warning().blueF()));
}
