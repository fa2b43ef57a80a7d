#include "VEQTransport/TransportError.hpp"

namespace veq {

std::string TransportError::printedForm(Kind kind, const std::string& message) {
    switch (kind) {
    case Kind::connectionFailed: return "connectionFailed(\"" + message + "\")";
    case Kind::notConnected: return "notConnected";
    case Kind::timeout: return "timeout";
    case Kind::deviceNotFound: return "deviceNotFound";
    }
    return "unknown";
}

} // namespace veq
