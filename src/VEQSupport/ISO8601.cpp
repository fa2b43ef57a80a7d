#include "VEQSupport/ISO8601.hpp"

#include <fmt/format.h>

namespace veq::iso8601 {

using namespace std::chrono;

std::string format(TimePoint time, bool withMilliseconds) {
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    auto text = fmt::format("{:04d}-{:02d}-{:02d}T{:02d}:{:02d}:{:02d}", static_cast<int>(date.year()),
                            static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                            clock.hours().count(), clock.minutes().count(), clock.seconds().count());
    if (withMilliseconds) text += fmt::format(".{:03d}", clock.subseconds().count());
    text += 'Z';
    return text;
}

namespace {

bool readDigits(std::string_view text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

std::optional<TimePoint> parse(std::string_view text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (text.size() < 20 || !readDigits(text, 0, 4, y) || text[4] != '-' || !readDigits(text, 5, 2, mo) ||
        text[7] != '-' || !readDigits(text, 8, 2, d) || text[10] != 'T' || !readDigits(text, 11, 2, h) ||
        text[13] != ':' || !readDigits(text, 14, 2, mi) || text[16] != ':' || !readDigits(text, 17, 2, s)) {
        return std::nullopt;
    }
    const year_month_day date{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!date.ok() || h > 23 || mi > 59 || s > 59) return std::nullopt;

    std::size_t at = 19;
    nanoseconds fraction{0};
    if (text[at] == '.') {
        ++at;
        const std::size_t start = at;
        long long scale = 100'000'000;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            fraction += nanoseconds{(text[at] - '0') * scale};
            scale /= 10;
            ++at;
        }
        if (at == start) return std::nullopt;
    }
    if (at + 1 != text.size() || text[at] != 'Z') return std::nullopt;
    // The clock counts nanoseconds in 64 bits (about 1677 to 2262): a date beyond would wrap
    // round to another one.
    const auto whole = (sys_days{date} + hours{h} + minutes{mi} + seconds{s}).time_since_epoch();
    constexpr auto earliest = duration_cast<seconds>(system_clock::duration::min()) + seconds{1};
    constexpr auto latest = duration_cast<seconds>(system_clock::duration::max()) - seconds{1};
    if (whole < earliest || whole > latest) return std::nullopt;
    return time_point_cast<system_clock::duration>(sys_seconds{whole} + fraction);
}

} // namespace veq::iso8601
