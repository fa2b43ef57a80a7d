#include "VEQStore/Export/SRTDocument.hpp"

#include "VEQStore/Export/ExportText.hpp"
#include "VEQSupport/Text.hpp"

#include <fmt/format.h>

#include <cmath>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>

namespace veq {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlockSeparator = "\n\n";
constexpr std::string_view kArrow = "-->";
constexpr std::string_view kTimeLineArrow = " --> ";
constexpr char kMillisecondSeparator = ',';
constexpr char kAlternativeMillisecondSeparator = '.';
constexpr char kClockSeparator = ':';
constexpr auto kTimecodeFormat = "{:02}:{:02}:{:02},{:03}";

constexpr std::int64_t kMillisecondsPerHour = 3'600'000;
constexpr std::int64_t kMillisecondsPerMinute = 60'000;
constexpr std::int64_t kMillisecondsPerSecond = 1'000;

// Pieces of `text` between occurrences of `separator`, scanned left to right without overlap.
std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> pieces;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        if (at == std::string_view::npos) break;
        pieces.push_back(text.substr(from, at - from));
        from = at + separator.size();
    }
    pieces.push_back(text.substr(from));
    return pieces;
}

std::string normalisedLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out.push_back(text[i]);
            continue;
        }
        out.push_back('\n');
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    return out;
}

// Unicode white space that is not horizontal: the line breaks and the vertical separators.
bool isLineBreak(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// The code point at `i` and its length; an invalid byte reads as itself, length 1, and is no
// white space.
std::pair<char32_t, std::size_t> codePointAt(std::string_view s, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = b0 < 0x80 ? 1 : b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
    if (len == 0 || i + len > s.size()) return {0xFFFF, 1};
    char32_t cp = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return {0xFFFF, 1};
        cp = (cp << 6) | (b & 0x3F);
    }
    return {cp, len};
}

// Trims spaces, tabs and line breaks (every Unicode white space) at both ends.
std::string_view trimWhitespaceAndNewlines(std::string_view s) {
    std::size_t begin = s.size();
    std::size_t end = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto [cp, len] = codePointAt(s, i);
        if (!text::isHorizontalSpace(cp) && !isLineBreak(cp)) {
            if (begin == s.size()) begin = i;
            end = i + len;
        }
        i += len;
    }
    return begin == s.size() ? std::string_view{} : s.substr(begin, end - begin);
}

// Seconds of "HH:MM:SS[,mmm]" (a full stop also separates the milliseconds, which count as
// milliseconds, not as a fraction: "00:00:01,5" is 1.005 s). Fields are not range-checked.
std::optional<double> parseTimecode(std::string_view raw) {
    std::string text(text::trimHorizontal(raw));
    for (char& c : text) {
        if (c == kAlternativeMillisecondSeparator) c = kMillisecondSeparator;
    }
    const auto pieces = split(text, std::string_view(&kMillisecondSeparator, 1));
    const auto clock = split(pieces[0], std::string_view(&kClockSeparator, 1));
    if (clock.size() != 3) return std::nullopt;
    double fields[3] = {};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto value = exporttext::readDouble(clock[i]);
        if (!value) return std::nullopt;
        fields[i] = *value;
    }
    const double milliseconds = pieces.size() > 1 ? exporttext::readDouble(pieces[1]).value_or(0.0) : 0.0;
    return fields[0] * 3600 + fields[1] * 60 + fields[2] + milliseconds / 1000;
}

// (start, end) of "start --> end"; the spaces around the arrow are optional, and end is not
// checked against start.
std::optional<std::pair<double, double>> parseTimeLine(std::string_view line) {
    const auto pieces = split(line, kArrow);
    if (pieces.size() != 2) return std::nullopt;
    const auto start = parseTimecode(pieces[0]);
    const auto end = parseTimecode(pieces[1]);
    if (!start || !end) return std::nullopt;
    return std::pair{*start, *end};
}

std::optional<SRTDocument::Block> parseBlock(std::string_view piece) {
    const auto lines = split(piece, "\n");
    std::size_t first = 0;
    while (first < lines.size() && text::trimHorizontal(lines[first]).empty()) ++first;
    if (first == lines.size()) return std::nullopt;

    // The sequence number is optional and its value ignored.
    const bool numbered = exporttext::readInteger(text::trimHorizontal(lines[first])).has_value();
    const std::size_t timing = numbered ? first + 1 : first;
    if (timing >= lines.size()) return std::nullopt;
    const auto times = parseTimeLine(lines[timing]);
    if (!times) return std::nullopt;

    std::string joined;
    for (std::size_t i = timing + 1; i < lines.size(); ++i) {
        if (i != timing + 1) joined.push_back('\n');
        joined.append(lines[i]);
    }
    const std::string_view text = trimWhitespaceAndNewlines(joined);
    if (text.empty()) return std::nullopt;
    return SRTDocument::Block{times->first, times->second, std::string(text)};
}

} // namespace

double SRTDocument::Block::duration() const {
    const double d = end - start;
    return d >= 0 ? d : 0.0;
}

SRTDocument::Block SRTDocument::Block::shifted(double seconds) const {
    return Block{start + seconds, end + seconds, text};
}

double SRTDocument::duration() const { return blocks.empty() ? 0.0 : blocks.back().end; }

std::string SRTDocument::render() const {
    std::string out;
    auto sink = std::back_inserter(out);
    std::size_t number = 0;
    for (const Block& block : blocks) {
        fmt::format_to(sink, "{}\n{}{}{}\n{}\n\n", ++number, timecode(block.start), kTimeLineArrow,
                       timecode(block.end), block.text);
    }
    return out;
}

std::string SRTDocument::timecode(double seconds) {
    const double clamped = seconds > 0 ? seconds : 0.0; // NaN fails the test too
    const std::int64_t ms = exporttext::roundedInteger(clamped * 1000).value_or(std::numeric_limits<std::int64_t>::max());
    return fmt::format(kTimecodeFormat, ms / kMillisecondsPerHour, (ms % kMillisecondsPerHour) / kMillisecondsPerMinute,
                       (ms % kMillisecondsPerMinute) / kMillisecondsPerSecond, ms % kMillisecondsPerSecond);
}

SRTDocument SRTDocument::parse(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    const std::string normalised = normalisedLineEnds(text);
    SRTDocument document;
    for (std::string_view piece : split(normalised, kBlockSeparator)) {
        if (auto block = parseBlock(piece)) document.blocks.push_back(std::move(*block));
    }
    return document;
}

} // namespace veq
