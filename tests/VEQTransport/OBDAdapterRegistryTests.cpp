#include "VEQTransport/OBDAdapterRegistry.hpp"

#include "VEQTransport/BLEPeripheralController.hpp"
#include "VEQTransport/BLETransport.hpp"
#include "VEQTransport/BLEUUID.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <set>

using namespace veq;

namespace {

// RFC 1918: 10/8, 172.16/12, 192.168/16.
bool isPrivateIPv4(std::string_view host) {
    in_addr address{};
    if (::inet_pton(AF_INET, std::string(host).c_str(), &address) != 1) return false;
    const std::uint32_t a = ntohl(address.s_addr);
    return (a >> 24) == 10 || (a >> 20) == ((172u << 4) | 1u) || (a >> 16) == ((192u << 8) | 168u);
}

} // namespace

TEST(OBDAdapterRegistryTests, BluetoothServicesAreDistinctPlatformIdentifiersInTableOrder) {
    const auto& table = OBDAdapterRegistry::bleServiceUUIDStrings;
    EXPECT_EQ(table.front(), "FFF0");
    EXPECT_EQ(table.back(), "6E400001-B5A3-F393-E0A9-E50E24DCCA9E"); // Nordic UART
    std::set<std::string> seen;
    for (std::size_t i = 0; i < table.size(); ++i) {
        // Already in the form the platform prints, so the scan can compare texts.
        EXPECT_EQ(normalizedBLEUUID(table[i]), std::string(table[i]));
        EXPECT_EQ(BLEPeripheralController::serviceUUIDs()[i], table[i]);
        seen.insert(std::string(table[i]));
    }
    EXPECT_EQ(seen.size(), table.size());
}

TEST(OBDAdapterRegistryTests, WiFiEndpointsArePrivateAddressesByRole) {
    const auto& rows = OBDAdapterRegistry::wifiEndpoints;
    std::vector<std::uint16_t> ports;
    for (const auto& row : rows) {
        ports.push_back(row.port);
        EXPECT_TRUE(isPrivateIPv4(row.host)) << row.host;
    }
    EXPECT_EQ(ports, (std::vector<std::uint16_t>{35000, 23, 35000, 23, 35000, 35000}));
    // Rows 1-2 and 3-4 are one address each, on two ports; four addresses in all.
    EXPECT_EQ(rows[0].host, rows[1].host);
    EXPECT_EQ(rows[2].host, rows[3].host);
    EXPECT_EQ((std::set<std::string_view>{rows[0].host, rows[2].host, rows[4].host, rows[5].host}).size(), 4u);
    EXPECT_TRUE(rows[5].host.starts_with("10."));
    EXPECT_TRUE(rows[2].host.ends_with(".1"));
}

TEST(OBDAdapterRegistryTests, KnownAdaptersCiteTheEndpointAddresses) {
    const auto& adapters = OBDAdapterRegistry::knownAdapters;
    const auto& rows = OBDAdapterRegistry::wifiEndpoints;
    std::set<std::string_view> names;
    for (const auto& a : adapters) names.insert(a.name);
    EXPECT_EQ(names.size(), adapters.size());
    EXPECT_EQ(adapters[0].note, "Le plus répandu. WiFi " + std::string(rows[0].host) + ":35000, BLE service FFF0.");
    EXPECT_EQ(adapters[3].note, "Puce STN, plus rapide et fiable qu'un ELM327. WiFi " + std::string(rows[4].host) + ".");
    EXPECT_EQ(adapters[6], (OBDAdapterRegistry::KnownAdapter{"Carista", "BLE", "Service FFF6."}));
}

TEST(OBDAdapterRegistryTests, LooksLikeAdapter) {
    struct Case {
        std::optional<std::string> name;
        bool adapter;
    };
    // clang-format off
    const Case cases[] = {
        {"OBDII",           true},
        {"obdii",           true},
        {"Android-Vlink",   true},
        {"KW903",           true},
        {"My Scanner",      true},
        {"MY SCANNER",      true},
        {"V-LINK",          true},
        {"\u212AW902",      true},   // KELVIN SIGN lower-cases to k: full Unicode case mapping
        {"Car Audio",       false},
        {"Kitchen Speaker", false},
        {"",                false},
        {std::nullopt,      false},
        {"ÉLM",             false},  // É is no e
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(BLETransport::looksLikeAdapter(c.name), c.adapter) << c.name.value_or("(none)");
    }
}

TEST(OBDAdapterRegistryTests, BluetoothIdentifierForms) {
    struct Case {
        std::string_view text;
        std::optional<std::string> normalized;
    };
    // clang-format off
    const Case cases[] = {
        {"fff0",                                   "FFF0"},
        {"0000fff0-0000-1000-8000-00805f9b34fb",   "FFF0"},
        {"{0000FFF0-0000-1000-8000-00805F9B34FB}", "FFF0"},
        {"0000FFF0",                               "FFF0"},
        {"1234abcd-0000-1000-8000-00805f9b34fb",   "1234ABCD"},
        {"6e400001-b5a3-f393-e0a9-e50e24dcca9e",   "6E400001-B5A3-F393-E0A9-E50E24DCCA9E"},
        {"0000fff0-0000-1000-8000-00805f9b34fc",   "0000FFF0-0000-1000-8000-00805F9B34FC"},  // not the base
        {"FFF",                                    std::nullopt},
        {"FFG0",                                   std::nullopt},
        {"0000fff0_0000-1000-8000-00805f9b34fb",   std::nullopt},
        {"{FFF0",                                  std::nullopt},
        {"",                                       std::nullopt},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(normalizedBLEUUID(c.text), c.normalized) << c.text;
    }
}
