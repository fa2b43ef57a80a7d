#pragma once

#include "VEQTransport/OBDTransport.hpp"
#include "VEQTransport/Platform/WiFiTransport.hpp"
#include "VEQUI/Model/TransportFactory.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// The port used when the user's port field holds no valid number.
inline constexpr std::uint16_t fallbackWifiPort = 35000;

// The port field as typed, read as a decimal 16-bit port: an optional sign, then digits only.
// An empty field, any other character, a negative number or one above 65535 gives 35000.
std::uint16_t wifiPortNumber(std::string_view portText);

// The endpoints a Wi-Fi connection tries: the user's (host as typed), then every default
// endpoint in table order. The user's is kept even when it is also a default.
std::vector<WiFiTransport::Endpoint> wifiEndpoints(const std::string& host, std::string_view portText);

// A new, unconnected transport of the kind asked for: the simulated car, the Bluetooth LE
// adapter or the Wi-Fi adapter.
std::shared_ptr<OBDTransport> makeBuiltInTransport(const TransportRequest& request);

} // namespace veq
