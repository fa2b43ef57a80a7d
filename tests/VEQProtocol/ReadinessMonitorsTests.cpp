// Readiness monitors of parameters 0x01 and 0x41.
#include "VEQProtocol/ReadinessMonitors.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;
using Monitor = MonitorStatus::Monitor;
using Flag = PIDReading::Flag;

namespace {

std::vector<std::string> namesOf(const std::vector<Monitor>& monitors) {
    std::vector<std::string> names;
    for (const Monitor& m : monitors) names.push_back(m.name);
    return names;
}

const std::vector<std::string> kSpark{"Catalyseur",    "Catalyseur chauffé", "Système EVAP",          "Air secondaire",
                                      "Climatisation", "Sonde lambda",       "Chauffage sonde lambda", "EGR"};
const std::vector<std::string> kCompression{"Catalyseur NMHC",           "NOx / SCR",
                                            "Réservé",                   "Pression de suralimentation",
                                            "Réservé",                   "Capteur gaz d'échappement",
                                            "Filtre à particules",       "EGR / VVT"};

} // namespace

TEST(MonitorStatusTests, LampCountAndMonitors) {
    const auto s = MonitorStatus::decode(Bytes{0x83, 0x07, 0x65, 0x04});
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->milOn);
    EXPECT_EQ(s->dtcCount, 3);
    EXPECT_FALSE(s->isCompressionIgnition);
    EXPECT_EQ(s->continuousMonitors, (std::vector<Monitor>{{"Ratés d'allumage", true, true},
                                                           {"Système carburant", true, true},
                                                           {"Composants", true, true}}));
    EXPECT_EQ(s->nonContinuousMonitors,
              (std::vector<Monitor>{{"Catalyseur", true, true},
                                    {"Catalyseur chauffé", false, true},
                                    {"Système EVAP", true, false},
                                    {"Air secondaire", false, true},
                                    {"Climatisation", false, true},
                                    {"Sonde lambda", true, true},
                                    {"Chauffage sonde lambda", true, true},
                                    {"EGR", false, true}}));
    EXPECT_FALSE(s->isReady());
    EXPECT_EQ(s->flags(), (std::vector<Flag>{{"MIL", true},
                                             {"Ratés d'allumage", true},
                                             {"Système carburant", true},
                                             {"Composants", true},
                                             {"Catalyseur", true},
                                             {"Système EVAP", false},
                                             {"Sonde lambda", true},
                                             {"Chauffage sonde lambda", true}}));
}

TEST(MonitorStatusTests, BitsOfEachByte) {
    struct Case {
        Bytes bytes;
        bool milOn;
        int dtcCount;
        bool ready;
        std::size_t flagCount;
    };
    const Case cases[] = {
        {{0x00, 0x00, 0x00, 0x00}, false, 0, true, 1},
        {{0x7F, 0x00, 0x00, 0x00}, false, 127, true, 1},
        {{0x80, 0x00, 0x00, 0x00}, true, 0, true, 1},
        {{0xFF, 0x77, 0xFF, 0xFF}, true, 127, false, 12},
        {{0x00, 0x70, 0x00, 0xFF}, false, 0, true, 1}, // incomplete but unavailable counts as ready
        {{0x00, 0x01, 0x00, 0x00}, false, 0, true, 2},
        {{0x00, 0x11, 0x00, 0x00}, false, 0, false, 2},
        {{0x00, 0x00, 0x80, 0x80}, false, 0, false, 2},
        {{0x00, 0x00, 0x80, 0x7F}, false, 0, true, 2},
        {{0x05, 0x00, 0x00, 0x00, 0xFF, 0xFF}, false, 5, true, 1}, // bytes after D are ignored
    };
    for (const Case& c : cases) {
        const auto s = MonitorStatus::decode(c.bytes);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->milOn, c.milOn);
        EXPECT_EQ(s->dtcCount, c.dtcCount);
        EXPECT_EQ(s->isReady(), c.ready) << int(c.bytes[1]) << " " << int(c.bytes[3]);
        EXPECT_EQ(s->flags().size(), c.flagCount);
        EXPECT_EQ(s->continuousMonitors.size(), 3u);
        EXPECT_EQ(s->nonContinuousMonitors.size(), 8u);
    }
    EXPECT_EQ(MonitorStatus::decode(Bytes{0x83, 0x07, 0x65}), std::nullopt);
    EXPECT_EQ(MonitorStatus::decode(Bytes{}), std::nullopt);
}

TEST(MonitorStatusTests, IgnitionTypeFromBitThreeOrTheFuelType) {
    const Bytes diesel{0x00, 0x08, 0xFF, 0x00};
    const Bytes petrol{0x00, 0x00, 0xFF, 0x00};
    struct Case {
        const Bytes* bytes;
        std::optional<FuelType> fuel;
        bool compression;
    };
    const Case cases[] = {
        {&diesel, std::nullopt, true},
        {&diesel, FuelType::gasoline, false},
        {&diesel, FuelType::notAvailable, true},
        {&petrol, FuelType::hybridDiesel, true},
        {&petrol, FuelType::electric, false},
        {&petrol, FuelType::notAvailable, false},
    };
    for (const Case& c : cases) {
        const auto s = MonitorStatus::decode(*c.bytes, c.fuel);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->isCompressionIgnition, c.compression);
        EXPECT_EQ(namesOf(s->nonContinuousMonitors), c.compression ? kCompression : kSpark);
    }
}

TEST(MonitorStatusFrenchLocale, NamesAreUnchanged) {
    veq::testing::FrenchLocale french;
    ASSERT_TRUE(french.active()) << "fr_FR.UTF-8 is not installed";
    const auto spark = MonitorStatus::decode(Bytes{0x80, 0x07, 0xFF, 0x00});
    const auto compression = MonitorStatus::decode(Bytes{0x80, 0x0F, 0xFF, 0x00});
    ASSERT_TRUE(spark && compression);
    EXPECT_EQ(namesOf(spark->continuousMonitors), (std::vector<std::string>{"Rat\u00E9s d'allumage", "Syst\u00E8me carburant", "Composants"}));
    EXPECT_EQ(namesOf(spark->nonContinuousMonitors), kSpark);
    EXPECT_EQ(namesOf(compression->nonContinuousMonitors), kCompression);
    EXPECT_EQ(compression->flags().size(), 12u);
    EXPECT_EQ(compression->flags()[11], (Flag{"EGR / VVT", true}));
}
