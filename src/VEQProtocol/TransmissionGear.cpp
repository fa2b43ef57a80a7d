#include "VEQProtocol/TransmissionGear.hpp"

#include <fmt/format.h>

#include <cmath>

namespace veq {

TransmissionGear TransmissionGear::fromRawByte(std::uint8_t rawByte) {
    const int n = rawByte & 0x0F;
    if (n == 0) return neutral();
    if (n <= 13) return forward(n);
    return reverse(); // 14 is a reverse code, not a fourteenth gear
}

TransmissionGear TransmissionGear::fromValue(double value) {
    if (std::isnan(value)) return fromRawByte(255);
    const double rounded = std::round(value);
    if (rounded <= 0) return fromRawByte(0);
    if (rounded >= 255) return fromRawByte(255);
    return fromRawByte(static_cast<std::uint8_t>(rounded));
}

std::string TransmissionGear::label() const {
    switch (kind_) {
    case Kind::forward: return fmt::format("{}", payload_);
    case Kind::unknown: return "\u2014";
    case Kind::reverse: return "R";
    case Kind::neutral: return "N";
    }
    return {};
}

std::optional<int> TransmissionGear::forwardGear() const {
    if (kind_ == Kind::forward) return payload_;
    return std::nullopt;
}

std::optional<std::uint8_t> TransmissionGear::unknownCode() const {
    if (kind_ == Kind::unknown) return static_cast<std::uint8_t>(payload_);
    return std::nullopt;
}

} // namespace veq
