#include "VEQUI/Model/BuiltInTransports.hpp"

#include "VEQTransport/BLETransport.hpp"
#include "VEQTransport/Platform/QtBLECentral.hpp"
#include "VEQTransport/SimulatorTransport.hpp"

#include <limits>

namespace veq {

std::uint16_t wifiPortNumber(std::string_view portText) {
    std::string_view digits = portText;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty()) return fallbackWifiPort;
    unsigned long value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return fallbackWifiPort;
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > std::numeric_limits<std::uint16_t>::max()) return fallbackWifiPort;
    }
    // "-0" is still zero; any other negative number is no port.
    if (negative && value != 0) return fallbackWifiPort;
    return static_cast<std::uint16_t>(value);
}

std::vector<WiFiTransport::Endpoint> wifiEndpoints(const std::string& host, std::string_view portText) {
    std::vector<WiFiTransport::Endpoint> endpoints{{host, wifiPortNumber(portText)}};
    const auto& defaults = WiFiTransport::defaultEndpoints();
    endpoints.insert(endpoints.end(), defaults.begin(), defaults.end());
    return endpoints;
}

std::shared_ptr<OBDTransport> makeBuiltInTransport(const TransportRequest& request) {
    switch (request.kind) {
    case TransportKind::simulator: return std::make_shared<SimulatorTransport>();
    case TransportKind::bluetooth: return std::make_shared<BLETransport>(std::make_unique<QtBLECentral>());
    case TransportKind::wifi: return std::make_shared<WiFiTransport>(wifiEndpoints(request.wifiHost, request.wifiPort));
    }
    return std::make_shared<SimulatorTransport>();
}

} // namespace veq
