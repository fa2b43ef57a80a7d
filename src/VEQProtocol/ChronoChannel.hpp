#pragma once

#include "VEQSupport/Enum.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veq {

// Channels 246-249: a lap chronometer for track use.
struct ChronoChannel {
    static constexpr std::uint8_t elapsed = 246; // time since the start, s
    static constexpr std::uint8_t lap = 247;     // current lap number
    static constexpr std::uint8_t lapTime = 248; // duration of the last completed lap, s
    static constexpr std::uint8_t mark = 249;    // an instant: start, lap or finish

    static constexpr std::array<std::uint8_t, 4> all{elapsed, lap, lapTime, mark};

    // The value recorded on the mark channel; doubles because channel values are.
    enum class Mark { start, lap, finish };

    static constexpr bool isChrono(std::uint8_t id) { return id >= 246 && id < 250; }
    static constexpr bool isEvent(std::uint8_t id) { return id == mark; }

    // Nothing outside 246-249.
    static std::optional<std::string_view> name(std::uint8_t id);
    static std::optional<std::string_view> unit(std::uint8_t id);
};

template <>
struct EnumTraits<ChronoChannel::Mark> {
    using Raw = double;
    static constexpr std::array allCases{ChronoChannel::Mark::start, ChronoChannel::Mark::lap,
                                         ChronoChannel::Mark::finish};
    static constexpr Raw raw(ChronoChannel::Mark m) {
        switch (m) {
        case ChronoChannel::Mark::start: return 1.0;
        case ChronoChannel::Mark::lap: return 2.0;
        case ChronoChannel::Mark::finish: return 3.0;
        }
        return 1.0;
    }
};

// Lap timing state. Pure: times are seconds on a clock of the caller's choosing (the same one
// for every call); nothing here reads a clock.
struct Stopwatch {
    double start = 0;                // s
    double lapStart = 0;             // start of the current lap, s
    int lap = 1;                     // current lap, from 1
    std::optional<double> lastLap;   // duration of the last completed lap, s
    std::optional<double> total;     // total time once finished, s

    explicit Stopwatch(double now) : start(now), lapStart(now) {}

    bool isRunning() const { return !total.has_value(); }
    // While running, the time since the start; once finished, the total whatever the time given.
    double elapsed(double at) const;
    // Both do nothing once finished.
    void markLap(double at);
    void finish(double at);

    // "m:ss.hh" (1:23.46), rounded to the hundredth before minutes and seconds are split so that a
    // time never shows 60 seconds; "0:00,00" for no time or a non-finite one.
    static std::string format(std::optional<double> seconds);

    bool operator==(const Stopwatch&) const = default;
};

} // namespace veq
