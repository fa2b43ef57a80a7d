#pragma once

#include "VEQProtocol/MeasurementUnit.hpp"
#include "VEQProtocol/OBDMode.hpp"
#include "VEQProtocol/PIDReading.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veq {

// A closed interval of doubles, bounds included.
struct ClosedRange {
    double lowerBound = 0;
    double upperBound = 0;

    constexpr bool contains(double v) const { return lowerBound <= v && v <= upperBound; }
    bool operator==(const ClosedRange&) const = default;
};

// Everything known about one OBD-II parameter: its number, French label, reply length, unit,
// display and plausible ranges, and the decoder of its data bytes (those after the mode and
// parameter echo).
struct PIDDefinition {
    using Decoder = std::function<std::optional<PIDReading>(std::span<const std::uint8_t>)>;
    // Formulas receive the row's bytes as doubles 0...255, called A, B, C, ... in order.
    using Formula = std::function<double(std::span<const double>)>;
    using MultiFormula = std::function<std::vector<double>(std::span<const double>)>;

    OBDMode mode = OBDMode::currentData;
    std::uint8_t pid = 0;
    std::string name;
    int byteCount = 0;
    MeasurementUnit unit;
    std::optional<ClosedRange> range;     // what a gauge shows; never filters a value
    std::optional<ClosedRange> plausible; // a scalar value outside it is no reading
    Decoder decode;

    // The mode's byte times 256 plus the parameter: 0x010C for engine speed.
    std::uint16_t id() const { return static_cast<std::uint16_t>((rawValue(mode) << 8) | pid); }

    // A mode 01 row whose value is one formula of its bytes: nothing when the reply is shorter
    // than `bytes`, when the result is not finite, or when it falls outside `plausible`.
    static PIDDefinition scalar(std::uint8_t pid, std::string name, int bytes, MeasurementUnit unit,
                                std::optional<ClosedRange> range, std::optional<ClosedRange> plausible,
                                Formula formula);

    // A mode 01 row giving several numbers; only the length is checked.
    static PIDDefinition multi(std::uint8_t pid, std::string name, int bytes, MeasurementUnit unit,
                               MultiFormula formula);
};

} // namespace veq
