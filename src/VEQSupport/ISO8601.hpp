#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace veq::iso8601 {

using TimePoint = std::chrono::system_clock::time_point;

// Internet date-time in UTC: "2025-03-01T14:05:09Z", or "2025-03-01T14:05:09.250Z" with
// milliseconds. The time is truncated toward the past, never rounded, so a time is never
// shown later than it happened.
std::string format(TimePoint time, bool withMilliseconds = false);

// Reads "YYYY-MM-DDTHH:MM:SS", an optional fraction of any length and "Z"; nothing otherwise,
// and nothing for a date the clock cannot hold.
std::optional<TimePoint> parse(std::string_view text);

} // namespace veq::iso8601
