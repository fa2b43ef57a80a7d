// The mode 01 catalogue: every row on a real reply, short replies and plausibility.
#include "VEQProtocol/OBDCommand.hpp"
#include "VEQProtocol/PIDCatalog.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string_view>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;
using Flag = PIDReading::Flag;

namespace {

// The parameter rows in table order (0xA4 last), each formula row with a real reply's data
// bytes and the exact double they give. Rows decoded by their own rule have no sample here.
struct Row {
    std::uint8_t pid;
    Bytes sample;
    std::optional<double> value;
};
const Row kParameterRows[] = {
    {0x01, {},                                                     {}},
    {0x03, {},                                                     {}},
    {0x04, {0x78},                                                 47.05882352941177},
    {0x05, {0x7B},                                                 83.0},
    {0x06, {0x80},                                                 0.0},
    {0x07, {0x85},                                                 3.90625},
    {0x08, {0x7A},                                                 -4.6875},
    {0x09, {0x81},                                                 0.78125},
    {0x0A, {0x64},                                                 300.0},
    {0x0B, {0x21},                                                 33.0},
    {0x0C, {0x1A, 0xF8},                                           1726.0},
    {0x0D, {0x32},                                                 50.0},
    {0x0E, {0x8C},                                                 6.0},
    {0x0F, {0x3C},                                                 20.0},
    {0x10, {0x04, 0xD2},                                           12.34},
    {0x11, {0x3C},                                                 23.529411764705884},
    {0x12, {},                                                     {}},
    {0x13, {},                                                     {}},
    {0x1C, {},                                                     {}},
    {0x1F, {0x02, 0x58},                                           600.0},
    {0x21, {0x00, 0x7B},                                           123.0},
    {0x22, {0x01, 0x2C},                                           23.7},
    {0x23, {0x0F, 0xA0},                                           40000.0},
    {0x2C, {0x1E},                                                 11.764705882352942},
    {0x2D, {0x84},                                                 3.125},
    {0x2F, {0xB3},                                                 70.19607843137256},
    {0x30, {0x0A},                                                 10.0},
    {0x31, {0x04, 0xD2},                                           1234.0},
    {0x33, {0x65},                                                 101.0},
    {0x3C, {0x11, 0x94},                                           410.0},
    {0x41, {},                                                     {}},
    {0x42, {0x37, 0x6E},                                           14.19},
    {0x43, {0x00, 0x21},                                           12.941176470588236},
    {0x44, {0x80, 0x00},                                           1.0},
    {0x45, {0xF0},                                                 94.11764705882354},
    {0x46, {0x41},                                                 25.0},
    {0x47, {0xA1},                                                 63.13725490196079},
    {0x49, {0x7D},                                                 49.01960784313726},
    {0x4A, {0x0F},                                                 5.882352941176471},
    {0x4C, {0xFA},                                                 98.03921568627452},
    {0x4D, {0x00, 0x3C},                                           3600.0},
    {0x4E, {0x01, 0x2C},                                           18000.0},
    {0x51, {},                                                     {}},
    {0x52, {0x14},                                                 7.8431372549019605},
    {0x5C, {0x82},                                                 90.0},
    {0x5E, {0x00, 0x9B},                                           7.75},
    {0x66, {0xFF, 0x07, 0xD0, 0xFF, 0xFF},                         62.5},
    {0x67, {0xFF, 0x7B, 0xFF},                                     83.0},
    {0x68, {0xFF, 0x41, 0xFF},                                     25.0},
    {0x6B, {0xFF, 0xC8, 0xFF},                                     160.0},
    {0x70, {0xFF, 0xFF, 0xFF, 0x0C, 0x80},                         100.0},
    {0x73, {0xFF, 0x32, 0x00, 0xFF, 0xFF},                         100.0},
    {0x75, {0xFF, 0xB4, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},             140.0},
    {0x77, {0xFF, 0x50, 0xFF, 0xFF, 0xFF},                         40.0},
    {0x78, {0xFF, 0x1D, 0x4C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 710.0},
    {0x79, {0xFF, 0x17, 0x70, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 560.0},
    {0x7C, {0xFF, 0x0F, 0xA0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 360.0},
    {0x87, {0xFF, 0x0C, 0x80, 0xFF, 0xFF},                         100.0},
    {0x9E, {0x03, 0xE8},                                           200.0},
    {0xA6, {0x00, 0x01, 0xE2, 0x40},                               12345.6},
    {0xA4, {0x01, 0x23, 0x00, 0x00},                               3.0},
};

// Rows whose decode is not a formula, with the fewest bytes that decode.
const std::map<std::uint8_t, std::size_t> kOwnLengthRule = {
    {0x01, 4}, {0x41, 4}, {0x03, 1}, {0x12, 1}, {0x13, 1}, {0x1C, 1}, {0x51, 1},
};

bool isSupportRow(std::uint8_t pid) { return pid % 0x20 == 0 && pid <= 0xA0; }
bool isFormulaRow(std::uint8_t pid) { return !isSupportRow(pid) && !kOwnLengthRule.contains(pid); }

std::optional<PIDReading> decode(std::uint8_t pid, const Bytes& payload) {
    const PIDDefinition* d = PIDCatalog::definition(pid);
    if (d == nullptr) ADD_FAILURE() << "no row for " << int(pid);
    return d ? d->decode(payload) : std::nullopt;
}

} // namespace

TEST(PIDCatalogTests, OrderAndLookup) {
    std::vector<std::uint8_t> expected{0x00, 0x20, 0x40};
    for (const Row& row : kParameterRows)
        if (row.pid != 0xA4) expected.push_back(row.pid);
    expected.insert(expected.end(), {0x60, 0x80, 0xA0, 0xA4});

    std::vector<std::uint8_t> order;
    for (const PIDDefinition& d : PIDCatalog::all()) {
        order.push_back(d.pid);
        EXPECT_EQ(PIDCatalog::definition(d.pid), &d);
        EXPECT_EQ(d.id(), 0x0100 + d.pid);
        EXPECT_EQ(OBDCommand(d), OBDCommand(OBDMode::currentData, d.pid));
    }
    EXPECT_EQ(order, expected);
    EXPECT_EQ(PIDCatalog::byPID().size(), order.size()); // no number twice
    for (std::uint8_t missing : {0x02, 0x14, 0xA5, 0xFF}) EXPECT_EQ(PIDCatalog::definition(missing), nullptr);
}

TEST(PIDCatalogTests, EveryFormulaRowOnARealReply) {
    for (const Row& row : kParameterRows) {
        ASSERT_EQ(row.value.has_value(), isFormulaRow(row.pid)) << int(row.pid) << ": every formula row has a sample";
        if (!row.value) continue;
        const auto reading = decode(row.pid, row.sample);
        ASSERT_TRUE(reading) << int(row.pid);
        EXPECT_EQ(reading->scalar(), row.value) << int(row.pid); // bit for bit, not approximately
        Bytes longer = row.sample;
        longer.insert(longer.end(), {0xAB, 0xCD});
        EXPECT_EQ(decode(row.pid, longer), reading) << int(row.pid) << ": bytes beyond the row are ignored";
    }
}

TEST(PIDCatalogTests, ShortRepliesGiveNothing) {
    for (const PIDDefinition& d : PIDCatalog::all()) {
        const auto rule = kOwnLengthRule.find(d.pid);
        const std::size_t needed = rule != kOwnLengthRule.end() ? rule->second : static_cast<std::size_t>(d.byteCount);
        EXPECT_FALSE(d.decode(Bytes(needed - 1, 0x01))) << d.name;
        EXPECT_FALSE(d.decode(Bytes{})) << d.name;
        EXPECT_TRUE(d.decode(Bytes(needed, 0x01))) << d.name;
    }
}

// Plausible ranges include their bounds and refuse what lies past them; the display range
// never filters.
TEST(PIDCatalogTests, EdgeValues) {
    const std::tuple<std::uint8_t, Bytes, std::optional<double>> cases[] = {
        {0x0C, {0xFF, 0xFF}, 16383.75},
        {0xA4, {0x00, 0xFF, 0x00, 0x00}, 15.0},
        {0x66, {0x00, 0x57, 0x80, 0x00, 0x00}, 700.0},
        {0x66, {0x00, 0x57, 0x81, 0x00, 0x00}, std::nullopt},
        {0x67, {0x00, 0x00, 0x00}, -40.0},
        {0x70, {0x00, 0x00, 0x00, 0x3E, 0x80}, 500.0},
        {0x70, {0x00, 0x00, 0x00, 0x3E, 0x81}, std::nullopt}, // 500.03125
        {0x73, {0x00, 0xFA, 0x00, 0x00, 0x00}, 500.0},
        {0x73, {0x00, 0xFA, 0x01, 0x00, 0x00}, std::nullopt},
        {0x78, {0x00, 0x38, 0x40, 0, 0, 0, 0, 0, 0}, 1400.0},
        {0x79, {0x00, 0x38, 0x41, 0, 0, 0, 0, 0, 0}, std::nullopt},
        {0x7C, {0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0}, -40.0},
        {0x87, {0x00, 0x3E, 0x81, 0x00, 0x00}, std::nullopt},
        {0x9E, {0x4E, 0x20}, 4000.0},
        {0x9E, {0x4E, 0x21}, std::nullopt},
        {0xA6, {0x01, 0x31, 0x2D, 0x00}, 2000000.0},
        {0xA6, {0x01, 0x31, 0x2D, 0x01}, std::nullopt},
    };
    for (const auto& [pid, payload, expected] : cases) {
        const auto r = decode(pid, payload);
        EXPECT_EQ(r ? r->scalar() : std::nullopt, expected) << int(pid);
    }
}

// Sweeps each byte of every formula row through 0-255: whatever is decoded is finite and
// plausible, and a full-length reply is refused only by a plausible range.
TEST(PIDCatalogTests, NoFormulaRowLetsANonFiniteOrImplausibleValueThrough) {
    for (const PIDDefinition& d : PIDCatalog::all()) {
        if (!isFormulaRow(d.pid)) continue;
        for (std::uint8_t fill : {0x00, 0xFF}) {
            for (std::size_t position = 0; position < static_cast<std::size_t>(d.byteCount); ++position) {
                Bytes payload(static_cast<std::size_t>(d.byteCount), fill);
                for (int v = 0; v < 256; ++v) {
                    payload[position] = static_cast<std::uint8_t>(v);
                    const auto reading = d.decode(payload);
                    ASSERT_TRUE(reading || d.plausible) << d.name << " dropped a value without a plausible range";
                    const double x = reading ? *reading->scalar() : 0;
                    ASSERT_TRUE(std::isfinite(x)) << d.name;
                    ASSERT_TRUE(!reading || !d.plausible || d.plausible->contains(x)) << d.name << " let " << x << " through";
                }
            }
        }
    }
}

// The most significant bit is the first number; a base near the top of the byte range must
// not wrap its last number round to 0x00.
TEST(PIDCatalogTests, SupportBitmaps) {
    using S = std::set<std::uint8_t>;
    const std::tuple<std::uint8_t, Bytes, std::optional<PIDReading>> cases[] = {
        {0x00, {0xBE, 0x1F, 0xA8, 0x13},
         PIDReading::supportBitmap(0x00, S{0x01, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x13, 0x15, 0x1C, 0x1F, 0x20})},
        {0x00, {0xBE, 0x1F, 0xA8}, std::nullopt},
        {0xA0, {0x80, 0x00, 0x00, 0x01, 0x77}, PIDReading::supportBitmap(0xA0, S{0xA1, 0xC0})},
        {0x40, {0x00, 0x00, 0x00, 0x00}, PIDReading::supportBitmap(0x40, S{})},
    };
    for (const auto& [base, payload, expected] : cases) EXPECT_EQ(decode(base, payload), expected) << int(base);
    EXPECT_EQ(PIDCatalog::definition(0x20)->name, "PIDs supportés [0x21\u20130x40]");

    const PIDDefinition top = PIDCatalog::supportBitmap(0xE0);
    EXPECT_EQ(top.name, "PIDs supportés [0xE1\u20130x100]");
    EXPECT_EQ(top.decode(Bytes{0x00, 0x00, 0x00, 0x01}), PIDReading::supportBitmap(0xE0, {}));
    const auto all = top.decode(Bytes{0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_TRUE(all && all->as<PIDReading::SupportBitmap>());
    const auto& supported = all->as<PIDReading::SupportBitmap>()->supported;
    EXPECT_EQ(supported.size(), 31u);
    EXPECT_EQ(*supported.begin(), 0xE1);
}

// The texts of the flag and text rows, checked byte for byte in the C locale and again under a
// French one (Qt sets the process locale from the user's environment).
class PIDCatalogTexts : public ::testing::TestWithParam<bool> {};

TEST_P(PIDCatalogTexts, FlagAndTextRows) {
    std::optional<veq::testing::FrenchLocale> french;
    ASSERT_TRUE(!GetParam() || french.emplace().active()) << "fr_FR.UTF-8 is not installed";
    struct Case {
        std::uint8_t pid;
        Bytes payload;
        std::vector<Flag> flags;
    };
    const Case cases[] = {
        {0x01, {0x83, 0x07, 0x65, 0x04}, {{"MIL", true}, {"Ratés d'allumage", true}, {"Système carburant", true},
                                          {"Composants", true}, {"Catalyseur", true}, {"Système EVAP", false},
                                          {"Sonde lambda", true}, {"Chauffage sonde lambda", true}}},
        {0x41, {0x00, 0x00, 0x00, 0x00, 0xFF}, {{"MIL", false}}},
        {0x03, {0x02}, {{"Système 1 : Boucle fermée", true}}},
        {0x03, {0x02, 0x00}, {{"Système 1 : Boucle fermée", true}}},
        {0x03, {0x10, 0x0A}, {{"Système 1 : Boucle fermée (défaut sonde)", true}, {"Système 2 : Inconnu (0xa)", true}}},
        {0x12, {0x04}, {{"Vers l'atmosphère (désactivé)", true}}},
        {0x13, {0x81}, {{"O2 1-1", true}, {"O2 1-2", false}, {"O2 1-3", false}, {"O2 1-4", false},
                        {"O2 2-1", false}, {"O2 2-2", false}, {"O2 2-3", false}, {"O2 2-4", true}}},
    };
    for (const Case& c : cases) {
        const auto r = decode(c.pid, c.payload);
        ASSERT_TRUE(r && r->as<PIDReading::Flags>()) << int(c.pid);
        EXPECT_EQ(r->as<PIDReading::Flags>()->flags, c.flags) << int(c.pid);
    }
    const std::tuple<std::uint8_t, std::uint8_t, std::string_view> texts[] = {
        {0x1C, 0x09, "EOBD, OBD et OBD-II"}, {0x1C, 0x1D, "Norme 0x1d"},
        {0x51, 0x08, "\u00C9lectrique"},     {0x51, 0xFE, "Type 0xfe"},
    };
    for (const auto& [pid, byte, text] : texts) EXPECT_EQ(decode(pid, {byte}), PIDReading::text(std::string(text)));
}

INSTANTIATE_TEST_SUITE_P(CLocale, PIDCatalogTexts, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(FrenchLocale, PIDCatalogTexts, ::testing::Values(true));
