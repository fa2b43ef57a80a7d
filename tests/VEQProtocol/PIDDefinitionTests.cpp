// Parameter definitions (scalar and multi-value decodes) and readings.
#include "VEQProtocol/PIDDefinition.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;
using Operands = std::span<const double>;
using U = MeasurementUnit;

TEST(PIDDefinitionTests, ScalarDecodeRules) {
    const auto identity = [](Operands x) { return x[0]; };
    const auto sum = [](Operands x) { return std::accumulate(x.begin(), x.end(), 0.0); };
    struct Case {
        const char* what;
        int bytes;
        std::optional<ClosedRange> plausible;
        PIDDefinition::Formula formula;
        Bytes data;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {"no bytes", 1, std::nullopt, identity, {}, std::nullopt},
        {"decodes from the first byte only", 1, std::nullopt, identity, {0x07, 0x08, 0x09}, 7.0},
        {"infinite", 1, std::nullopt, [](Operands x) { return x[0] / 0.0; }, {0x05}, std::nullopt},
        {"not a number", 1, std::nullopt, [](Operands x) { return x[0] / 0.0 - x[0] / 0.0; }, {0x05}, std::nullopt},
        {"reads past its byte count", 1, std::nullopt, [](Operands x) { return x.data()[1]; }, {0x01, 0x02}, std::nullopt},
        {"upper bound included", 1, ClosedRange{0, 500}, [](Operands x) { return x[0] * 2; }, {250}, 500.0},
        {"just past the upper bound", 1, ClosedRange{0, 500}, [](Operands x) { return x[0] * 2 + 0.03; }, {250}, std::nullopt},
        {"lower bound included", 1, ClosedRange{-40, 215}, [](Operands x) { return x[0] - 40; }, {0x00}, -40.0},
        {"below the lower bound", 1, ClosedRange{0, 500}, [](Operands x) { return x[0] - 1; }, {0x00}, std::nullopt},
        {"display range never filters", 1, std::nullopt, [](Operands x) { return x[0] * 100; }, {81}, 8100.0},
        {"long row, one byte short", 20, std::nullopt, sum, Bytes(19, 1), std::nullopt},
        {"long row, every byte", 20, std::nullopt, sum, Bytes(21, 2), 40.0},
    };
    for (const Case& c : cases) {
        const auto d = PIDDefinition::scalar(0x42, "Essai", c.bytes, U::volts, ClosedRange{0, 8000}, c.plausible, c.formula);
        const auto r = d.decode(c.data);
        EXPECT_EQ(r ? r->scalar() : std::nullopt, c.expected) << c.what;
    }
}

TEST(PIDDefinitionTests, MultiBuilderChecksOnlyTheLength) {
    const auto d = PIDDefinition::multi(0x14, "Sonde", 2, U::volts, [](Operands x) {
        return std::vector<double>{x[0] / 200, x[1] / 0.0};
    });
    EXPECT_EQ(d.decode(Bytes{0x5A}), std::nullopt);
    const auto r = d.decode(Bytes{0x5A, 0x00, 0x33});
    ASSERT_TRUE(r && r->as<PIDReading::Measurements>());
    const auto& values = r->as<PIDReading::Measurements>()->values;
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0], 0.45);
    EXPECT_TRUE(std::isnan(values[1])); // no finiteness test for several values
    EXPECT_EQ(r->scalar(), std::nullopt);
    EXPECT_EQ(r->unit(), U::volts);
}

TEST(PIDReadingTests, ScalarUnitAndEquality) {
    using Flag = PIDReading::Flag;
    EXPECT_EQ(PIDReading::flags({{"MIL", true}}).unit(), std::nullopt);
    EXPECT_EQ(PIDReading::text("Diesel").scalar(), std::nullopt);
    EXPECT_NE(PIDReading::flags({Flag{"A", true}, Flag{"B", false}}), PIDReading::flags({Flag{"B", false}, Flag{"A", true}}));
    EXPECT_NE(PIDReading::flags({Flag{"A", true}}), PIDReading::flags({Flag{"A", false}}));
    EXPECT_NE(PIDReading::measurement(1, U::kilometers), PIDReading::measurement(1, U::kilometersPerHour));
    EXPECT_NE(PIDReading::measurement(1, U::none), PIDReading::measurements({1}, U::none));
    EXPECT_NE(PIDReading::supportBitmap(0x20, {0x21}), PIDReading::supportBitmap(0x40, {0x21}));
    EXPECT_NE(PIDReading::text("1"), PIDReading::raw({'1'}));
}
