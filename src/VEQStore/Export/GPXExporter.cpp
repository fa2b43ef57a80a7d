#include "VEQStore/Export/GPXExporter.hpp"

#include "VEQProtocol/GPSChannel.hpp"
#include "VEQStore/Telemetry/Milliseconds.hpp"
#include "VEQStore/Export/ExportText.hpp"
#include "VEQSupport/ISO8601.hpp"
#include "VEQSupport/Text.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <limits>
#include <unordered_map>

namespace veq::GPXExporter {

namespace {

using TimePoint = std::chrono::system_clock::time_point;

constexpr std::uint8_t kEngineSpeed = 0x0C; // mode 01 parameter, rpm

constexpr std::string_view kDocumentStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"Oskavel Car\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
constexpr auto kMetadata = "  <metadata>\n    <name>{}</name>\n    <time>{}</time>\n  </metadata>\n"
                           "  <trk>\n    <name>{}</name>\n    <trkseg>\n";
constexpr auto kPointStart = "      <trkpt lat=\"{:.6f}\" lon=\"{:.6f}\">\n";
constexpr auto kElevation = "        <ele>{:.1f}</ele>\n";
constexpr auto kTime = "        <time>{}</time>\n";
constexpr std::string_view kExtensionsStart = "        <extensions>\n";
constexpr auto kSpeedElement = "          <speed>{:.2f}</speed>\n";
constexpr auto kRPMElement = "          <rpm>{}</rpm>\n";
constexpr std::string_view kExtensionsEnd = "        </extensions>\n";
constexpr std::string_view kPointEnd = "      </trkpt>\n";
constexpr std::string_view kDocumentEnd = "    </trkseg>\n  </trk>\n</gpx>\n";

// What the reader looks for: <trkpt ... lat="..." ... lon="..." ...> body </trkpt>, lat before
// lon, each value made of digits, "-" and ".".
constexpr std::string_view kPointOpen = "<trkpt";
constexpr std::string_view kPointClose = "</trkpt>";
constexpr std::string_view kLatitudeAttribute = "lat=\"";
constexpr std::string_view kLongitudeAttribute = "lon=\"";

constexpr float kKilometersPerHourPerMeterPerSecond = 3.6f;

// Values of one channel by record time; the later of two entries at the same time wins.
std::unordered_map<double, float> tableOf(const TelemetryFile::Contents& contents, std::uint8_t pid) {
    std::unordered_map<double, float> table;
    for (const auto& [t, v] : contents.series(pid)) table[t] = v;
    return table;
}

std::optional<float> lookUp(const std::unordered_map<double, float>& table, double t) {
    const auto it = table.find(t);
    return it == table.end() ? std::nullopt : std::optional(it->second);
}

// A double as a drive value: beyond the float range it becomes an infinity, not an undefined
// conversion.
float narrowed(double v) {
    constexpr double largest = std::numeric_limits<float>::max();
    if (v > largest) return std::numeric_limits<float>::infinity();
    if (v < -largest) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

double secondsSince1970(TimePoint date) {
    return std::chrono::duration<double>(date.time_since_epoch()).count();
}

// ---- reading ----

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a fixed count of ASCII digits at `at`.
std::optional<int> digits(std::string_view s, std::size_t at, std::size_t count) {
    if (at + count > s.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!isDigit(s[i])) return std::nullopt;
        value = value * 10 + (s[i] - '0');
    }
    return value;
}

// An internet date-time: "YYYY-MM-DDTHH:MM:SS", an optional fraction, then "Z" or "+HH:MM" /
// "-HH:MM". The zone designator is required.
std::optional<TimePoint> parseDateTime(std::string_view s) {
    const auto year = digits(s, 0, 4);
    const auto month = digits(s, 5, 2);
    const auto day = digits(s, 8, 2);
    const auto hour = digits(s, 11, 2);
    const auto minute = digits(s, 14, 2);
    const auto second = digits(s, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' || s[16] != ':') return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year), std::chrono::month(unsigned(*month)),
                                           std::chrono::day(unsigned(*day))};
    if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;

    std::size_t at = 19;
    std::chrono::nanoseconds fraction{0};
    if (at < s.size() && s[at] == '.') {
        ++at;
        const std::size_t first = at;
        std::int64_t nanos = 0;
        for (; at < s.size() && isDigit(s[at]); ++at) {
            if (at - first < 9) nanos = nanos * 10 + (s[at] - '0');
        }
        if (at == first) return std::nullopt;
        for (std::size_t n = at - first; n < 9; ++n) nanos *= 10;
        fraction = std::chrono::nanoseconds(nanos);
    }

    std::chrono::minutes zoneOffset{0};
    if (at < s.size() && s[at] == 'Z') {
        ++at;
    } else if (at < s.size() && (s[at] == '+' || s[at] == '-')) {
        const auto zoneHours = digits(s, at + 1, 2);
        const auto zoneMinutes = digits(s, at + 4, 2);
        if (!zoneHours || !zoneMinutes || s[at + 3] != ':' || *zoneHours > 23 || *zoneMinutes > 59) {
            return std::nullopt;
        }
        zoneOffset = std::chrono::minutes((s[at] == '-' ? -1 : 1) * (*zoneHours * 60 + *zoneMinutes));
        at += 6;
    } else {
        return std::nullopt;
    }
    if (at != s.size()) return std::nullopt;

    // Whole seconds first: a year such as 9999 is beyond what the clock holds, and converting it
    // to the clock's ticks would overflow.
    using namespace std::chrono;
    const sys_seconds utc = sys_days(date) + hours(*hour) + minutes(*minute) + seconds(*second) - zoneOffset;
    if (utc < ceil<seconds>(TimePoint::min()) || utc > floor<seconds>(TimePoint::max())) return std::nullopt;
    const TimePoint whole = time_point_cast<TimePoint::duration>(utc);
    const auto ticks = duration_cast<TimePoint::duration>(fraction);
    if (whole > TimePoint::max() - ticks) return std::nullopt;
    return whole + ticks;
}

// The trimmed content of the first <tag>...</tag> in the text whose content holds no "<".
std::optional<std::string_view> value(std::string_view tag, std::string_view text) {
    const std::string open = "<" + std::string(tag) + ">";
    const std::string close = "</" + std::string(tag) + ">";
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(open, from);
        if (at == std::string_view::npos) return std::nullopt;
        const std::size_t contentStart = at + open.size();
        const std::size_t next = text.find('<', contentStart);
        if (next == std::string_view::npos) return std::nullopt;
        if (text.substr(next).starts_with(close)) return text::trimHorizontal(text.substr(contentStart, next - contentStart));
        from = next; // no other opening tag can start before the next "<"
    }
}

bool isCoordinateCharacter(char c) { return isDigit(c) || c == '-' || c == '.'; }

// The value that starts at `at` when it is one or more coordinate characters closed by a quote.
std::optional<std::string_view> coordinateValue(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && isCoordinateCharacter(text[end])) ++end;
    if (end == at || end >= text.size() || text[end] != '"') return std::nullopt;
    return text.substr(at, end - at);
}

struct Coordinate {
    std::size_t at; // where the attribute's name begins
    std::string_view value;
};

// The last `name="value"` in the text whose value is a coordinate. Searching backwards keeps the
// reader linear in the length of a start tag, however many attributes it holds.
std::optional<Coordinate> lastCoordinate(std::string_view text, std::string_view name) {
    for (std::size_t at = text.rfind(name); at != std::string_view::npos;
         at = at == 0 ? std::string_view::npos : text.rfind(name, at - 1)) {
        if (const auto value = coordinateValue(text, at + name.size())) return Coordinate{at, *value};
    }
    return std::nullopt;
}

// The latitude and longitude texts of a start tag: the last longitude, and the last latitude
// that ends before it, which is what a greedy match of the pattern above picks.
std::optional<std::pair<std::string_view, std::string_view>> coordinates(std::string_view tag) {
    const auto longitude = lastCoordinate(tag, kLongitudeAttribute);
    if (!longitude) return std::nullopt;
    const auto latitude = lastCoordinate(tag.substr(0, longitude->at), kLatitudeAttribute);
    if (!latitude) return std::nullopt;
    return std::pair{latitude->value, longitude->value};
}

std::optional<TrackPoint> pointOf(std::string_view latitudeText, std::string_view longitudeText,
                                  std::string_view body) {
    const auto latitude = exporttext::readDouble(latitudeText);
    const auto longitude = exporttext::readDouble(longitudeText);
    if (!latitude || !longitude) return std::nullopt;
    const auto timeText = value("time", body);
    if (!timeText) return std::nullopt;
    const auto date = parseDateTime(*timeText);
    if (!date) return std::nullopt;
    const auto elevation = value("ele", body);
    return TrackPoint{*date, *latitude, *longitude, elevation ? exporttext::readDouble(*elevation) : std::nullopt};
}

} // namespace

std::optional<std::string> gpx(const TelemetryFile::Contents& contents, std::string_view name) {
    const auto latitudes = contents.series(GPSChannel::latitude);
    const auto longitudeTable = tableOf(contents, GPSChannel::longitude);
    if (latitudes.empty() || longitudeTable.empty()) return std::nullopt;
    const auto altitudeTable = tableOf(contents, GPSChannel::altitude);
    const auto speedTable = tableOf(contents, GPSChannel::speed);
    const auto engineSpeedTable = tableOf(contents, kEngineSpeed);

    const std::string escapedName = exporttext::escapedMarkup(name);
    std::string out(kDocumentStart);
    auto sink = std::back_inserter(out);
    fmt::format_to(sink, kMetadata, escapedName, iso8601::format(contents.startDate), escapedName);

    for (const auto& [t, latitude] : latitudes) {
        const auto longitude = lookUp(longitudeTable, t);
        if (!longitude) continue;
        fmt::format_to(sink, kPointStart, double(latitude), double(*longitude));
        if (const auto altitude = lookUp(altitudeTable, t)) fmt::format_to(sink, kElevation, double(*altitude));
        fmt::format_to(sink, kTime, iso8601::format(dateAfter(contents.startDate, t)));
        if (const auto speed = lookUp(speedTable, t)) {
            out += kExtensionsStart;
            fmt::format_to(sink, kSpeedElement, double(*speed / kKilometersPerHourPerMeterPerSecond));
            // An engine speed that is not finite has no integer to write.
            if (const auto rpm = lookUp(engineSpeedTable, t)) {
                if (const auto whole = exporttext::truncatedInteger(*rpm)) fmt::format_to(sink, kRPMElement, *whole);
            }
            out += kExtensionsEnd;
        }
        out += kPointEnd;
    }
    out += kDocumentEnd;
    return out;
}

std::vector<TrackPoint> trackPoints(std::string_view text) {
    std::vector<TrackPoint> points;
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = text.find(kPointOpen, from);
        if (open == std::string_view::npos) break;
        const std::size_t tagStart = open + kPointOpen.size();
        const std::size_t tagEnd = text.find('>', tagStart);
        if (tagEnd == std::string_view::npos) break;
        const auto found = coordinates(text.substr(tagStart, tagEnd - tagStart));
        if (!found) {
            // Every "<trkpt" before this ">" shares the same tag end, so none of them matches.
            from = tagEnd + 1;
            continue;
        }
        const std::size_t bodyStart = tagEnd + 1;
        const std::size_t close = text.find(kPointClose, bodyStart);
        if (close == std::string_view::npos) break;
        if (auto point = pointOf(found->first, found->second, text.substr(bodyStart, close - bodyStart))) {
            points.push_back(*point);
        }
        from = close + kPointClose.size();
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const TrackPoint& a, const TrackPoint& b) { return a.date < b.date; });
    return points;
}

TelemetryFile::Contents merge(const TelemetryFile::Contents& contents, std::span<const TrackPoint> track,
                              double tolerance, double offset) {
    if (track.empty() || contents.records.empty()) return contents;

    std::vector<std::uint8_t> added;
    for (std::uint8_t id : {GPSChannel::latitude, GPSChannel::longitude, GPSChannel::altitude}) {
        const bool present = std::any_of(contents.channels.begin(), contents.channels.end(),
                                         [id](const TelemetryFile::Channel& c) { return c.pid == id; });
        if (!present) added.push_back(id);
    }

    TelemetryFile::Contents result{contents.channels, contents.startDate, {}};
    for (std::uint8_t id : added) result.channels.push_back({id, std::string(GPSChannel::name(id).value_or(""))});
    result.records.reserve(contents.records.size());

    std::vector<double> trackSeconds;
    trackSeconds.reserve(track.size());
    for (const TrackPoint& point : track) trackSeconds.push_back(secondsSince1970(point.date));

    const double start = secondsSince1970(contents.startDate);
    std::size_t cursor = 0;
    for (const auto& record : contents.records) {
        const double target = start + record.seconds() - offset;
        while (cursor + 1 < track.size() && trackSeconds[cursor + 1] <= target) ++cursor;
        std::size_t chosen = cursor;
        if (cursor + 1 < track.size() &&
            std::abs(trackSeconds[cursor + 1] - target) < std::abs(trackSeconds[cursor] - target)) {
            chosen = cursor + 1;
        }
        const bool near = std::abs(trackSeconds[chosen] - target) <= tolerance;
        const TrackPoint& point = track[chosen];

        TelemetryFile::Record merged{record.milliseconds, record.values};
        // Keeps the added columns aligned even for a record of the wrong length.
        merged.values.resize(contents.channels.size());
        for (std::uint8_t id : added) {
            std::optional<float> v;
            if (near && id == GPSChannel::latitude) v = narrowed(point.latitude);
            if (near && id == GPSChannel::longitude) v = narrowed(point.longitude);
            if (near && id == GPSChannel::altitude && point.altitude) v = narrowed(*point.altitude);
            merged.values.push_back(v);
        }
        result.records.push_back(std::move(merged));
    }
    return result;
}

} // namespace veq::GPXExporter
