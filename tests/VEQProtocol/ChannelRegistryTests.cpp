#include "VEQProtocol/ChannelRegistry.hpp"

#include "VEQProtocol/PIDCatalog.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

using namespace veq;

// Identifiers 224-250 are the pseudo-channels, named alike in both unit systems; every other
// one is a mode 01 parameter: the catalogue's name and unit symbols when it has the number,
// else "PID 0x%02X" and no unit.
TEST(ChannelRegistryTests, EveryIdentifierHasANameAndUnit) {
    int catalogued = 0;
    for (int i = 0; i < 256; ++i) {
        const auto id = static_cast<std::uint8_t>(i);
        const std::string name = ChannelRegistry::name(id);
        const std::string metric = ChannelRegistry::unit(id, UnitSystem::metric);
        const std::string imperial = ChannelRegistry::unit(id, UnitSystem::imperial);
        if (i >= 224 && i <= 250) {
            EXPECT_FALSE(name.empty() || name.starts_with("PID ")) << i;
            EXPECT_EQ(metric, imperial) << i; // never converted
        } else if (const PIDDefinition* definition = PIDCatalog::definition(id)) {
            ++catalogued;
            EXPECT_EQ(name, definition->name) << i;
            EXPECT_EQ(metric, definition->unit.metricSymbol) << i;
            EXPECT_EQ(imperial, definition->unit.imperialSymbol) << i;
        } else {
            EXPECT_EQ(name, fmt::format("PID 0x{:02X}", i)) << i;
            EXPECT_EQ(metric + imperial, "") << i;
        }
    }
    EXPECT_EQ(catalogued, static_cast<int>(PIDCatalog::all().size()));
}

TEST(ChannelRegistryTests, Examples) {
    veq::testing::FrenchLocale french;
    struct Case { std::uint8_t id; const char* name; const char* metric; const char* imperial; };
    const Case cases[] = {
        {0x0C, "R\u00e9gime moteur", "tr/min", "rpm"},
        {0x05, "Temp\u00e9rature liquide de refroidissement", "\u00b0C", "\u00b0F"},
        {0xA5, "PID 0xA5", "", ""},
        {0xFB, "PID 0xFB", "", ""},
        {224, "Accél. X (brut)", "m/s²", "m/s²"},
        {230, "Force g totale", "g", "g"},
        {231, "Vitesse de lacet", "°/s", "°/s"},
        {237, "Batterie téléphone", "%", "%"},
        {238, "Repère de synchro", "", ""},
        {239, "Suralimentation (turbo)", "bar", "bar"},
        {243, "Vitesse GPS", "km/h", "km/h"},
        {245, "Précision horizontale GPS", "m", "m"},
        {246, "Chrono · temps écoulé", "s", "s"},
        {249, "Chrono · top", "", ""},
        {250, "Freinage", "g", "g"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChannelRegistry::name(c.id), c.name) << int(c.id);
        EXPECT_EQ(ChannelRegistry::unit(c.id, UnitSystem::metric), c.metric) << int(c.id);
        EXPECT_EQ(ChannelRegistry::unit(c.id, UnitSystem::imperial), c.imperial) << int(c.id);
    }
}
