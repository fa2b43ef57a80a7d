// The Wi-Fi endpoints of a connection, from the address and port fields as the user typed them.
#include "VEQUI/Model/BuiltInTransports.hpp"

#include <gtest/gtest.h>

using namespace veq;
using Endpoint = WiFiTransport::Endpoint;

TEST(BuiltInTransportsTests, APortFieldThatIsNoPortGives35000) {
    const struct { std::string text; std::uint16_t port; } cases[] = {
        {"", 35000},     {"x", 35000},    {"70000", 35000}, {"65536", 35000}, {"23", 23},
        {"65535", 65535}, {"+23", 23},    {"-1", 35000},    {"-0", 0},        {" 23", 35000},
        {"23 ", 35000},  {"2x3", 35000},  {"+", 35000},     {"0035000", 35000}, {"99999999999999999999", 35000},
    };
    for (const auto& c : cases) EXPECT_EQ(wifiPortNumber(c.text), c.port) << '"' << c.text << '"';
}

TEST(BuiltInTransportsTests, TheUsersEndpointComesFirstThenEveryDefault) {
    const std::vector<Endpoint> defaults{
        {"192.168.0.10", 35000}, {"192.168.0.10", 23},   {"192.168.4.1", 35000},
        {"192.168.4.1", 23},     {"192.168.0.74", 35000}, {"10.10.100.254", 35000},
    };
    std::vector<Endpoint> expected{{"obd.local", 23}};
    expected.insert(expected.end(), defaults.begin(), defaults.end());
    EXPECT_EQ(wifiEndpoints("obd.local", "23"), expected);

    // The model's default fields name the first default: tried twice in a row, never removed.
    const auto endpoints = wifiEndpoints("192.168.0.10", "35000");
    ASSERT_EQ(endpoints.size(), 7u);
    EXPECT_EQ(endpoints[0], endpoints[1]);
    // The host is used as typed.
    EXPECT_EQ(wifiEndpoints(" 10.0.0.1 ", "").front(), (Endpoint{" 10.0.0.1 ", 35000}));
}
