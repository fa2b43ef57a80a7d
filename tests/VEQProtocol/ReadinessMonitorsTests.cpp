// Readiness monitors of parameters 0x01 and 0x41.
#include "VEQProtocol/ReadinessMonitors.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

using namespace veq;
using Bytes = std::vector<std::uint8_t>;
using Monitor = MonitorStatus::Monitor;
using Flag = PIDReading::Flag;

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
              (std::vector<Monitor>{{"Catalyseur", true, true}, {"Catalyseur chauffé", false, true},
                                    {"Système EVAP", true, false}, {"Air secondaire", false, true},
                                    {"Climatisation", false, true}, {"Sonde lambda", true, true},
                                    {"Chauffage sonde lambda", true, true}, {"EGR", false, true}}));
    EXPECT_FALSE(s->isReady());
    EXPECT_EQ(s->flags().front(), (Flag{"MIL", true})); // then the available monitors, as the catalogue shows them
    EXPECT_EQ(MonitorStatus::decode(Bytes{0x83, 0x07, 0x65}), std::nullopt);
}

TEST(MonitorStatusTests, BitsOfEachByte) {
    struct Case { Bytes bytes; bool milOn; int dtcCount; bool ready; std::size_t flagCount; };
    const Case cases[] = {
        {{0x7F, 0x00, 0x00, 0x00}, false, 127, true, 1},
        {{0xFF, 0x77, 0xFF, 0xFF}, true, 127, false, 12},
        {{0x00, 0x70, 0x00, 0xFF}, false, 0, true, 1}, // incomplete but unavailable counts as ready
        {{0x00, 0x11, 0x00, 0x00}, false, 0, false, 2},
        {{0x00, 0x00, 0x80, 0x80}, false, 0, false, 2},
        {{0x00, 0x00, 0x80, 0x7F}, false, 0, true, 2},
        {{0x05, 0x00, 0x00, 0x00, 0xFF, 0xFF}, false, 5, true, 1}, // bytes after D are ignored
    };
    for (const Case& c : cases) {
        const auto s = MonitorStatus::decode(c.bytes);
        ASSERT_TRUE(s);
        EXPECT_EQ(std::tie(s->milOn, s->dtcCount), std::tie(c.milOn, c.dtcCount));
        EXPECT_EQ(s->isReady(), c.ready) << int(c.bytes[1]) << " " << int(c.bytes[3]);
        EXPECT_EQ(s->flags().size(), c.flagCount);
    }
}

// The monitor names by ignition type, in the C locale and again under a French one.
class MonitorNames : public ::testing::TestWithParam<bool> {};

TEST_P(MonitorNames, IgnitionTypeFromBitThreeOrTheFuelType) {
    std::optional<veq::testing::FrenchLocale> french;
    ASSERT_TRUE(!GetParam() || french.emplace().active()) << "fr_FR.UTF-8 is not installed";
    const std::vector<std::string> spark{"Catalyseur",    "Catalyseur chauffé", "Système EVAP",           "Air secondaire",
                                         "Climatisation", "Sonde lambda",       "Chauffage sonde lambda", "EGR"};
    const std::vector<std::string> compression{"Catalyseur NMHC", "NOx / SCR",
                                               "Réservé",         "Pression de suralimentation",
                                               "Réservé",         "Capteur gaz d'échappement",
                                               "Filtre à particules", "EGR / VVT"};
    const Bytes bit3{0x00, 0x08, 0xFF, 0x00};
    const Bytes noBit3{0x00, 0x00, 0xFF, 0x00};
    const std::tuple<const Bytes*, std::optional<FuelType>, bool> cases[] = {
        {&bit3, std::nullopt, true},          {&bit3, FuelType::gasoline, false},
        {&bit3, FuelType::notAvailable, true}, {&noBit3, FuelType::hybridDiesel, true},
        {&noBit3, FuelType::electric, false},  {&noBit3, FuelType::notAvailable, false},
    };
    for (const auto& [bytes, fuel, isCompression] : cases) {
        const auto s = MonitorStatus::decode(*bytes, fuel);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->isCompressionIgnition, isCompression);
        std::vector<std::string> names;
        for (const Monitor& m : s->nonContinuousMonitors) names.push_back(m.name);
        EXPECT_EQ(names, isCompression ? compression : spark);
    }
}

INSTANTIATE_TEST_SUITE_P(CLocale, MonitorNames, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(FrenchLocale, MonitorNames, ::testing::Values(true));
