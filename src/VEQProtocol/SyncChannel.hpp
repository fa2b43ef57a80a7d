#pragma once

#include <cstdint>
#include <string_view>

namespace veq {

// Channel 238: a synchronisation mark, an instant rather than a sampled quantity.
namespace SyncChannel {

inline constexpr std::uint8_t marker = 238;
inline constexpr std::string_view name = "Repère de synchro";

constexpr bool isSync(std::uint8_t id) { return id == marker; }
constexpr bool isEvent(std::uint8_t id) { return isSync(id); }

} // namespace SyncChannel

} // namespace veq
