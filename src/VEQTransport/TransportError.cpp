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

std::string printedForm(const std::exception& error) {
    if (const auto* transport = dynamic_cast<const TransportError*>(&error)) return transport->printedForm();
    return error.what();
}

std::string printedForm(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return printedForm(e);
    } catch (...) {
        return "unknown";
    }
}

} // namespace veq
