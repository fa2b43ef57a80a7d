#include "VEQStore/Export/Exporters.hpp"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <cmath>
#include <iterator>

namespace veq::TelemetryExporter {

namespace {

constexpr std::string_view timeHeader = "temps_s";
constexpr char separator = ';';
constexpr char lineEnd = '\n';
constexpr char quote = '"';
// A name holding one of these would shift the columns unless it is quoted.
constexpr std::string_view needsQuoting = ";\"\r\n";

void appendName(std::string& out, std::string_view name) {
    if (name.find_first_of(needsQuoting) == std::string_view::npos) {
        out += name;
        return;
    }
    out += quote;
    for (const char c : name) {
        if (c == quote) out += quote;
        out += c;
    }
    out += quote;
}

// Writes a count of thousandths as "[-]units.ddd".
void appendThousandths(std::string& out, bool negative, std::uint64_t thousandths) {
    std::array<char, 24> digits{};
    const auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), thousandths / 1000);
    (void)ec; // 20 digits at most: cannot overflow the buffer
    if (negative) out += '-';
    out.append(digits.data(), end);
    const auto fraction = static_cast<unsigned>(thousandths % 1000);
    out += '.';
    out += static_cast<char>('0' + fraction / 100);
    out += static_cast<char>('0' + fraction / 10 % 10);
    out += static_cast<char>('0' + fraction % 10);
}

// A float widened to double, with three decimals exactly as "%.3f" writes it. A float has at most
// 24 significant bits, so value × 1000 = value × 125 × 8 needs at most 31 and is exact in a
// double: rounding it to an integer, ties to even, is then the exact decimal rounding "%.3f"
// makes, at a fraction of the general formatter's cost.
void appendValue(std::string& out, float value) {
    const double scaled = std::fabs(static_cast<double>(value) * 1000.0);
    if (scaled < 9.0e18) { // false for infinities and NaN
        const double whole = std::floor(scaled);
        auto rounded = static_cast<std::uint64_t>(whole);
        const double rest = scaled - whole; // exact
        if (rest > 0.5 || (rest == 0.5 && rounded % 2 == 1)) ++rounded;
        appendThousandths(out, std::signbit(value), rounded);
    } else {
        fmt::format_to(std::back_inserter(out), "{:.3f}", static_cast<double>(value));
    }
}

} // namespace

std::string csv(const TelemetryFile::Contents& contents) {
    std::string out;
    const std::size_t perRecord = 12 + 10 * contents.channels.size();
    out.reserve(64 + 24 * contents.channels.size() + contents.records.size() * perRecord);

    out += timeHeader;
    out += separator;
    for (std::size_t i = 0; i < contents.channels.size(); ++i) {
        if (i > 0) out += separator;
        appendName(out, contents.channels[i].name);
    }
    out += lineEnd;

    for (const auto& record : contents.records) {
        // milliseconds / 1000 to three decimals is the milliseconds' own digits.
        appendThousandths(out, false, record.milliseconds);
        for (const auto& value : record.values) {
            out += separator;
            if (value) appendValue(out, *value);
        }
        out += lineEnd;
    }
    return out;
}

} // namespace veq::TelemetryExporter
