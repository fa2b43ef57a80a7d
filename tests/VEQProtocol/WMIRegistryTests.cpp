#include "VEQProtocol/WMIRegistry.hpp"

#include <gtest/gtest.h>

using namespace veq;
using Make = WMIRegistry::Make;

TEST(WMIRegistryTests, Lookup) {
    for (const auto& [code, make] : WMIRegistry::table()) EXPECT_EQ(WMIRegistry::make(code), make) << code;
    for (const auto& [prefix, make] : WMIRegistry::prefixTable()) EXPECT_EQ(prefix.size(), 2u) << prefix;
    const Make mercedes{"Mercedes-Benz", "Allemagne"};
    const std::pair<std::string, std::optional<Make>> cases[] = {
        {"WDD2571231A123456", mercedes},
        {"wdd2571231a123456", mercedes},
        {"WDF", mercedes},                       // vans: a maker code that analyze does not flag
        {"WDZ1234", mercedes},                   // through the prefix
        {"WDA", Make{"Daimler Truck", "Allemagne"}},
        {"VF7", Make{"Citro\u00ebn", "France"}},
        {"VF9", Make{"Constructeur fran\u00e7ais (PSA / Renault)", "France"}},
        {"TMB", Make{"\u0160koda", "Tch\u00e9quie"}},
        {"SAX", Make{"MINI", "Allemagne"}},      // the code wins over the British prefix
        {"SAB", Make{"Constructeur britannique (JLR)", "Royaume-Uni"}},
        {"NLH", Make{"Hyundai", "Cor\u00e9e"}},
        {"7SA", Make{"Tesla", "\u00c9tats-Unis"}},
        {"JTX", Make{"Toyota", "Japon"}},
        {"XYZ12345678901234", std::nullopt},
        {"1FX", std::nullopt},                   // a known code's prefix that is no prefix entry
        {"WD", std::nullopt},
        {"", std::nullopt},
        {"\u00e9DD", std::nullopt},
    };
    for (const auto& [vin, expected] : cases) EXPECT_EQ(WMIRegistry::make(vin), expected) << vin;
}
