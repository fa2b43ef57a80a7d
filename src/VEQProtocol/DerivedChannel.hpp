#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace veq {

// Channels 239 and 250: values computed from other values.
namespace DerivedChannel {

inline constexpr std::uint8_t boost = 239;
inline constexpr std::uint8_t braking = 250;

inline constexpr std::array<std::uint8_t, 2> all{boost, braking};

inline constexpr double seaLevelKPa = 101.3;      // stands in for a missing barometric pressure
inline constexpr double brakingNoiseFloor = 0.05; // g; below it the car is not braking

constexpr bool isDerived(std::uint8_t id) { return id == boost || id == braking; }

// Nothing outside 239 and 250.
std::optional<std::string_view> name(std::uint8_t id);
std::optional<std::string_view> unit(std::uint8_t id);

// Gauge boost pressure in bar, negative under vacuum.
double boostBar(double manifoldKPa, std::optional<double> barometricKPa);
// Braking as a positive number of g from the longitudinal acceleration (m/s², positive forwards);
// exactly 0 at or below the noise floor, and while accelerating.
double brakingG(double longitudinalMS2);

} // namespace DerivedChannel

} // namespace veq
