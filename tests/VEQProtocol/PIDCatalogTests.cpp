// The mode 01 catalogue: every row, its formula on real replies, short replies and plausibility.
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
using U = MeasurementUnit;
using R = ClosedRange;

namespace {

constexpr std::optional<ClosedRange> none;

// The 61 parameter rows in table order (0xA4 last), each formula row with a real reply payload
// (the data after the echo) and the exact double it gives.
struct Row {
    std::uint8_t pid;
    std::string_view name;
    int bytes;
    const MeasurementUnit* unit;
    std::optional<ClosedRange> range;
    std::optional<ClosedRange> plausible;
    Bytes sample;
    std::optional<double> value;
};
const Row kParameterRows[] = {
    {0x01, "Statut moniteurs depuis effacement",           4, &U::none,              none,                none,           {},                                                     {}},
    {0x03, "Statut système carburant",                     2, &U::none,              none,                none,           {},                                                     {}},
    {0x04, "Charge moteur calculée",                       1, &U::percent,           R{0, 100},           none,           {0x78},                                                 47.05882352941177},
    {0x05, "Température liquide de refroidissement",       1, &U::celsius,           R{-40, 215},         none,           {0x7B},                                                 83.0},
    {0x06, "Correction court terme banc 1",                1, &U::percent,           R{-100, 99.2},       none,           {0x80},                                                 0.0},
    {0x07, "Correction long terme banc 1",                 1, &U::percent,           R{-100, 99.2},       none,           {0x85},                                                 3.90625},
    {0x08, "Correction court terme banc 2",                1, &U::percent,           R{-100, 99.2},       none,           {0x7A},                                                 -4.6875},
    {0x09, "Correction long terme banc 2",                 1, &U::percent,           R{-100, 99.2},       none,           {0x81},                                                 0.78125},
    {0x0A, "Pression carburant",                           1, &U::kilopascals,       R{0, 765},           none,           {0x64},                                                 300.0},
    {0x0B, "Pression absolue collecteur d'admission",      1, &U::kilopascals,       R{0, 255},           none,           {0x21},                                                 33.0},
    {0x0C, "Régime moteur",                                2, &U::rpm,               R{0, 8000},          none,           {0x1A, 0xF8},                                           1726.0},
    {0x0D, "Vitesse véhicule",                             1, &U::kilometersPerHour, R{0, 255},           none,           {0x32},                                                 50.0},
    {0x0E, "Avance à l'allumage",                          1, &U::degrees,           R{-64, 63.5},        none,           {0x8C},                                                 6.0},
    {0x0F, "Température air d'admission",                  1, &U::celsius,           R{-40, 215},         none,           {0x3C},                                                 20.0},
    {0x10, "Débit d'air massique (MAF)",                   2, &U::gramsPerSecond,    R{0, 655.35},        none,           {0x04, 0xD2},                                           12.34},
    {0x11, "Position papillon",                            1, &U::percent,           R{0, 100},           none,           {0x3C},                                                 23.529411764705884},
    {0x12, "Statut air secondaire",                        1, &U::none,              none,                none,           {},                                                     {}},
    {0x13, "Sondes lambda présentes (2 bancs)",            1, &U::none,              none,                none,           {},                                                     {}},
    {0x1C, "Norme OBD supportée",                          1, &U::none,              none,                none,           {},                                                     {}},
    {0x1F, "Temps depuis démarrage moteur",                2, &U::seconds,           R{0, 65535},         none,           {0x02, 0x58},                                           600.0},
    {0x21, "Distance parcourue témoin allumé",             2, &U::kilometers,        R{0, 65535},         none,           {0x00, 0x7B},                                           123.0},
    {0x22, "Pression rampe carburant (rel. collecteur)",   2, &U::kilopascals,       R{0, 5177.265},      none,           {0x01, 0x2C},                                           23.7},
    {0x23, "Pression rampe carburant (haute pression)",    2, &U::kilopascals,       R{0, 655350},        none,           {0x0F, 0xA0},                                           40000.0},
    {0x2C, "EGR commandée",                                1, &U::percent,           R{0, 100},           none,           {0x1E},                                                 11.764705882352942},
    {0x2D, "Erreur EGR",                                   1, &U::percent,           R{-100, 99.2},       none,           {0x84},                                                 3.125},
    {0x2F, "Niveau réservoir carburant",                   1, &U::percent,           R{0, 100},           none,           {0xB3},                                                 70.19607843137256},
    {0x30, "Réchauffages depuis effacement",               1, &U::count,             R{0, 255},           none,           {0x0A},                                                 10.0},
    {0x31, "Distance depuis effacement codes",             2, &U::kilometers,        R{0, 65535},         none,           {0x04, 0xD2},                                           1234.0},
    {0x33, "Pression barométrique absolue",                1, &U::kilopascals,       R{0, 255},           none,           {0x65},                                                 101.0},
    {0x3C, "Température catalyseur B1S1",                  2, &U::celsius,           R{-40, 6513.5},      none,           {0x11, 0x94},                                           410.0},
    {0x41, "Statut moniteurs cycle courant",               4, &U::none,              none,                none,           {},                                                     {}},
    {0x42, "Tension calculateur",                          2, &U::volts,             R{0, 65.535},        none,           {0x37, 0x6E},                                           14.19},
    {0x43, "Charge absolue",                               2, &U::percent,           R{0, 25700},         none,           {0x00, 0x21},                                           12.941176470588236},
    {0x44, "Ratio d'équivalence commandé (lambda)",        2, &U::ratio,             R{0, 2},             none,           {0x80, 0x00},                                           1.0},
    {0x45, "Position papillon relative",                   1, &U::percent,           R{0, 100},           none,           {0xF0},                                                 94.11764705882354},
    {0x46, "Température air ambiant",                      1, &U::celsius,           R{-40, 215},         none,           {0x41},                                                 25.0},
    {0x47, "Position papillon absolue B",                  1, &U::percent,           R{0, 100},           none,           {0xA1},                                                 63.13725490196079},
    {0x49, "Position pédale accélérateur D",               1, &U::percent,           R{0, 100},           none,           {0x7D},                                                 49.01960784313726},
    {0x4A, "Position pédale accélérateur E",               1, &U::percent,           R{0, 100},           none,           {0x0F},                                                 5.882352941176471},
    {0x4C, "Actionneur papillon commandé",                 1, &U::percent,           R{0, 100},           none,           {0xFA},                                                 98.03921568627452},
    {0x4D, "Temps de fonctionnement témoin allumé",        2, &U::seconds,           R{0, 65535},         none,           {0x00, 0x3C},                                           3600.0},
    {0x4E, "Temps depuis effacement codes",                2, &U::seconds,           R{0, 65535},         none,           {0x01, 0x2C},                                           18000.0},
    {0x51, "Type de carburant",                            1, &U::none,              none,                none,           {},                                                     {}},
    {0x52, "Taux d'éthanol",                               1, &U::percent,           R{0, 100},           none,           {0x14},                                                 7.8431372549019605},
    {0x5C, "Température huile moteur",                     1, &U::celsius,           R{-40, 215},         none,           {0x82},                                                 90.0},
    {0x5E, "Débit carburant moteur",                       2, &U::litersPerHour,     R{0, 3276.75},       none,           {0x00, 0x9B},                                           7.75},
    {0x66, "Débit d'air capteur A",                        5, &U::gramsPerSecond,    R{0, 2047},          R{0, 700},      {0xFF, 0x07, 0xD0, 0xFF, 0xFF},                         62.5},
    {0x67, "Température liquide capteur 1",                3, &U::celsius,           R{-40, 215},         R{-40, 215},    {0xFF, 0x7B, 0xFF},                                     83.0},
    {0x68, "Température air admission capteur 1",          3, &U::celsius,           R{-40, 215},         R{-40, 215},    {0xFF, 0x41, 0xFF},                                     25.0},
    {0x6B, "Température EGR",                              3, &U::celsius,           R{-40, 215},         R{-40, 900},    {0xFF, 0xC8, 0xFF},                                     160.0},
    {0x70, "Pression de suralimentation",                  5, &U::kilopascals,       R{0, 300},           R{0, 500},      {0xFF, 0xFF, 0xFF, 0x0C, 0x80},                         100.0},
    {0x73, "Pression d'échappement",                       5, &U::kilopascals,       R{0, 500},           R{0, 500},      {0xFF, 0x32, 0x00, 0xFF, 0xFF},                         100.0},
    {0x75, "Température turbo A",                          7, &U::celsius,           R{-40, 1200},        R{-40, 1200},   {0xFF, 0xB4, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},             140.0},
    {0x77, "Température échangeur d'air",                  5, &U::celsius,           R{-40, 215},         R{-40, 215},    {0xFF, 0x50, 0xFF, 0xFF, 0xFF},                         40.0},
    {0x78, "Température gaz d'échappement B1",             9, &U::celsius,           R{-40, 1400},        R{-40, 1400},   {0xFF, 0x1D, 0x4C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 710.0},
    {0x79, "Température gaz d'échappement B2",             9, &U::celsius,           R{-40, 1400},        R{-40, 1400},   {0xFF, 0x17, 0x70, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 560.0},
    {0x7C, "Température FAP",                              9, &U::celsius,           R{-40, 1400},        R{-40, 1400},   {0xFF, 0x0F, 0xA0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 360.0},
    {0x87, "Pression collecteur absolue A",                5, &U::kilopascals,       R{0, 300},           R{0, 500},      {0xFF, 0x0C, 0x80, 0xFF, 0xFF},                         100.0},
    {0x9E, "Débit des gaz d'échappement",                  2, &U::kilogramsPerHour,  R{0, 4000},          R{0, 4000},     {0x03, 0xE8},                                           200.0},
    {0xA6, "Compteur kilométrique",                        4, &U::kilometers,        R{0, 429496729.5},   R{0, 2000000},  {0x00, 0x01, 0xE2, 0x40},                               12345.6},
    {0xA4, "Rapport engagé",                               4, &U::none,              R{0, 15},            none,           {0x01, 0x23, 0x00, 0x00},                               3.0},
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

std::optional<double> scalarOf(std::uint8_t pid, const Bytes& payload) {
    const auto r = decode(pid, payload);
    return r ? r->scalar() : std::nullopt;
}

std::vector<Flag> flagsOf(const std::optional<PIDReading>& r) {
    return r && r->as<PIDReading::Flags>() ? r->as<PIDReading::Flags>()->flags : std::vector<Flag>{};
}

} // namespace

TEST(PIDCatalogTests, OrderOfAllAndLookupByNumber) {
    std::vector<std::uint8_t> expected{0x00, 0x20, 0x40};
    for (const Row& row : kParameterRows)
        if (row.pid != 0xA4) expected.push_back(row.pid);
    expected.insert(expected.end(), {0x60, 0x80, 0xA0, 0xA4});

    std::vector<std::uint8_t> order;
    for (const PIDDefinition& d : PIDCatalog::all()) {
        order.push_back(d.pid);
        EXPECT_EQ(d.mode, OBDMode::currentData);
        EXPECT_EQ(PIDCatalog::definition(d.pid), &d);
    }
    EXPECT_EQ(order, expected);
    EXPECT_EQ(PIDCatalog::byPID().size(), 67u); // no number twice
    for (std::uint8_t missing : {0x02, 0x14, 0xA5, 0xFF}) EXPECT_EQ(PIDCatalog::definition(missing), nullptr);
}

TEST(PIDCatalogTests, EveryParameterRowAsWrittenAndItsFormulaToTheLastBit) {
    for (const Row& row : kParameterRows) {
        const PIDDefinition* d = PIDCatalog::definition(row.pid);
        ASSERT_NE(d, nullptr) << int(row.pid);
        EXPECT_EQ(d->name, row.name) << int(row.pid);
        EXPECT_EQ(d->byteCount, row.bytes) << row.name;
        EXPECT_EQ(d->unit, *row.unit) << row.name;
        EXPECT_EQ(d->range, row.range) << row.name;
        EXPECT_EQ(d->plausible, row.plausible) << row.name;
        EXPECT_EQ(d->id(), 0x0100 + row.pid) << row.name;
        ASSERT_EQ(row.value.has_value(), isFormulaRow(row.pid)) << row.name << ": every formula row has a sample";
        if (!row.value) continue;
        const auto reading = d->decode(row.sample);
        ASSERT_TRUE(reading) << row.name;
        EXPECT_EQ(reading->scalar(), row.value) << row.name; // bit for bit, not approximately
        EXPECT_EQ(reading->unit(), d->unit) << row.name;
        Bytes longer = row.sample;
        longer.insert(longer.end(), {0xAB, 0xCD});
        EXPECT_EQ(d->decode(longer), reading) << row.name << ": bytes beyond the row are ignored";
    }
}

TEST(PIDCatalogTests, SupportRowsNamedByTheirRange) {
    const std::pair<std::uint8_t, std::string_view> cases[] = {
        {0x00, "PIDs supportés [0x01\u20130x20]"}, {0x20, "PIDs supportés [0x21\u20130x40]"},
        {0x40, "PIDs supportés [0x41\u20130x60]"}, {0x60, "PIDs supportés [0x61\u20130x80]"},
        {0x80, "PIDs supportés [0x81\u20130xA0]"}, {0xA0, "PIDs supportés [0xA1\u20130xC0]"},
    };
    for (const auto& [base, name] : cases) {
        const PIDDefinition* d = PIDCatalog::definition(base);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->name, name);
        EXPECT_EQ(d->byteCount, 4);
        EXPECT_EQ(d->unit, U::none);
        EXPECT_TRUE(!d->range && !d->plausible);
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

// Exact boundaries: plausible ranges include their bounds, the display range never filters.
TEST(PIDCatalogTests, EdgeValues) {
    const std::tuple<std::uint8_t, Bytes, std::optional<double>> cases[] = {
        {0x05, {0x00}, -40.0},
        {0x06, {0x00}, -100.0},
        {0x06, {0xFF}, 99.21875},
        {0x0C, {0xFF, 0xFF}, 16383.75},
        {0x0E, {0x00}, -64.0},
        {0x4D, {0xFF, 0xFF}, 3932100.0},
        {0xA4, {0x00, 0xFE, 0x00, 0x00}, 14.0},
        {0xA4, {0x00, 0xFF, 0x00, 0x00}, 15.0},
        {0x66, {0x00, 0x57, 0x80, 0x00, 0x00}, 700.0},
        {0x66, {0x00, 0x57, 0x81, 0x00, 0x00}, std::nullopt},
        {0x67, {0x00, 0x00, 0x00}, -40.0},
        {0x6B, {0x00, 0xFF, 0x00}, 215.0},
        {0x70, {0x00, 0x00, 0x00, 0x3E, 0x80}, 500.0},
        {0x70, {0x00, 0x00, 0x00, 0x3E, 0x81}, std::nullopt}, // 500.03125
        {0x70, {0x00, 0x00, 0x00, 0x3F, 0xFF}, std::nullopt}, // 511.97
        {0x73, {0x00, 0xFA, 0x00, 0x00, 0x00}, 500.0},
        {0x73, {0x00, 0xFA, 0x01, 0x00, 0x00}, std::nullopt},
        {0x78, {0x00, 0x38, 0x40, 0, 0, 0, 0, 0, 0}, 1400.0},
        {0x78, {0x00, 0x38, 0x41, 0, 0, 0, 0, 0, 0}, std::nullopt},
        {0x7C, {0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0}, -40.0},
        {0x87, {0x00, 0x3E, 0x81, 0x00, 0x00}, std::nullopt},
        {0x9E, {0x4E, 0x20}, 4000.0},
        {0x9E, {0x61, 0xA8}, std::nullopt}, // 5000 kg/h
        {0xA6, {0x01, 0x31, 0x2D, 0x00}, 2000000.0},
        {0xA6, {0x01, 0x31, 0x2D, 0x01}, std::nullopt},
    };
    for (const auto& [pid, payload, expected] : cases) EXPECT_EQ(scalarOf(pid, payload), expected) << int(pid);
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

TEST(PIDCatalogTests, SupportBitmapsMapTheMostSignificantBitToTheFirstNumber) {
    using S = std::set<std::uint8_t>;
    const std::tuple<std::uint8_t, Bytes, std::optional<PIDReading>> cases[] = {
        {0x00, {0xBE, 0x1F, 0xA8, 0x13},
         PIDReading::supportBitmap(0x00, S{0x01, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x13, 0x15, 0x1C, 0x1F, 0x20})},
        {0x00, {0xBE, 0x1F, 0xA8}, std::nullopt},
        {0xA0, {0x80, 0x00, 0x00, 0x01, 0x77}, PIDReading::supportBitmap(0xA0, S{0xA1, 0xC0})},
        {0x20, {0x00, 0x01, 0x00, 0x00}, PIDReading::supportBitmap(0x20, S{0x30})},
        {0x40, {0x00, 0x00, 0x00, 0x00}, PIDReading::supportBitmap(0x40, S{})},
    };
    for (const auto& [base, payload, expected] : cases) EXPECT_EQ(decode(base, payload), expected) << int(base);
}

// A base near the top of the byte range must not wrap its last number round to 0x00.
TEST(PIDCatalogTests, SupportBitmapAtTheTopOfTheRange) {
    const PIDDefinition top = PIDCatalog::supportBitmap(0xE0);
    EXPECT_EQ(top.name, "PIDs supportés [0xE1\u20130x100]");
    EXPECT_EQ(top.decode(Bytes{0x00, 0x00, 0x00, 0x01}), PIDReading::supportBitmap(0xE0, {}));
    const auto all = top.decode(Bytes{0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_TRUE(all && all->as<PIDReading::SupportBitmap>());
    const auto& supported = all->as<PIDReading::SupportBitmap>()->supported;
    EXPECT_EQ(supported.size(), 31u);
    EXPECT_EQ(*supported.begin(), 0xE1);
}

TEST(PIDCatalogTests, CommandOfEveryDefinition) {
    EXPECT_EQ(OBDCommand(*PIDCatalog::definition(0x0C)).requestString(), "010C");
    EXPECT_EQ(OBDCommand(*PIDCatalog::definition(0x00)).requestBytes(), (Bytes{'0', '1', '0', '0', 0x0D}));
    for (const PIDDefinition& d : PIDCatalog::all()) EXPECT_EQ(OBDCommand(d), OBDCommand(OBDMode::currentData, d.pid));
}

// The texts of the flag and text rows, checked byte for byte in the C locale and again under a
// French one (Qt sets the process locale from the user's environment).
class PIDCatalogTexts : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!GetParam()) return;
        french_.emplace();
        ASSERT_TRUE(french_->active()) << "fr_FR.UTF-8 is not installed";
    }
    std::optional<veq::testing::FrenchLocale> french_;
};

TEST_P(PIDCatalogTexts, FlagAndTextRows) {
    struct Case {
        std::uint8_t pid;
        Bytes payload;
        std::vector<Flag> flags;
    };
    const Case cases[] = {
        {0x01, {0x83, 0x07, 0x65, 0x04}, {{"MIL", true}, {"Ratés d'allumage", true}, {"Système carburant", true},
                                          {"Composants", true}, {"Catalyseur", true}, {"Système EVAP", false},
                                          {"Sonde lambda", true}, {"Chauffage sonde lambda", true}}},
        {0x41, {0x00, 0x0F, 0xFF, 0x00}, {{"MIL", false}, {"Ratés d'allumage", true}, {"Système carburant", true},
                                          {"Composants", true}, {"Catalyseur NMHC", true}, {"NOx / SCR", true},
                                          {"Réservé", true}, {"Pression de suralimentation", true}, {"Réservé", true},
                                          {"Capteur gaz d'échappement", true}, {"Filtre à particules", true},
                                          {"EGR / VVT", true}}},
        {0x41, {0x00, 0x00, 0x00, 0x00, 0xFF}, {{"MIL", false}}},
        {0x03, {0x02, 0x00}, {{"Système 1 : Boucle fermée", true}}},
        {0x03, {0x02}, {{"Système 1 : Boucle fermée", true}}},
        {0x03, {0x01, 0x04}, {{"Système 1 : Boucle ouverte (température)", true}, {"Système 2 : Boucle ouverte (charge)", true}}},
        {0x03, {0x10, 0x0A}, {{"Système 1 : Boucle fermée (défaut sonde)", true}, {"Système 2 : Inconnu (0xa)", true}}},
        {0x12, {0x04}, {{"Vers l'atmosphère (désactivé)", true}}},
        {0x12, {0x03}, {{"Non supporté", true}}},
        {0x13, {0x33}, {{"O2 1-1", true}, {"O2 1-2", true}, {"O2 1-3", false}, {"O2 1-4", false},
                        {"O2 2-1", true}, {"O2 2-2", true}, {"O2 2-3", false}, {"O2 2-4", false}}},
        {0x13, {0x80}, {{"O2 1-1", false}, {"O2 1-2", false}, {"O2 1-3", false}, {"O2 1-4", false},
                        {"O2 2-1", false}, {"O2 2-2", false}, {"O2 2-3", false}, {"O2 2-4", true}}},
    };
    for (const Case& c : cases) EXPECT_EQ(flagsOf(decode(c.pid, c.payload)), c.flags) << int(c.pid);

    const std::tuple<std::uint8_t, std::uint8_t, std::string_view> texts[] = {
        {0x1C, 0x06, "EOBD (Europe)"}, {0x1C, 0x09, "EOBD, OBD et OBD-II"}, {0x1C, 0x1D, "Norme 0x1d"},
        {0x1C, 0x00, "Norme 0x0"},     {0x51, 0x08, "\u00C9lectrique"},      {0x51, 0x13, "Hybride diesel"},
        {0x51, 0x0A, "Type 0xa"},      {0x51, 0xFE, "Type 0xfe"},
    };
    for (const auto& [pid, byte, text] : texts) EXPECT_EQ(decode(pid, {byte}), PIDReading::text(std::string(text)));
    EXPECT_EQ(scalarOf(0x10, {0x04, 0xD2}), 12.34);
}

INSTANTIATE_TEST_SUITE_P(CLocale, PIDCatalogTexts, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(FrenchLocale, PIDCatalogTexts, ::testing::Values(true));
