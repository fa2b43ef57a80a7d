#pragma once

#include "VEQSupport/Enum.hpp"

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace veq {

// The display choice: values are always held in metric form and converted only when shown.
enum class UnitSystem { metric, imperial };

template <>
struct EnumTraits<UnitSystem> {
    using Raw = std::string_view;
    static constexpr std::array allCases{UnitSystem::metric, UnitSystem::imperial};
    static constexpr Raw raw(UnitSystem s) { return s == UnitSystem::imperial ? "imperial" : "metric"; }
};

// A unit of measure with its two symbols and the conversion of a metric value to the imperial
// one. Equality and hashing use the symbols only, so `none` and `count` are the same unit.
struct MeasurementUnit {
    std::string metricSymbol;
    std::string imperialSymbol;
    std::function<double(double)> toImperial;

    // A unit built without a conversion (a default one has the symbols of `none`) keeps the value.
    double value(double metricValue, UnitSystem system) const {
        return system == UnitSystem::imperial && toImperial ? toImperial(metricValue) : metricValue;
    }
    const std::string& symbol(UnitSystem system) const {
        return system == UnitSystem::imperial ? imperialSymbol : metricSymbol;
    }

    bool operator==(const MeasurementUnit& other) const {
        return metricSymbol == other.metricSymbol && imperialSymbol == other.imperialSymbol;
    }

    static const MeasurementUnit none;
    static const MeasurementUnit percent;
    static const MeasurementUnit rpm;
    static const MeasurementUnit celsius;
    static const MeasurementUnit kilometersPerHour;
    static const MeasurementUnit kilometers;
    static const MeasurementUnit kilopascals;
    static const MeasurementUnit gramsPerSecond;
    static const MeasurementUnit litersPerHour;
    static const MeasurementUnit kilogramsPerHour;
    static const MeasurementUnit bar;
    static const MeasurementUnit gForce;
    static const MeasurementUnit volts;
    static const MeasurementUnit degrees;
    static const MeasurementUnit seconds;
    static const MeasurementUnit ratio;
    static const MeasurementUnit count;
};

namespace units {
constexpr double identity(double v) { return v; }
// Multiply by 9, then divide by 5, then add 32: exported values depend on this order.
constexpr double celsiusToFahrenheit(double v) { return v * 9 / 5 + 32; }
constexpr double kilometersToMiles(double v) { return v * 0.621371192; }
constexpr double kilopascalsToPSI(double v) { return v * 0.145037738; }
constexpr double gramsPerSecondToPoundsPerMinute(double v) { return v * 0.132277; }
constexpr double litersToGallons(double v) { return v * 0.264172052; }
constexpr double kilogramsToPounds(double v) { return v * 2.2046226; }
constexpr double barToPSI(double v) { return v * 14.503774; }
} // namespace units

// Defined here rather than in a source file so that they are initialised before any static
// of a file that includes this header (the parameter catalogue may be built that early).
inline const MeasurementUnit MeasurementUnit::none{"", "", units::identity};
inline const MeasurementUnit MeasurementUnit::percent{"%", "%", units::identity};
inline const MeasurementUnit MeasurementUnit::rpm{"tr/min", "rpm", units::identity};
inline const MeasurementUnit MeasurementUnit::celsius{"\u00B0C", "\u00B0F", units::celsiusToFahrenheit};
inline const MeasurementUnit MeasurementUnit::kilometersPerHour{"km/h", "mph", units::kilometersToMiles};
inline const MeasurementUnit MeasurementUnit::kilometers{"km", "mi", units::kilometersToMiles};
inline const MeasurementUnit MeasurementUnit::kilopascals{"kPa", "psi", units::kilopascalsToPSI};
inline const MeasurementUnit MeasurementUnit::gramsPerSecond{"g/s", "lb/min", units::gramsPerSecondToPoundsPerMinute};
inline const MeasurementUnit MeasurementUnit::litersPerHour{"L/h", "gal/h", units::litersToGallons};
inline const MeasurementUnit MeasurementUnit::kilogramsPerHour{"kg/h", "lb/h", units::kilogramsToPounds};
inline const MeasurementUnit MeasurementUnit::bar{"bar", "psi", units::barToPSI};
inline const MeasurementUnit MeasurementUnit::gForce{"g", "g", units::identity};
inline const MeasurementUnit MeasurementUnit::volts{"V", "V", units::identity};
inline const MeasurementUnit MeasurementUnit::degrees{"\u00B0", "\u00B0", units::identity};
inline const MeasurementUnit MeasurementUnit::seconds{"s", "s", units::identity};
inline const MeasurementUnit MeasurementUnit::ratio{"\u03BB", "\u03BB", units::identity};
inline const MeasurementUnit MeasurementUnit::count{"", "", units::identity};

} // namespace veq

template <>
struct std::hash<veq::MeasurementUnit> {
    std::size_t operator()(const veq::MeasurementUnit& u) const noexcept {
        const std::size_t a = std::hash<std::string>{}(u.metricSymbol);
        const std::size_t b = std::hash<std::string>{}(u.imperialSymbol);
        return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    }
};
