#include "VEQProtocol/ChronoChannel.hpp"

#include "VEQProtocol/ChannelTable.hpp"

#include <fmt/format.h>

#include <charconv>
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
    const double magnitude = std::abs(*seconds);
    if (magnitude * 100 >= kLargestHundredths) return std::string(kNoTime);
    // Whole hundredths rounded from the stored value exactly as "%.2f" rounds it (3.275 is stored
    // just below the half, so 3.27; multiplying by 100 first would round it up). Splitting them
    // afterwards keeps the seconds below 60: 59.996 s is 1:00.00, not 0:60.00.
    const std::string fixed = fmt::format("{:.2f}", magnitude);
    const std::size_t point = fixed.find('.');
    long long whole = 0;
    long long fraction = 0;
    std::from_chars(fixed.data(), fixed.data() + point, whole);
    std::from_chars(fixed.data() + point + 1, fixed.data() + fixed.size(), fraction);
    const long long hundredths = whole * 100 + fraction;
    const long long minutes = hundredths / kHundredthsPerMinute;
    const long long rest = hundredths % kHundredthsPerMinute;
    // The sign goes in front once, rather than on both minutes and seconds.
    const std::string_view sign = *seconds < 0 && hundredths != 0 ? "-" : "";
    return fmt::format("{}{}:{:02}.{:02}", sign, minutes, rest / 100, rest % 100);
}

} // namespace veq
