#include "VEQProtocol/ChannelRegistry.hpp"

#include "VEQProtocol/PIDCatalog.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

using namespace veq;

TEST(ChannelRegistryTests, PseudoChannelsInBothSystems) {
    struct Row { int id; const char* name; const char* unit; };
    const Row rows[] = {
        {224, "Accél. X (brut)",           "m/s²"},
        {225, "Accél. Y (brut)",           "m/s²"},
        {226, "Accél. Z (brut)",           "m/s²"},
        {227, "Accél. longitudinale",      "m/s²"},
        {228, "Accél. transversale",       "m/s²"},
        {229, "Accél. verticale",          "m/s²"},
        {230, "Force g totale",            "g"},
        {231, "Vitesse de lacet",          "°/s"},
        {232, "Vitesse de tangage",        "°/s"},
        {233, "Vitesse de roulis",         "°/s"},
        {234, "Cap boussole",              "°"},
        {235, "Tangage téléphone",         "°"},
        {236, "Roulis téléphone",          "°"},
        {237, "Batterie téléphone",        "%"},
        {238, "Repère de synchro",         ""},
        {239, "Suralimentation (turbo)",   "bar"},
        {240, "Latitude GPS",              "°"},
        {241, "Longitude GPS",             "°"},
        {242, "Altitude GPS",              "m"},
        {243, "Vitesse GPS",               "km/h"},
        {244, "Cap GPS",                   "°"},
        {245, "Précision horizontale GPS", "m"},
        {246, "Chrono · temps écoulé",     "s"},
        {247, "Chrono · tour",             ""},
        {248, "Chrono · dernier tour",     "s"},
        {249, "Chrono · top",              ""},
        {250, "Freinage",                  "g"},
    };
    ASSERT_EQ(std::size(rows), 27u);
    for (const auto& r : rows) {
        const auto id = static_cast<std::uint8_t>(r.id);
        EXPECT_EQ(ChannelRegistry::name(id), r.name) << r.id;
        EXPECT_EQ(ChannelRegistry::unit(id, UnitSystem::metric), r.unit) << r.id;
        EXPECT_EQ(ChannelRegistry::unit(id, UnitSystem::imperial), r.unit) << r.id; // never converted
    }
}

// Every identifier outside 224-250 is a mode 01 parameter number: the catalogue's name and unit
// symbols when it has the number, else "PID 0x%02X" and no unit.
TEST(ChannelRegistryTests, EveryIdentifierHasANameAndUnit) {
    int catalogued = 0;
    for (int i = 0; i < 256; ++i) {
        const auto id = static_cast<std::uint8_t>(i);
        const std::string name = ChannelRegistry::name(id);
        EXPECT_FALSE(name.empty()) << i;
        if (i >= 224 && i <= 250) continue;
        if (const PIDDefinition* definition = PIDCatalog::definition(id)) {
            ++catalogued;
            EXPECT_EQ(name, definition->name) << i;
            EXPECT_EQ(ChannelRegistry::unit(id, UnitSystem::metric), definition->unit.metricSymbol) << i;
            EXPECT_EQ(ChannelRegistry::unit(id, UnitSystem::imperial), definition->unit.imperialSymbol) << i;
        } else {
            EXPECT_EQ(name, fmt::format("PID 0x{:02X}", i)) << i;
            EXPECT_EQ(ChannelRegistry::unit(id, UnitSystem::metric), "") << i;
            EXPECT_EQ(ChannelRegistry::unit(id, UnitSystem::imperial), "") << i;
        }
    }
    EXPECT_EQ(catalogued, static_cast<int>(PIDCatalog::all().size()));
}

TEST(ChannelRegistryTests, ParameterExamples) {
    veq::testing::FrenchLocale french;
    struct Case { std::uint8_t id; const char* name; const char* metric; const char* imperial; };
    const Case cases[] = {
        {0x0C, "R\u00e9gime moteur", "tr/min", "rpm"},
        {0x0D, "Vitesse v\u00e9hicule", "km/h", "mph"},
        {0x05, "Temp\u00e9rature liquide de refroidissement", "\u00b0C", "\u00b0F"},
        {0x02, "PID 0x02", "", ""},
        {0xA5, "PID 0xA5", "", ""},
        {0xDF, "PID 0xDF", "", ""},
        {0xFB, "PID 0xFB", "", ""},
        {0xFF, "PID 0xFF", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChannelRegistry::name(c.id), c.name) << int(c.id);
        EXPECT_EQ(ChannelRegistry::unit(c.id, UnitSystem::metric), c.metric) << int(c.id);
        EXPECT_EQ(ChannelRegistry::unit(c.id, UnitSystem::imperial), c.imperial) << int(c.id);
    }
}
