// Field-level readers of the log importer: column names, numbers and times.
#include "VEQStore/Import/LogImporter.hpp"

#include "VEQSupport/Text.hpp"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>

namespace veq::LogImporter {

namespace {

constexpr std::array<std::string_view, 8> kMissingWords = {"-", "--", "n/a", "na", "nan", "null", "none", "?"};

// Tried in this order, all in UTC. 'T' is a quoted literal; every other letter is a field.
constexpr std::array<std::string_view, 10> kDateFormats = {
    "yyyy-MM-dd'T'HH:mm:ss.SSSZ",
    "yyyy-MM-dd'T'HH:mm:ssZ",
    "yyyy-MM-dd'T'HH:mm:ss.SSS",
    "yyyy-MM-dd'T'HH:mm:ss",
    "yyyy-MM-dd HH:mm:ss.SSS",
    "yyyy-MM-dd HH:mm:ss",
    "dd/MM/yyyy HH:mm:ss.SSS",
    "dd/MM/yyyy HH:mm:ss",
    "HH:mm:ss.SSS",
    "HH:mm:ss",
};

// A plain number above this is a count of milliseconds since 1970.
constexpr double kEpochMillisecondsAbove = 100'000'000'000.0;
// Beyond this many seconds from 1970 (either way) a time is garbage, and later conversions to
// 64-bit counts would overflow.
constexpr double kLatestTime = 100'000'000'000.0;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isMissingWord(std::string_view trimmed) {
    if (trimmed.size() > 4) return false;
    std::string lower(trimmed);
    for (auto& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return std::find(kMissingWords.begin(), kMissingWords.end(), lower) != kMissingWords.end();
}

// The leftmost match of [-+]?\d*\.?\d+(?:[eE][-+]?\d+)?, as a backtracking engine finds it.
std::optional<std::string_view> firstNumber(std::string_view s) {
    const std::size_t n = s.size();
    auto digitsFrom = [&](std::size_t i) {
        while (i < n && isDigit(s[i])) ++i;
        return i;
    };
    for (std::size_t start = 0; start < n; ++start) {
        std::size_t i = start;
        if (s[i] == '+' || s[i] == '-') ++i;
        const std::size_t integerEnd = digitsFrom(i);
        std::size_t end = 0;
        if (integerEnd + 1 < n && s[integerEnd] == '.' && isDigit(s[integerEnd + 1])) {
            end = digitsFrom(integerEnd + 1);
        } else if (integerEnd > i) {
            end = integerEnd;
        } else {
            continue;
        }
        if (end < n && (s[end] == 'e' || s[end] == 'E')) {
            std::size_t e = end + 1;
            if (e < n && (s[e] == '+' || s[e] == '-')) ++e;
            if (e < n && isDigit(s[e])) end = digitsFrom(e);
        }
        return s.substr(start, end - start);
    }
    return std::nullopt;
}

// For a decimal literal too large or too small for a double: true when it is too large.
bool overflows(std::string_view literal) {
    std::size_t i = (literal[0] == '+' || literal[0] == '-') ? 1 : 0;
    long long leading = 0; // decimal exponent of the first non-zero digit
    bool found = false;
    long long integerDigits = 0;
    for (; i < literal.size() && isDigit(literal[i]); ++i, ++integerDigits) {
        if (!found && literal[i] != '0') {
            found = true;
            leading = integerDigits;
        }
    }
    if (found) leading = integerDigits - leading - 1;
    if (i < literal.size() && literal[i] == '.') {
        ++i;
        for (long long k = 1; i < literal.size() && isDigit(literal[i]); ++i, ++k) {
            if (!found && literal[i] != '0') {
                found = true;
                leading = -k;
            }
        }
    }
    long long exponent = 0;
    if (i < literal.size() && (literal[i] == 'e' || literal[i] == 'E')) ++i;
    const bool negative = i < literal.size() && literal[i] == '-';
    if (i < literal.size() && (literal[i] == '+' || literal[i] == '-')) ++i;
    for (; i < literal.size() && isDigit(literal[i]); ++i) {
        exponent = std::min<long long>(exponent * 10 + (literal[i] - '0'), 1'000'000);
    }
    if (negative) exponent = -exponent;
    return found && leading + exponent > 0;
}

// ---- dates

struct DateFields {
    int year = 2000; // a time of day alone falls on 2000-01-01
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int offsetMinutes = 0;
};

// Reads `minDigits` to `maxDigits` ASCII digits.
std::optional<int> readDigits(std::string_view s, std::size_t& i, std::size_t minDigits, std::size_t maxDigits) {
    int value = 0;
    std::size_t count = 0;
    while (i < s.size() && count < maxDigits && isDigit(s[i])) {
        value = value * 10 + (s[i] - '0');
        ++i;
        ++count;
    }
    if (count < minDigits) return std::nullopt;
    return value;
}

// "+hhmm", "+hh:mm" or "+hh" (either sign).
bool readZone(std::string_view s, std::size_t& i, int& offsetMinutes) {
    if (i >= s.size() || (s[i] != '+' && s[i] != '-')) return false;
    const int sign = s[i] == '-' ? -1 : 1;
    ++i;
    const auto hours = readDigits(s, i, 2, 2);
    if (!hours || *hours > 23) return false;
    int minutes = 0;
    if (i < s.size() && s[i] == ':') ++i;
    if (i < s.size()) {
        const auto m = readDigits(s, i, 2, 2);
        if (!m || *m > 59) return false;
        minutes = *m;
    }
    offsetMinutes = sign * (*hours * 60 + minutes);
    return true;
}

// The whole text must match the pattern; field ranges are checked as a strict formatter does.
std::optional<DateFields> parseWithPattern(std::string_view text, std::string_view pattern) {
    DateFields f;
    std::size_t i = 0;
    std::size_t p = 0;
    while (p < pattern.size()) {
        const char letter = pattern[p];
        if (letter == '\'') {
            const auto close = pattern.find('\'', p + 1);
            const auto literal = pattern.substr(p + 1, close - p - 1);
            if (text.substr(i, literal.size()) != literal) return std::nullopt;
            i += literal.size();
            p = close + 1;
            continue;
        }
        std::size_t width = 1;
        while (p + width < pattern.size() && pattern[p + width] == letter) ++width;
        p += width;
        std::optional<int> value;
        switch (letter) {
        case 'y': value = readDigits(text, i, 4, 4); if (value) f.year = *value; break;
        case 'M': value = readDigits(text, i, 1, 2); if (value) f.month = *value; break;
        case 'd': value = readDigits(text, i, 1, 2); if (value) f.day = *value; break;
        case 'H': value = readDigits(text, i, 1, 2); if (value) f.hour = *value; break;
        case 'm': value = readDigits(text, i, 1, 2); if (value) f.minute = *value; break;
        case 's': value = readDigits(text, i, 1, 2); if (value) f.second = *value; break;
        case 'S': { // a fraction of a second: ".5" is 500 ms, digits past the third are cut
            const std::size_t from = i;
            while (i < text.size() && isDigit(text[i])) ++i;
            if (i == from) return std::nullopt;
            int ms = 0;
            for (std::size_t k = 0; k < 3; ++k) ms = ms * 10 + (from + k < i ? text[from + k] - '0' : 0);
            f.millisecond = ms;
            value = ms;
            break;
        }
        case 'Z': if (readZone(text, i, f.offsetMinutes)) value = 0; break;
        default: // a literal character
            if (i < text.size() && text[i] == letter && width == 1) { ++i; value = 0; }
            break;
        }
        if (!value) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year{f.year}, std::chrono::month{static_cast<unsigned>(f.month)},
                                           std::chrono::day{static_cast<unsigned>(f.day)}};
    if (!date.ok() || f.hour > 23 || f.minute > 59 || f.second > 59) return std::nullopt;
    return f;
}

// Milliseconds since 1970 of the fields, in UTC.
std::int64_t epochMilliseconds(const DateFields& f) {
    using namespace std::chrono;
    const sys_days day{year{f.year} / month{static_cast<unsigned>(f.month)} / std::chrono::day{static_cast<unsigned>(f.day)}};
    const auto local = day.time_since_epoch() + hours{f.hour} + minutes{f.minute} + seconds{f.second} +
                       milliseconds{f.millisecond};
    return duration_cast<milliseconds>(local - minutes{f.offsetMinutes}).count();
}

// "hh:mm:ss,123" reads "hh:mm:ss.123": only the first comma right after a time and before a digit.
void decimalCommaAfterTime(std::string& s) {
    for (std::size_t i = 8; i + 1 < s.size(); ++i) {
        if (s[i] != ',' || !isDigit(s[i + 1])) continue;
        const std::string_view before(s.data() + i - 8, 8);
        if (isDigit(before[0]) && isDigit(before[1]) && before[2] == ':' && isDigit(before[3]) && isDigit(before[4]) &&
            before[5] == ':' && isDigit(before[6]) && isDigit(before[7])) {
            s[i] = '.';
            return;
        }
    }
}

std::optional<LogTime> dateSeconds(std::string_view given) {
    std::string text;
    for (const char c : given) {
        if (c == 'Z') text += "+0000";
        else text += c;
    }
    decimalCommaAfterTime(text);
    for (const auto format : kDateFormats) {
        const auto fields = parseWithPattern(text, format);
        if (!fields) continue;
        const std::int64_t ms = epochMilliseconds(*fields);
        // A time of day alone: seconds since that (UTC) day began, not since 1970.
        constexpr std::int64_t msPerDay = 86'400'000;
        const std::int64_t dayStart = (ms >= 0 ? ms / msPerDay : (ms - msPerDay + 1) / msPerDay) * msPerDay;
        const auto utcDay = std::chrono::year_month_day{std::chrono::sys_days{std::chrono::days{dayStart / msPerDay}}};
        if (utcDay.year() == std::chrono::year{2000} && given.find_first_of("-/") == std::string_view::npos) {
            return LogTime{static_cast<double>(ms - dayStart) / 1000.0, true};
        }
        return LogTime{static_cast<double>(ms) / 1000.0, false};
    }
    return std::nullopt;
}

// ---- column names

bool isWhiteSpace(UChar32 c) { return u_isUWhiteSpace(c) != 0; }

// Case and diacritics folded: "Régime" and "REGIME" both give "regime".
std::u32string folded(std::string_view utf8) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    text.foldCase();
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_SUCCESS(status)) text = nfd->normalize(text, status);
    icu::UnicodeString bare;
    for (int32_t i = 0; i < text.length();) {
        const UChar32 c = text.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK) bare.append(c);
        i += U16_LENGTH(c);
    }
    if (U_SUCCESS(status)) bare = nfc->normalize(bare, status);
    std::u32string out;
    for (int32_t i = 0; i < bare.length();) {
        const UChar32 c = bare.char32At(i);
        out.push_back(static_cast<char32_t>(c));
        i += U16_LENGTH(c);
    }
    return out;
}

// Where the group that /\s*[\(\[][^\)\]]*[\)\]]\s*$/ matches first begins (white space before it
// included), and where its opening bracket is; nothing when the name ends in no such group.
struct TrailingGroup {
    std::size_t start;
    std::size_t open;
    std::size_t close;
};

std::optional<TrailingGroup> trailingGroup(const std::u32string& s) {
    std::size_t end = s.size();
    while (end > 0 && isWhiteSpace(static_cast<UChar32>(s[end - 1]))) --end;
    if (end == 0 || (s[end - 1] != U')' && s[end - 1] != U']')) return std::nullopt;
    std::optional<std::size_t> open;
    for (std::size_t i = end - 1; i-- > 0;) {
        if (s[i] == U')' || s[i] == U']') break;
        if (s[i] == U'(' || s[i] == U'[') open = i; // the leftmost opener wins
    }
    if (!open) return std::nullopt;
    std::size_t start = *open;
    while (start > 0 && isWhiteSpace(static_cast<UChar32>(s[start - 1]))) --start;
    return TrailingGroup{start, *open, end - 1};
}

std::string toUTF8(const std::u32string& s) {
    std::string out;
    icu::UnicodeString u;
    for (const char32_t c : s) u.append(static_cast<UChar32>(c));
    u.toUTF8String(out);
    return out;
}

} // namespace

std::optional<double> readableTime(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > kLatestTime) return std::nullopt;
    return seconds;
}

std::string normalise(std::string_view columnName) {
    std::u32string name = folded(columnName);
    if (const auto group = trailingGroup(name)) name.resize(group->start);
    std::u32string joined;
    bool pendingSpace = false;
    for (char32_t c : name) {
        if (c == U'_' || c == U'-') c = U' ';
        if (isWhiteSpace(static_cast<UChar32>(c))) {
            pendingSpace = !joined.empty();
            continue;
        }
        if (pendingSpace) joined.push_back(U' ');
        pendingSpace = false;
        joined.push_back(c);
    }
    return toUTF8(joined);
}

std::optional<std::string> statedUnit(std::string_view columnName) {
    const std::u32string name = folded(columnName);
    const auto group = trailingGroup(name);
    if (!group) return std::nullopt;
    std::u32string unit;
    for (std::size_t i = group->open + 1; i < group->close; ++i) {
        if (!isWhiteSpace(static_cast<UChar32>(name[i]))) unit.push_back(name[i]);
    }
    if (unit.empty()) return std::nullopt;
    return toUTF8(unit);
}

std::optional<double> decimal(std::string_view text) {
    const auto trimmed = text::trimSpacesAndTabs(text);
    if (trimmed.empty() || isMissingWord(trimmed)) return std::nullopt;
    std::string commaAsPoint(trimmed);
    std::replace(commaAsPoint.begin(), commaAsPoint.end(), ',', '.');
    const auto match = firstNumber(commaAsPoint);
    if (!match) return std::nullopt;
    const std::string_view digits = match->front() == '+' ? match->substr(1) : *match;
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc::result_out_of_range) {
        if (overflows(*match)) return std::nullopt;
        return match->front() == '-' ? -0.0 : 0.0;
    }
    if (error != std::errc{} || end != digits.data() + digits.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<float> number(std::string_view text) {
    const auto value = decimal(text);
    if (!value || std::fabs(*value) > static_cast<double>(std::numeric_limits<float>::max())) return std::nullopt;
    return static_cast<float>(*value);
}

std::optional<double> numericTime(double value) {
    return readableTime(value > kEpochMillisecondsAbove ? value / 1000.0 : value);
}

std::optional<LogTime> readTime(std::string_view text) {
    const auto trimmed = text::trimSpacesAndTabs(text);
    if (trimmed.empty()) return std::nullopt;
    if (trimmed.find_first_of(":/T-") == std::string_view::npos) {
        // Read as a 64-bit number: a 32-bit float would round epoch times to minutes.
        if (const auto v = decimal(trimmed)) {
            if (const auto seconds = numericTime(*v)) return LogTime{*seconds, false};
            return std::nullopt;
        }
    }
    if (const auto date = dateSeconds(trimmed)) {
        if (readableTime(date->seconds)) return date;
    }
    return std::nullopt;
}

std::optional<double> timestamp(std::string_view text) {
    const auto time = readTime(text);
    return time ? std::optional<double>(time->seconds) : std::nullopt;
}

} // namespace veq::LogImporter
