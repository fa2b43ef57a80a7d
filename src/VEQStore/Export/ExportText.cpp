#include "VEQStore/Export/ExportText.hpp"

#include "VEQSupport/Text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace veq::exporttext {

namespace {

// 2^63: the first double above every signed 64-bit integer.
constexpr double kInt64Limit = 9223372036854775808.0;

std::optional<std::int64_t> clampedInteger(double integral) {
    if (!std::isfinite(integral)) return std::nullopt;
    if (integral >= kInt64Limit) return std::numeric_limits<std::int64_t>::max();
    if (integral < -kInt64Limit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(integral);
}

bool startsWithHexPrefix(std::string_view s) {
    return s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
}

// For a number from_chars found out of range: true when it is too large (strtod gives an
// infinity), false when too small (strtod gives zero). The sign of its order of magnitude
// decides, since the double range ends near 10^308 and 10^-308 either way.
bool overflows(std::string_view number, bool hex) {
    const std::size_t exponentAt = number.find_first_of(hex ? "pP" : "eE");
    const std::string_view mantissa = number.substr(0, exponentAt);
    long long exponent = 0;
    if (exponentAt != std::string_view::npos) {
        std::string_view digits = number.substr(exponentAt + 1);
        const bool negative = !digits.empty() && digits.front() == '-';
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
        for (char c : digits) {
            exponent = std::min(exponent * 10 + (c - '0'), 1'000'000'000LL);
        }
        if (negative) exponent = -exponent;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_not_of("0.");
    if (first == std::string_view::npos) return false;
    const long long digitOrder = first < point ? static_cast<long long>(point - first)
                                               : -static_cast<long long>(first - point - 1);
    return digitOrder * (hex ? 4 : 1) + exponent > 0;
}

} // namespace

std::string escapedMarkup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

std::optional<double> readDouble(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars takes no sign of its own here, so "+-1" or "--1" stay unreadable.
    if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;

    auto format = std::chars_format::general;
    if (startsWithHexPrefix(text)) {
        text.remove_prefix(2);
        format = std::chars_format::hex;
        // from_chars would also take "inf" or a sign here; strtod reads only hex digits.
        if (text.empty() || !(text::isHexDigit(text.front()) || text.front() == '.')) {
            return std::nullopt;
        }
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, format);
    if (ec == std::errc::result_out_of_range && end == text.data() + text.size()) {
        value = overflows(text, format == std::chars_format::hex) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<std::int64_t> readInteger(std::string_view text) {
    const bool plus = !text.empty() && text.front() == '+';
    if (plus) text.remove_prefix(1);
    const std::size_t digitsFrom = !plus && !text.empty() && text.front() == '-' ? 1 : 0;
    if (text.size() == digitsFrom) return std::nullopt;
    for (std::size_t i = digitsFrom; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::int64_t> roundedInteger(double value) { return clampedInteger(std::round(value)); }

std::optional<std::int64_t> truncatedInteger(double value) { return clampedInteger(std::trunc(value)); }

} // namespace veq::exporttext
