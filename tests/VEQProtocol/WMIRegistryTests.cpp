#include "VEQProtocol/WMIRegistry.hpp"

#include <gtest/gtest.h>

#include <set>

using namespace veq;
using Make = WMIRegistry::Make;

TEST(WMIRegistryTests, TableSizes) {
    EXPECT_EQ(WMIRegistry::table().size(), 127u);
    EXPECT_EQ(WMIRegistry::prefixTable().size(), 15u);
    std::set<std::string> makes;
    for (const auto& [code, make] : WMIRegistry::table()) {
        EXPECT_EQ(code.size(), 3u) << code;
        makes.insert(make.manufacturer);
    }
    EXPECT_EQ(makes.size(), 42u);
    for (const auto& [prefix, make] : WMIRegistry::prefixTable()) EXPECT_EQ(prefix.size(), 2u) << prefix;
}

TEST(WMIRegistryTests, Lookup) {
    struct Case { std::string vin; std::optional<Make> expected; };
    const Make mercedes{"Mercedes-Benz", "Allemagne"};
    const Case cases[] = {
        {"WDD2571231A123456", mercedes},
        {"wdd2571231a123456", mercedes},
        {"WDF", mercedes},                       // vans: a maker code that analyze does not flag
        {"4JG", mercedes},
        {"55S", mercedes},
        {"WDZ1234", mercedes},                   // through the prefix
        {"WDA", Make{"Daimler Truck", "Allemagne"}},
        {"WP0", Make{"Porsche", "Allemagne"}},
        {"W0L", Make{"Opel", "Allemagne"}},
        {"WF0", Make{"Ford (Europe)", "Allemagne"}},
        {"VF3", Make{"Peugeot", "France"}},
        {"VF7", Make{"Citro\u00ebn", "France"}},
        {"VF9", Make{"Constructeur fran\u00e7ais (PSA / Renault)", "France"}},
        {"VG5", Make{"Renault Trucks", "France"}},
        {"TMB", Make{"\u0160koda", "Tch\u00e9quie"}},
        {"YV2", Make{"Volvo", "Su\u00e8de"}},
        {"SAJ", Make{"Jaguar", "Royaume-Uni"}},
        {"SAX", Make{"MINI", "Allemagne"}},      // the code wins over the British prefix
        {"SAB", Make{"Constructeur britannique (JLR)", "Royaume-Uni"}},
        {"SCB", Make{"Bentley / Lotus", "Royaume-Uni"}},
        {"SB1", Make{"Toyota", "Japon"}},
        {"VSK", Make{"Nissan", "Japon"}},
        {"TSM", Make{"Suzuki", "Japon"}},
        {"NLH", Make{"Hyundai", "Cor\u00e9e"}},
        {"U5Y", Make{"Kia", "Cor\u00e9e"}},
        {"KL1", Make{"GM Korea / Chevrolet", "Cor\u00e9e"}},
        {"1FT", Make{"Ford", "\u00c9tats-Unis"}},
        {"1GT", Make{"GMC", "\u00c9tats-Unis"}},
        {"3C4", Make{"Chrysler / Dodge / Jeep", "\u00c9tats-Unis"}},
        {"7SA", Make{"Tesla", "\u00c9tats-Unis"}},
        {"JTX", Make{"Toyota", "Japon"}},
        {"XYZ12345678901234", std::nullopt},
        {"1FX", std::nullopt},                   // a known code's prefix that is no prefix entry
        {"WD", std::nullopt},
        {"", std::nullopt},
        {"\u00e9DD", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(WMIRegistry::make(c.vin), c.expected) << c.vin;
}
