#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>

namespace veq {

// Drive and recorder times are unsigned 32-bit milliseconds (about 49.7 days). A value outside
// that range has no defined conversion, so these clamp to it.
inline constexpr std::uint32_t maxMilliseconds = std::numeric_limits<std::uint32_t>::max();

// Seconds to milliseconds, rounded half away from zero; NaN and negatives give 0.
inline std::uint32_t millisecondsRounded(double seconds) {
    const double ms = std::round(seconds * 1000.0);
    if (!(ms > 0.0)) return 0;
    if (ms >= static_cast<double>(maxMilliseconds)) return maxMilliseconds;
    return static_cast<std::uint32_t>(ms);
}

// A non-negative span of time to whole milliseconds, truncated; negatives give 0.
inline std::uint32_t millisecondsTruncated(std::chrono::nanoseconds span) {
    if (span.count() <= 0) return 0;
    const auto ms = span.count() / 1'000'000;
    return ms >= static_cast<std::int64_t>(maxMilliseconds) ? maxMilliseconds : static_cast<std::uint32_t>(ms);
}

} // namespace veq
