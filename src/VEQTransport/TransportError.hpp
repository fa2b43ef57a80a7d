#pragma once

#include "VEQSupport/Error.hpp"

#include <exception>
#include <string>

namespace veq {

// The transports' own error. Its printed form is the case name, and for connectionFailed the
// case name with the text in parentheses and double quotes, as in
// connectionFailed("Échec de connexion BLE"); that form is the text of the `failed` state and
// of trace lines. what() is the printed form too, except for notConnected, which the user reads
// when the link to the adapter is gone: its what() is a French sentence.
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
    std::string printedForm() const { return printedForm(kind_, message_); }

    static std::string printedForm(Kind kind, const std::string& message);
    // The French sentence of notConnected.
    static constexpr const char* notConnectedText = "Connexion perdue avec l'adaptateur";

    bool operator==(const TransportError& other) const {
        return kind_ == other.kind_ && message_ == other.message_;
    }

private:
    TransportError(Kind kind, std::string message)
        : Error(kind == Kind::notConnected ? std::string(notConnectedText) : printedForm(kind, message)),
          kind_(kind),
          message_(std::move(message)) {}

    Kind kind_;
    std::string message_;
};

// The text of a failure in trace lines and in the `failed` state: a TransportError's printed
// form, the description of any other error.
std::string printedForm(const std::exception& error);
std::string printedForm(const std::exception_ptr& error);

} // namespace veq
