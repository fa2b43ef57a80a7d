#include "VEQStore/Export/HTMLExporter.hpp"

#include "VEQProtocol/GPSChannel.hpp"
#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQStore/Export/LocalTime.hpp"
#include "VEQStore/Export/ExportText.hpp"

#include <fmt/format.h>

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace veq::HTMLExporter {

namespace {

constexpr std::string_view kHead =
    "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
constexpr std::string_view kAfterTitle = "</title>\n<style>\n";

constexpr std::string_view kStyleSheet[] = {
    ":root { color-scheme: dark; }",
    "body { margin: 0; padding: 24px; background: #0B0E13; color: #E8ECF1;",
    "       font: 14px/1.5 -apple-system, \"Segoe UI\", Roboto, sans-serif; }",
    "h1 { font-size: 20px; letter-spacing: 2px; margin: 0 0 4px; }",
    ".meta { color: #8B95A3; font-size: 12px; margin-bottom: 20px; }",
    ".card { background: #141922; border: 1px solid #232B38; border-radius: 12px;",
    "        padding: 16px; margin-bottom: 14px; }",
    ".card h2 { font-size: 13px; margin: 0 0 2px; color: #E8ECF1; }",
    ".card .sub { color: #8B95A3; font-size: 11px; margin-bottom: 8px; }",
    "svg { width: 100%; height: 120px; display: block; }",
    "table { width: 100%; border-collapse: collapse; font-size: 12px; }",
    "th, td { text-align: right; padding: 6px 10px; border-bottom: 1px solid #232B38; }",
    "th { color: #8B95A3; font-weight: 600; text-transform: uppercase;",
    "     font-size: 10px; letter-spacing: 1px; }",
    "th:first-child, td:first-child { text-align: left; }",
    ".gps { color: #58B7FF; }",
    ".accent { color: #00E5FF; }",
    "footer { color: #5A6472; font-size: 10px; margin-top: 20px; }",
    "@media print { body { background: #fff; color: #111; } }",
};

constexpr std::string_view kBeforeHeading = "</style>\n</head>\n<body>\n<h1>";
constexpr std::string_view kMetaStart = "</h1>\n<p class=\"meta\">Début : ";
constexpr std::string_view kMetaDuration = "\n · Durée : ";
constexpr std::string_view kMetaChannels = "\n · ";
constexpr std::string_view kMetaRecords = " canaux · ";
constexpr std::string_view kMetaEnd = " lignes</p>\n";
constexpr std::string_view kSummaryStart =
    "<div class=\"card\">\n<h2>Récapitulatif</h2>\n<table>\n"
    "<tr><th>Canal</th><th>Échantillons</th><th>Min</th><th>Moyenne</th><th>Max</th><th>Dernière</th></tr>\n";
constexpr std::string_view kEnd =
    "</table>\n</div>\n<footer>Généré par Oskavel Car — données locales, aucun envoi réseau.\n"
    "L'heure de référence est celle de l'ordinateur : l'OBD-II ne publie pas d'horloge.</footer>\n"
    "</body>\n</html>\n";

constexpr std::string_view kCardStart = "<div class=\"card\">\n<h2>";
constexpr std::string_view kGPSSource = " <span class=\"gps\">· source externe, pas OBD</span>";
constexpr std::string_view kCardEnd = "\n</div>\n";
constexpr auto kRowFormat =
    "<tr><td{}>{}</td><td>{}</td><td>{}</td><td>{}</td><td>{}</td><td class=\"accent\">{}</td></tr>\n";

// The start date as "9 juillet 2026 à 14:05:07", in the system's zone.
constexpr auto kStartDateFormat = "{} {} {:04} à {:02}:{:02}:{:02}";
constexpr std::string_view kFrenchMonths[] = {"janvier", "février", "mars",      "avril",   "mai",      "juin",
                                              "juillet", "août",    "septembre", "octobre", "novembre", "décembre"};

// Chart geometry: an 800 x 120 box, drawn from x 6 to 794 and from y 114 (minimum) to 6.
constexpr std::string_view kEmptyChart = "<svg viewBox=\"0 0 800 120\"></svg>";
constexpr std::string_view kChartStart = "<svg viewBox=\"0 0 800 120\" preserveAspectRatio=\"none\" role=\"img\">\n<path d=\"";
constexpr std::string_view kChartStroke = "\" fill=\"none\" stroke=\"";
constexpr std::string_view kChartEnd = "\" stroke-width=\"1.5\"/>\n</svg>";
constexpr std::string_view kGPSColour = "#58B7FF";
constexpr std::string_view kAccentColour = "#00E5FF";
constexpr double kChartLeft = 6;
constexpr double kChartWidth = 788;
constexpr double kChartBottom = 114;
constexpr double kChartHeight = 108;
constexpr double kMinimumSpan = 0.0001;

std::string startDateText(TelemetryFile::Date date) {
    const LocalDateTime local = TimeZone::current().localDateTime(date);
    return fmt::format(kStartDateFormat, local.day, kFrenchMonths[(local.month + 11) % 12], local.year, local.hour,
                       local.minute, local.second);
}

// Full Unicode upper case, independent of any locale ("ß" becomes "SS", "é" becomes "É").
std::string upperCased(std::string_view text) {
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    unicode.toUpper(icu::Locale::getRoot());
    std::string out;
    unicode.toUTF8String(out);
    return out;
}

struct Figures {
    float minimum = 0;
    float maximum = 0;
    float mean = 0;
    float last = 0;
    std::size_t count = 0;
};

Figures figuresOf(std::span<const std::pair<double, float>> series) {
    Figures f{series.front().second, series.front().second, 0, series.back().second, series.size()};
    // Summed in double: in single precision a long drive's sum loses the values' last digits
    // and the mean drifts below a constant value.
    double sum = 0;
    for (const auto& [t, v] : series) {
        f.minimum = std::min(f.minimum, v);
        f.maximum = std::max(f.maximum, v);
        sum += static_cast<double>(v);
    }
    f.mean = static_cast<float>(sum / static_cast<double>(series.size()));
    return f;
}

std::string unitOf(std::uint8_t channel) {
    if (const auto gpsUnit = GPSChannel::unit(channel)) return std::string(*gpsUnit);
    if (const PIDDefinition* definition = PIDCatalog::definition(channel)) return definition->unit.metricSymbol;
    return {};
}

std::string card(const TelemetryFile::Channel& channel, std::span<const std::pair<double, float>> series,
                 const Figures& f, bool gps, double driveDuration) {
    std::string out(kCardStart);
    out += exporttext::escapedMarkup(channel.name);
    if (gps) out += kGPSSource;
    out += "</h2>\n<p class=\"sub\">min " + number(f.minimum) + " · moy " + number(f.mean) + " · max " + number(f.maximum);
    if (const std::string unit = unitOf(channel.pid); !unit.empty()) out += " " + exporttext::escapedMarkup(unit);
    out += fmt::format(" · {} échantillons</p>\n", f.count);
    out += chart(series, driveDuration, gps);
    out += kCardEnd;
    return out;
}

std::string row(const TelemetryFile::Channel& channel, const Figures& f, bool gps) {
    return fmt::format(kRowFormat, gps ? " class=\"gps\"" : "", exporttext::escapedMarkup(channel.name), f.count,
                       number(f.minimum), number(f.mean), number(f.maximum), number(f.last));
}

} // namespace

std::string number(float value) {
    const double v = value;
    // Not a number, infinite or 2^63 and beyond: no integer holds it, so the one-decimal form.
    if (!(std::abs(v) >= 100) || !std::isfinite(v) || std::abs(v) >= 9223372036854775808.0) {
        return fmt::format("{:.1f}", v);
    }
    return fmt::format("{}", *exporttext::roundedInteger(v));
}

std::string duration(double seconds) {
    std::int64_t s = 0;
    if (const auto whole = exporttext::truncatedInteger(seconds)) {
        s = *whole;
    } else if (seconds > 0) {
        s = std::numeric_limits<std::int64_t>::max();
    } else if (seconds < 0) {
        s = std::numeric_limits<std::int64_t>::min();
    }
    if (s < 3600) return fmt::format("{}min {:02}s", s / 60, s % 60);
    return fmt::format("{}h {:02}min {:02}s", s / 3600, (s % 3600) / 60, s % 60);
}

std::string chart(std::span<const std::pair<double, float>> series, double duration, bool gps) {
    if (series.size() < 2 || !(duration > 0)) return std::string(kEmptyChart);

    double lo = series.front().second;
    double hi = lo;
    for (const auto& [t, v] : series) {
        lo = std::min(lo, double(v));
        hi = std::max(hi, double(v));
    }
    const double span = std::max(hi - lo, kMinimumSpan);

    const std::size_t count = std::min(series.size(), maxChartPoints);
    std::vector<std::optional<double>> buckets(count);
    for (const auto& [t, v] : series) {
        // Capped before converting: records need not be in time order, so t may pass the duration.
        const double position = std::floor(t / duration * static_cast<double>(count));
        const std::size_t index = !(position > 0) ? 0
                                  : position >= static_cast<double>(count - 1) ? count - 1
                                                                               : static_cast<std::size_t>(position);
        if (!buckets[index] || double(v) > *buckets[index]) buckets[index] = v;
    }

    std::string out(kChartStart);
    double carried = lo;
    for (std::size_t i = 0; i < count; ++i) {
        const double value = buckets[i].value_or(carried);
        carried = value;
        const double x = static_cast<double>(i) / static_cast<double>(count - 1) * kChartWidth + kChartLeft;
        const double y = kChartBottom - (value - lo) / span * kChartHeight;
        out += fmt::format("{}{:.1f} {:.1f} ", i == 0 ? 'M' : 'L', x, y);
    }
    out += kChartStroke;
    out += gps ? kGPSColour : kAccentColour;
    out += kChartEnd;
    return out;
}

std::string page(const TelemetryFile::Contents& contents, std::string_view title) {
    const std::string escapedTitle = exporttext::escapedMarkup(title);

    std::string out(kHead);
    out += escapedTitle;
    out += kAfterTitle;
    for (std::string_view line : kStyleSheet) {
        out += line;
        out.push_back('\n');
    }
    out += kBeforeHeading;
    out += upperCased(escapedTitle);
    out += kMetaStart;
    out += startDateText(contents.startDate);
    out += kMetaDuration;
    out += duration(contents.duration());
    out += kMetaChannels;
    out += fmt::format("{}{}{}", contents.channels.size(), kMetaRecords, contents.records.size());
    out += kMetaEnd;

    struct Shown {
        const TelemetryFile::Channel* channel;
        Figures figures;
        bool gps;
    };
    std::vector<Shown> shown;
    const double driveDuration = contents.duration();
    for (const auto& channel : contents.channels) {
        const auto series = contents.series(channel.pid);
        if (series.empty()) continue;
        const bool gps = GPSChannel::isGPS(channel.pid);
        const Figures figures = figuresOf(series);
        out += card(channel, series, figures, gps, driveDuration);
        shown.push_back({&channel, figures, gps});
    }

    out += kSummaryStart;
    for (const Shown& s : shown) out += row(*s.channel, s.figures, s.gps);
    out += kEnd;
    return out;
}

} // namespace veq::HTMLExporter
