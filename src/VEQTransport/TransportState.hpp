#pragma once

#include <string>

namespace veq {

// A transport's link state. Two states are equal when they are the same case and, for
// `failed`, their texts are equal.
class TransportState {
public:
    enum class Kind { failed, disconnected, connecting, connected };

    // `connect` failed; the text is the printed form of the error it threw.
    static TransportState failed(std::string text) { return TransportState(Kind::failed, std::move(text)); }
    static TransportState disconnected() { return TransportState(Kind::disconnected, {}); }
    static TransportState connecting() { return TransportState(Kind::connecting, {}); }
    static TransportState connected() { return TransportState(Kind::connected, {}); }

    // The initial state of every transport.
    TransportState() = default;

    Kind kind() const { return kind_; }
    bool isConnected() const { return kind_ == Kind::connected; }
    // The failure text; empty for every other case.
    const std::string& failureText() const { return text_; }

    bool operator==(const TransportState&) const = default;

private:
    TransportState(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}

    Kind kind_ = Kind::disconnected;
    std::string text_;
};

} // namespace veq
