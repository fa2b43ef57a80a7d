#include "VEQTransport/OBDAdapterRegistry.hpp"

#include "VEQTransport/BLETransport.hpp"
#include "VEQTransport/BLEUUID.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>

using namespace veq;

TEST(OBDAdapterRegistryTests, ServicesAreInPlatformFormAndEndpointsArePrivate) {
    // The scan compares texts: the table must already be in the form the platform prints.
    for (std::string_view uuid : OBDAdapterRegistry::bleServiceUUIDStrings) EXPECT_EQ(normalizedBLEUUID(uuid), std::string(uuid));
    // Tests must never reach the default endpoints: RFC 1918 only.
    for (const auto& row : OBDAdapterRegistry::wifiEndpoints) {
        in_addr address{};
        ASSERT_EQ(::inet_pton(AF_INET, std::string(row.host).c_str(), &address), 1) << row.host;
        const std::uint32_t a = ntohl(address.s_addr);
        EXPECT_TRUE((a >> 24) == 10 || (a >> 20) == 0xAC1 || (a >> 16) == 0xC0A8) << row.host;
    }
}

TEST(OBDAdapterRegistryTests, LooksLikeAdapter) {
    for (const char* name : {"OBDII", "obdii", "Android-Vlink", "KW903", "MY SCANNER", "V-LINK", "\u212AW902" /* Kelvin sign: k */})
        EXPECT_TRUE(BLETransport::looksLikeAdapter(name)) << name;
    for (const char* name : {"Car Audio", "Kitchen Speaker", "", "ÉLM"}) EXPECT_FALSE(BLETransport::looksLikeAdapter(name)) << name;
    EXPECT_FALSE(BLETransport::looksLikeAdapter(std::nullopt));
}

TEST(OBDAdapterRegistryTests, BluetoothIdentifierForms) {
    const std::pair<std::string_view, std::optional<std::string>> cases[] = {
        {"fff0", "FFF0"}, {"0000fff0-0000-1000-8000-00805f9b34fb", "FFF0"}, {"{0000FFF0-0000-1000-8000-00805F9B34FB}", "FFF0"},
        {"0000FFF0", "FFF0"}, {"1234abcd-0000-1000-8000-00805f9b34fb", "1234ABCD"},
        {"6e400001-b5a3-f393-e0a9-e50e24dcca9e", "6E400001-B5A3-F393-E0A9-E50E24DCCA9E"},
        {"0000fff0-0000-1000-8000-00805f9b34fc", "0000FFF0-0000-1000-8000-00805F9B34FC"}, // not the base
        {"FFF", std::nullopt}, {"FFG0", std::nullopt}, {"0000fff0_0000-1000-8000-00805f9b34fb", std::nullopt},
        {"{FFF0", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [text, normalized] : cases) EXPECT_EQ(normalizedBLEUUID(text), normalized) << text;
}
