// Units, their symbols and the conversion to the imperial system.
#include "VEQProtocol/MeasurementUnit.hpp"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace veq;
using U = MeasurementUnit;

TEST(MeasurementUnitTests, ImperialConversions) {
    const std::tuple<const MeasurementUnit*, double, double> cases[] = {
        {&U::percent, 42.5, 42.5},          {&U::rpm, 3000, 3000},            {&U::celsius, 100, 212},
        {&U::kilometersPerHour, 100, 62.1371192}, {&U::kilometers, 1000, 621.371192}, {&U::kilopascals, 100, 14.5037738},
        {&U::gramsPerSecond, 10, 1.32277},  {&U::litersPerHour, 10, 2.64172052}, {&U::kilogramsPerHour, 10, 22.046226},
        {&U::bar, 1, 14.503774},            {&U::degrees, -12, -12},          {&U::ratio, 1.02, 1.02},
    };
    for (const auto& [unit, value, converted] : cases) {
        EXPECT_EQ(unit->value(value, UnitSystem::metric), value) << unit->metricSymbol;
        EXPECT_DOUBLE_EQ(unit->value(value, UnitSystem::imperial), converted) << unit->metricSymbol;
    }
    EXPECT_EQ(U::celsius.symbol(UnitSystem::metric), "\u00B0C");
    EXPECT_EQ(U::celsius.symbol(UnitSystem::imperial), "\u00B0F");
    // A unit built without a conversion keeps its value rather than failing.
    EXPECT_EQ((MeasurementUnit{"x", "y", nullptr}).value(3.5, UnitSystem::imperial), 3.5);
}

// Celsius multiplies by 9 before dividing by 5: other orders differ in the last bit, and
// exported files must carry the same doubles on every platform.
TEST(MeasurementUnitTests, CelsiusConvertsInItsWrittenOrderToTheLastBit) {
    const std::pair<double, double> cases[] = {
        {13.0, 55.4},                 // times 1.8 would give 55.400000000000006
        {3.7, 38.660000000000004},    // times 1.8 would give 38.66
        {-37.0, -34.599999999999994}, // divided first would give -34.60000000000001
    };
    for (const auto& [celsius, fahrenheit] : cases) EXPECT_EQ(U::celsius.value(celsius, UnitSystem::imperial), fahrenheit) << celsius;
}

TEST(MeasurementUnitTests, EqualityAndHashUseTheSymbolsOnly) {
    EXPECT_EQ(U::none, U::count);
    EXPECT_NE(U::kilopascals, U::bar); // same imperial symbol, different metric one
    EXPECT_EQ((MeasurementUnit{"km/h", "mph", [](double v) { return v * 2; }}), U::kilometersPerHour);
    const std::unordered_set<MeasurementUnit> set{U::none, U::count, U::rpm, U::percent, U::celsius};
    EXPECT_EQ(set.size(), 4u);
    EXPECT_EQ(fromRaw<UnitSystem>("imperial"), UnitSystem::imperial);
    EXPECT_EQ(fromRaw<UnitSystem>("Metric"), std::nullopt);
}
