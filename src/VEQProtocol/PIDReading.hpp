#pragma once

#include "VEQProtocol/MeasurementUnit.hpp"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace veq {

// One decoded mode 01 value, in one of six shapes. Inspect it with `as<Case>()` or through
// `value` (a std::variant over the cases, in this order).
struct PIDReading {
    struct Flag {
        std::string name;
        bool isOn = false;
        bool operator==(const Flag&) const = default;
    };

    struct Measurement {
        double value = 0;
        MeasurementUnit unit;
        bool operator==(const Measurement&) const = default;
    };
    struct Measurements {
        std::vector<double> values;
        MeasurementUnit unit;
        bool operator==(const Measurements&) const = default;
    };
    struct Flags {
        std::vector<Flag> flags; // order matters: the same names in another order differ
        bool operator==(const Flags&) const = default;
    };
    struct SupportBitmap {
        std::uint8_t base = 0;
        std::set<std::uint8_t> supported;
        bool operator==(const SupportBitmap&) const = default;
    };
    struct Text {
        std::string text;
        bool operator==(const Text&) const = default;
    };
    struct Raw {
        std::vector<std::uint8_t> bytes;
        bool operator==(const Raw&) const = default;
    };

    std::variant<Measurement, Measurements, Flags, SupportBitmap, Text, Raw> value;

    static PIDReading measurement(double v, MeasurementUnit unit) { return {Measurement{v, std::move(unit)}}; }
    static PIDReading measurements(std::vector<double> vs, MeasurementUnit unit) {
        return {Measurements{std::move(vs), std::move(unit)}};
    }
    static PIDReading flags(std::vector<Flag> fs) { return {Flags{std::move(fs)}}; }
    static PIDReading supportBitmap(std::uint8_t base, std::set<std::uint8_t> supported) {
        return {SupportBitmap{base, std::move(supported)}};
    }
    static PIDReading text(std::string t) { return {Text{std::move(t)}}; }
    static PIDReading raw(std::vector<std::uint8_t> bytes) { return {Raw{std::move(bytes)}}; }

    template <class Case>
    const Case* as() const { return std::get_if<Case>(&value); }

    // The number of a `measurement`; nothing for every other case, `measurements` included.
    std::optional<double> scalar() const;
    // The unit of a `measurement` or `measurements`; nothing for the other cases.
    std::optional<MeasurementUnit> unit() const;

    bool operator==(const PIDReading&) const = default;
};

} // namespace veq
