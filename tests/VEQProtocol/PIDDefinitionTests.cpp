// Parameter definitions (scalar and multi-value decodes) and readings.
#include "VEQProtocol/PIDDefinition.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;
using Operands = std::span<const double>;
using U = MeasurementUnit;

namespace {

PIDDefinition oneByte(std::optional<ClosedRange> plausible, PIDDefinition::Formula formula) {
    return PIDDefinition::scalar(0x42, "Essai", 1, U::volts, ClosedRange{0, 8000}, plausible, std::move(formula));
}

std::optional<double> scalarOf(const PIDDefinition& d, const Bytes& bytes) {
    const auto r = d.decode(bytes);
    return r ? r->scalar() : std::nullopt;
}

} // namespace

TEST(PIDDefinitionTests, ScalarDecodeRules) {
    const auto identity = [](Operands x) { return x[0]; };
    const auto times100 = [](Operands x) { return x[0] * 100; };
    struct Case {
        const char* what;
        std::optional<ClosedRange> plausible;
        PIDDefinition::Formula formula;
        Bytes bytes;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {"no bytes", std::nullopt, identity, {}, std::nullopt},
        {"decodes from the first byte only", std::nullopt, identity, {0x07, 0x08, 0x09}, 7.0},
        {"infinite without plausible range", std::nullopt, [](Operands x) { return x[0] / 0.0; }, {0x05}, std::nullopt},
        {"not a number", std::nullopt, [](Operands x) { return x[0] / 0.0 - x[0] / 0.0; }, {0x05}, std::nullopt},
        {"upper bound included", ClosedRange{0, 500}, [](Operands x) { return x[0] * 2; }, {250}, 500.0},
        {"just past the upper bound", ClosedRange{0, 500}, [](Operands x) { return x[0] * 2 + 0.03; }, {250}, std::nullopt},
        {"lower bound included", ClosedRange{-40, 215}, [](Operands x) { return x[0] - 40; }, {0x00}, -40.0},
        {"below the lower bound", ClosedRange{0, 500}, [](Operands x) { return x[0] - 1; }, {0x00}, std::nullopt},
        {"display range never filters", std::nullopt, times100, {81}, 8100.0},
    };
    for (const Case& c : cases) EXPECT_EQ(scalarOf(oneByte(c.plausible, c.formula), c.bytes), c.expected) << c.what;
}

// A formula that reads past its declared byte count must not pick up a stale number.
TEST(PIDDefinitionTests, FormulaReadingPastTheByteCountGivesNothing) {
    const auto d = PIDDefinition::scalar(0x10, "Essai", 1, U::none, std::nullopt, std::nullopt,
                                         [](Operands x) { return x.data()[1]; });
    EXPECT_EQ(d.decode(Bytes{0x01, 0x02}), std::nullopt);
}

TEST(PIDDefinitionTests, LongRowsDecodeEveryByte) {
    const auto sum = [](Operands x) { return std::accumulate(x.begin(), x.end(), 0.0); };
    const auto d = PIDDefinition::scalar(0x10, "Essai", 20, U::none, std::nullopt, std::nullopt, sum);
    EXPECT_EQ(scalarOf(d, Bytes(19, 1)), std::nullopt);
    EXPECT_EQ(scalarOf(d, Bytes(21, 2)), 40.0);
}

TEST(PIDDefinitionTests, MultiBuilderChecksOnlyTheLength) {
    const auto d = PIDDefinition::multi(0x14, "Sonde", 2, U::volts, [](Operands x) {
        return std::vector<double>{x[0] / 200, x[1] / 0.0};
    });
    EXPECT_EQ(d.mode, OBDMode::currentData);
    EXPECT_EQ(d.range, std::nullopt);
    EXPECT_EQ(d.plausible, std::nullopt);
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

TEST(PIDReadingTests, ScalarAndUnitByCase) {
    struct Case {
        PIDReading reading;
        std::optional<double> scalar;
        std::optional<MeasurementUnit> unit;
    };
    const Case cases[] = {
        {PIDReading::measurement(83, U::celsius), 83.0, U::celsius},
        {PIDReading::measurements({1, 2}, U::volts), std::nullopt, U::volts},
        {PIDReading::flags({{"MIL", true}}), std::nullopt, std::nullopt},
        {PIDReading::supportBitmap(0x00, {0x0C}), std::nullopt, std::nullopt},
        {PIDReading::text("Diesel"), std::nullopt, std::nullopt},
        {PIDReading::raw({0x01}), std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.reading.scalar(), c.scalar);
        EXPECT_EQ(c.reading.unit(), c.unit);
    }
}

TEST(PIDReadingTests, Equality) {
    using Flag = PIDReading::Flag;
    EXPECT_NE(PIDReading::flags({Flag{"A", true}, Flag{"B", false}}), PIDReading::flags({Flag{"B", false}, Flag{"A", true}}));
    EXPECT_NE(PIDReading::flags({Flag{"A", true}}), PIDReading::flags({Flag{"A", false}}));
    EXPECT_EQ(PIDReading::measurement(0, U::none), PIDReading::measurement(0, U::count)); // same symbols
    EXPECT_NE(PIDReading::measurement(1, U::kilometers), PIDReading::measurement(1, U::kilometersPerHour));
    EXPECT_NE(PIDReading::measurement(1, U::none), PIDReading::measurements({1}, U::none));
    EXPECT_EQ(PIDReading::supportBitmap(0x20, {0x30, 0x21}), PIDReading::supportBitmap(0x20, {0x21, 0x30}));
    EXPECT_NE(PIDReading::supportBitmap(0x20, {0x21}), PIDReading::supportBitmap(0x40, {0x21}));
    EXPECT_NE(PIDReading::text("1"), PIDReading::raw({'1'}));
}
