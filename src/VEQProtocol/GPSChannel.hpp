#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace veq {

// Channels 240-245: the quantities of a location fix.
namespace GPSChannel {

inline constexpr std::uint8_t latitude = 240;
inline constexpr std::uint8_t longitude = 241;
inline constexpr std::uint8_t altitude = 242;
inline constexpr std::uint8_t speed = 243;
inline constexpr std::uint8_t course = 244;
inline constexpr std::uint8_t horizontalAccuracy = 245;

inline constexpr std::array<std::uint8_t, 6> all{latitude, longitude, altitude, speed, course, horizontalAccuracy};

constexpr bool isGPS(std::uint8_t id) { return std::find(all.begin(), all.end(), id) != all.end(); }

// Nothing outside 240-245.
std::optional<std::string_view> name(std::uint8_t id);
std::optional<std::string_view> unit(std::uint8_t id);

} // namespace GPSChannel

} // namespace veq
