#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace veq {

// Channels 224-237: the sensors of the computer running the system.
namespace SensorChannel {

inline constexpr std::uint8_t accelRawX = 224;
inline constexpr std::uint8_t accelRawY = 225;
inline constexpr std::uint8_t accelRawZ = 226;
inline constexpr std::uint8_t longitudinal = 227;
inline constexpr std::uint8_t lateral = 228;
inline constexpr std::uint8_t vertical = 229;
inline constexpr std::uint8_t gForce = 230;
inline constexpr std::uint8_t yawRate = 231;
inline constexpr std::uint8_t pitchRate = 232;
inline constexpr std::uint8_t rollRate = 233;
inline constexpr std::uint8_t heading = 234;
inline constexpr std::uint8_t pitch = 235;
inline constexpr std::uint8_t roll = 236;
inline constexpr std::uint8_t battery = 237;

inline constexpr std::array<std::uint8_t, 14> all{accelRawX, accelRawY, accelRawZ, longitudinal, lateral,
                                                  vertical,  gForce,    yawRate,   pitchRate,    rollRate,
                                                  heading,   pitch,     roll,      battery};

constexpr bool isSensor(std::uint8_t id) { return id >= 224 && id < 238; }

// Nothing outside 224-237.
std::optional<std::string_view> name(std::uint8_t id);
std::optional<std::string_view> unit(std::uint8_t id);

} // namespace SensorChannel

} // namespace veq
