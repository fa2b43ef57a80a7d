#include "VEQProtocol/ChronoChannel.hpp"

#include "VEQProtocol/ChannelTable.hpp"

#include <fmt/format.h>

#include <cmath>
#include <cstdlib>

namespace veq {

namespace {
constexpr ChannelRow kRows[] = {
    {ChronoChannel::elapsed, "Chrono · temps écoulé", "s"},
    {ChronoChannel::lap,     "Chrono · tour",         ""},
    {ChronoChannel::lapTime, "Chrono · dernier tour", "s"},
    {ChronoChannel::mark,    "Chrono · top",          ""},
};

constexpr std::string_view kNoTime = "0:00,00";
constexpr long long kHundredthsPerMinute = 6000;
// Hundredths beyond this do not fit a 64-bit integer; no lap chronometer gets near it.
constexpr double kLargestHundredths = 9.0e18;
} // namespace

std::optional<std::string_view> ChronoChannel::name(std::uint8_t id) { return channelName(kRows, id); }
std::optional<std::string_view> ChronoChannel::unit(std::uint8_t id) { return channelUnit(kRows, id); }

double Stopwatch::elapsed(double at) const { return total ? *total : at - start; }

void Stopwatch::markLap(double at) {
    if (!isRunning()) return;
    lastLap = at - lapStart;
    lapStart = at;
    lap += 1;
}

void Stopwatch::finish(double at) {
    if (!isRunning()) return;
    lastLap = at - lapStart;
    total = at - start;
}

std::string Stopwatch::format(std::optional<double> seconds) {
    if (!seconds || !std::isfinite(*seconds)) return std::string(kNoTime);
    const double scaled = std::abs(*seconds) * 100;
    if (scaled >= kLargestHundredths) return std::string(kNoTime);
    // Splitting whole hundredths keeps the seconds below 60: 59.996 s is 1:00.00, not 0:60.00.
    const long long hundredths = std::llround(scaled);
    const long long minutes = hundredths / kHundredthsPerMinute;
    const long long rest = hundredths % kHundredthsPerMinute;
    // The sign goes in front once, rather than on both minutes and seconds.
    const std::string_view sign = *seconds < 0 && hundredths != 0 ? "-" : "";
    return fmt::format("{}{}:{:02}.{:02}", sign, minutes, rest / 100, rest % 100);
}

} // namespace veq
