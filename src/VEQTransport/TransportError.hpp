#pragma once

#include "VEQSupport/Error.hpp"

#include <string>

namespace veq {

// The transports' own error. It has no French sentence of its own: what() is its printed form,
// the case name, and for connectionFailed the case name with the text in parentheses and double
// quotes, as in connectionFailed("Échec de connexion BLE"). That form is also the text of the
// `failed` state and of trace lines.
class TransportError : public Error {
public:
    enum class Kind { connectionFailed, notConnected, timeout, deviceNotFound };

    static TransportError connectionFailed(std::string message) {
        return TransportError(Kind::connectionFailed, std::move(message));
    }
    static TransportError notConnected() { return TransportError(Kind::notConnected, {}); }
    // Never raised by a transport: reply time-outs belong to the session.
    static TransportError timeout() { return TransportError(Kind::timeout, {}); }
    static TransportError deviceNotFound() { return TransportError(Kind::deviceNotFound, {}); }

    Kind kind() const { return kind_; }
    // The payload of connectionFailed; empty for the other cases.
    const std::string& message() const { return message_; }

    static std::string printedForm(Kind kind, const std::string& message);

    bool operator==(const TransportError& other) const {
        return kind_ == other.kind_ && message_ == other.message_;
    }

private:
    TransportError(Kind kind, std::string message)
        : Error(printedForm(kind, message)), kind_(kind), message_(std::move(message)) {}

    Kind kind_;
    std::string message_;
};

} // namespace veq
