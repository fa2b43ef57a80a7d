#pragma once

#include "VEQTransport/OBDTransport.hpp"
#include "VEQUI/Model/TransportKind.hpp"

#include <functional>
#include <memory>
#include <string>

namespace veq {

// What the connection asks of a transport factory: the user's choice and, for Wi-Fi, the address
// and port exactly as typed.
struct TransportRequest {
    TransportKind kind = TransportKind::simulator;
    std::string wifiHost;
    std::string wifiPort;

    bool operator==(const TransportRequest&) const = default;
};

// Builds the transport of one connection (not yet connected). Tests put a scripted adapter here.
using TransportFactory = std::function<std::shared_ptr<OBDTransport>(const TransportRequest&)>;

} // namespace veq
