#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

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

// A span between two dates in the clock's own ticks, unsigned.
using ElapsedTicks = std::chrono::duration<std::uint64_t, std::chrono::system_clock::period>;

// The time from `origin` to `at`, exact for any two dates (subtracting them directly could
// overflow the clock's signed count); nothing when `at` is earlier.
inline std::optional<ElapsedTicks> elapsedSince(std::chrono::system_clock::time_point origin,
                                                std::chrono::system_clock::time_point at) {
    if (at < origin) return std::nullopt;
    return ElapsedTicks(static_cast<std::uint64_t>(at.time_since_epoch().count()) -
                        static_cast<std::uint64_t>(origin.time_since_epoch().count()));
}

// Whole milliseconds of a span, truncated, clamped to the 32-bit range.
inline std::uint32_t millisecondsTruncated(ElapsedTicks span) {
    const auto ms = std::chrono::duration_cast<std::chrono::duration<std::uint64_t, std::milli>>(span).count();
    return ms >= maxMilliseconds ? maxMilliseconds : static_cast<std::uint32_t>(ms);
}

// The date `seconds` after `start`, rounded to the clock's tick and held at the clock's ends: a
// file may carry a start date as late as the clock can hold, and signed overflow has no defined
// result. A time that is not a number gives `start`.
inline std::chrono::system_clock::time_point dateAfter(std::chrono::system_clock::time_point start, double seconds) {
    using Date = std::chrono::system_clock::time_point;
    using Ticks = Date::duration;
    const double ticks = std::round(seconds * Ticks::period::den / Ticks::period::num);
    if (std::isnan(ticks)) return start;
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (ticks >= limit) return Date::max();
    if (ticks < -limit) return Date::min();
    Ticks::rep sum = 0;
    if (__builtin_add_overflow(start.time_since_epoch().count(), static_cast<Ticks::rep>(ticks), &sum)) {
        return ticks > 0 ? Date::max() : Date::min();
    }
    return Date(Ticks(sum));
}

// `start` plus whole milliseconds, held at the clock's latest date (a file may carry a start
// date as late as the clock can hold).
inline std::chrono::system_clock::time_point dateAfterMilliseconds(std::chrono::system_clock::time_point start,
                                                                   std::uint32_t milliseconds) {
    using Date = std::chrono::system_clock::time_point;
    const auto delta = std::chrono::duration_cast<Date::duration>(std::chrono::milliseconds(milliseconds)).count();
    Date::rep sum = 0;
    if (__builtin_add_overflow(start.time_since_epoch().count(), delta, &sum)) return Date::max();
    return Date(Date::duration(sum));
}

} // namespace veq
