// Units, their symbols and the conversion to the imperial system.
#include "VEQProtocol/MeasurementUnit.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <unordered_set>

using namespace veq;
using U = MeasurementUnit;

TEST(MeasurementUnitTests, SeventeenUnitsWithTheirSymbolsAndConversions) {
    struct Case {
        const MeasurementUnit* unit;
        std::string_view metric;
        std::string_view imperial;
        double value;
        double converted;
    };
    const Case cases[] = {
        {&U::none, "", "", 7, 7},
        {&U::percent, "%", "%", 42.5, 42.5},
        {&U::rpm, "tr/min", "rpm", 3000, 3000},
        {&U::celsius, "\u00B0C", "\u00B0F", 100, 212},
        {&U::kilometersPerHour, "km/h", "mph", 100, 62.1371192},
        {&U::kilometers, "km", "mi", 1000, 621.371192},
        {&U::kilopascals, "kPa", "psi", 100, 14.5037738},
        {&U::gramsPerSecond, "g/s", "lb/min", 10, 1.32277},
        {&U::litersPerHour, "L/h", "gal/h", 10, 2.64172052},
        {&U::kilogramsPerHour, "kg/h", "lb/h", 10, 22.046226},
        {&U::bar, "bar", "psi", 1, 14.503774},
        {&U::gForce, "g", "g", 0.8, 0.8},
        {&U::volts, "V", "V", 14.2, 14.2},
        {&U::degrees, "\u00B0", "\u00B0", -12, -12},
        {&U::seconds, "s", "s", 600, 600},
        {&U::ratio, "\u03BB", "\u03BB", 1.02, 1.02},
        {&U::count, "", "", 9, 9},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.unit->metricSymbol, c.metric);
        EXPECT_EQ(c.unit->imperialSymbol, c.imperial);
        EXPECT_EQ(c.unit->symbol(UnitSystem::metric), c.metric);
        EXPECT_EQ(c.unit->symbol(UnitSystem::imperial), c.imperial);
        EXPECT_EQ(c.unit->value(c.value, UnitSystem::metric), c.value) << c.metric;
        EXPECT_DOUBLE_EQ(c.unit->value(c.value, UnitSystem::imperial), c.converted) << c.metric;
    }
}

// Celsius multiplies by 9 before dividing by 5: other orders differ in the last bit, and
// exported files must carry the same doubles on every platform.
TEST(MeasurementUnitTests, CelsiusConvertsInItsWrittenOrderToTheLastBit) {
    struct Case {
        double celsius;
        double fahrenheit;
    };
    const Case cases[] = {
        {100, 212},
        {-40, -40},
        {13.0, 55.4},                 // times 1.8 would give 55.400000000000006
        {3.7, 38.660000000000004},    // times 1.8 would give 38.66
        {-37.0, -34.599999999999994}, // divided first would give -34.60000000000001
    };
    for (const Case& c : cases) EXPECT_EQ(U::celsius.value(c.celsius, UnitSystem::imperial), c.fahrenheit) << c.celsius;
}

TEST(MeasurementUnitTests, EqualityAndHashUseTheSymbolsOnly) {
    EXPECT_EQ(U::none, U::count);
    EXPECT_EQ(std::hash<MeasurementUnit>{}(U::none), std::hash<MeasurementUnit>{}(U::count));
    EXPECT_NE(U::kilopascals, U::bar); // same imperial symbol, different metric one
    const MeasurementUnit doubled{"km/h", "mph", [](double v) { return v * 2; }};
    EXPECT_EQ(doubled, U::kilometersPerHour);
    EXPECT_EQ(doubled.value(10, UnitSystem::imperial), 20);
    const std::unordered_set<MeasurementUnit> set{U::none, U::count, U::rpm, U::percent, U::celsius};
    EXPECT_EQ(set.size(), 4u);
    // A unit built without a conversion keeps its value rather than failing.
    EXPECT_EQ((MeasurementUnit{"x", "y", nullptr}).value(3.5, UnitSystem::imperial), 3.5);
}

TEST(UnitSystemTests, ExactLowerCaseRawValues) {
    ASSERT_EQ(allCases<UnitSystem>().size(), 2u);
    EXPECT_EQ(allCases<UnitSystem>()[0], UnitSystem::metric);
    EXPECT_EQ(allCases<UnitSystem>()[1], UnitSystem::imperial);
    EXPECT_EQ(rawValue(UnitSystem::metric), "metric");
    EXPECT_EQ(rawValue(UnitSystem::imperial), "imperial");
    EXPECT_EQ(fromRaw<UnitSystem>("imperial"), UnitSystem::imperial);
    for (std::string_view other : {"Metric", "IMPERIAL", "", "metric "}) EXPECT_EQ(fromRaw<UnitSystem>(other), std::nullopt) << other;
}
