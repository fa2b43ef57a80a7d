#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veq {

// The gear engaged, from the value of parameter 0xA4.
class TransmissionGear {
public:
    enum class Kind { forward, unknown, reverse, neutral };

    static TransmissionGear forward(int gear) { return {Kind::forward, gear}; }
    static TransmissionGear unknown(std::uint8_t code) { return {Kind::unknown, code}; }
    static TransmissionGear reverse() { return {Kind::reverse, 0}; }
    static TransmissionGear neutral() { return {Kind::neutral, 0}; }

    // From the low four bits: 0 neutral, 1-13 forward, 14 and 15 reverse.
    static TransmissionGear fromRawByte(std::uint8_t rawByte);
    // From a decoded reading: rounded half away from zero, clamped to 0...255 (NaN counts as
    // 255), then as fromRawByte.
    static TransmissionGear fromValue(double value);

    Kind kind() const { return kind_; }
    // "1" to "13", "R", "N", or "—" for a code that has no name.
    std::string label() const;
    bool isReverse() const { return kind_ == Kind::reverse; }
    bool isNeutral() const { return kind_ == Kind::neutral; }
    std::optional<int> forwardGear() const;
    // The code of an `unknown` gear; nothing for the other cases.
    std::optional<std::uint8_t> unknownCode() const;

    bool operator==(const TransmissionGear&) const = default;

private:
    TransmissionGear(Kind kind, int payload) : kind_(kind), payload_(payload) {}

    Kind kind_;
    int payload_; // the forward gear or the unknown code; 0 for reverse and neutral
};

} // namespace veq
