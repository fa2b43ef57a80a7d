#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// What we know of the OBD-II adapters on the market: the Bluetooth LE services they offer, where
// Wi-Fi adapters listen and the models the connection wizard lists. Constant tables, safe to
// share between threads.
namespace veq::OBDAdapterRegistry {

struct KnownAdapter {
    std::string_view name; // model name, unique
    std::string_view link; // the link kinds it offers, as shown
    std::string_view note; // for the user, in French

    bool operator==(const KnownAdapter&) const = default;
};

struct WiFiEndpointRow {
    std::string_view host;
    std::uint16_t port;

    bool operator==(const WiFiEndpointRow&) const = default;
};

// The services a Bluetooth LE adapter advertises, as in their platform text form: the short
// ones are 16-bit identifiers in the Bluetooth base UUID, the last one is the Nordic UART Service.
extern const std::array<std::string_view, 10> bleServiceUUIDStrings;

// Where Wi-Fi adapters usually listen, in the order they are tried. All private-network
// addresses: tests never use them.
extern const std::array<WiFiEndpointRow, 6> wifiEndpoints;

// The models the connection wizard lists, in this order.
extern const std::array<KnownAdapter, 7> knownAdapters;

} // namespace veq::OBDAdapterRegistry
