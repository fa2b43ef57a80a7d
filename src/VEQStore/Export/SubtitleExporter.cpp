#include "VEQStore/Export/SubtitleExporter.hpp"

#include "VEQProtocol/ChronoChannel.hpp"
#include "VEQProtocol/DerivedChannel.hpp"
#include "VEQProtocol/GPSChannel.hpp"
#include "VEQProtocol/MeasurementUnit.hpp"
#include "VEQProtocol/SensorChannel.hpp"
#include "VEQProtocol/SyncChannel.hpp"
#include "VEQStore/Export/LocalTime.hpp"
#include "VEQStore/Telemetry/Milliseconds.hpp"
#include "VEQStore/Export/ExportText.hpp"
#include "VEQStore/Export/SRTDocument.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace veq::SubtitleExporter {

namespace {

// Mode 01 parameters read by the exporter; the pseudo-channels come from their registries.
constexpr std::uint8_t kCoolant = 0x05;
constexpr std::uint8_t kManifoldPressure = 0x0B;
constexpr std::uint8_t kEngineSpeed = 0x0C;
constexpr std::uint8_t kVehicleSpeed = 0x0D;
constexpr std::uint8_t kThrottle = 0x11;

// Text of the two layouts.
constexpr auto kBlockFormat = "{}\n{} --> {}\n{}\n\n";
constexpr auto kDJICounterLine = "<font size=\"28\">SrtCnt : {}, DiffTime : {}ms";
constexpr auto kDJIDateFormat = "{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03}"; // in the system's zone
constexpr std::string_view kDJIClosingTag = " </font>";
constexpr std::string_view kMissing = "N/A";

constexpr double kLimitSlack = 0.000000001;
constexpr double kLastFrameMinimum = 0.2;
constexpr float kKilometersPerHourPerMeterPerSecond = 3.6f;

using detail::Frame;

// Column of each channel identifier; a later channel with the same identifier wins.
using ColumnMap = std::array<std::optional<std::size_t>, 256>;

ColumnMap columnsOf(const TelemetryFile::Contents& contents) {
    ColumnMap columns;
    for (std::size_t i = 0; i < contents.channels.size(); ++i) columns[contents.channels[i].pid] = i;
    return columns;
}

// A frame's value of one channel, present only when its record has it.
struct FrameValues {
    const TelemetryFile::Record& record;
    const ColumnMap& columns;

    std::optional<float> operator[](std::uint8_t channel) const {
        const auto column = columns[channel];
        if (!column || *column >= record.values.size()) return std::nullopt;
        return record.values[*column];
    }
};

double recordSeconds(const TelemetryFile::Contents& contents, std::size_t i) {
    return contents.records[i].seconds();
}

// The rate actually used: at most maxRate, and low enough for maxFrames to span the drive.
double boundedRate(double rate, double limit) {
    const double bounded = std::min(rate, maxRate);
    const double framesAtRate = limit * bounded;
    if (framesAtRate <= static_cast<double>(maxFrames - 1)) return bounded;
    return static_cast<double>(maxFrames - 1) / limit;
}

// The altitude of the earliest frame that has one.
std::optional<float> altitudeReference(const TelemetryFile::Contents& contents, const ColumnMap& columns,
                                       const std::vector<Frame>& frames) {
    std::optional<float> reference;
    double at = 0;
    for (const Frame& frame : frames) {
        const auto altitude = FrameValues{contents.records[frame.record], columns}[GPSChannel::altitude];
        if (altitude && (!reference || frame.seconds < at)) {
            reference = altitude;
            at = frame.seconds;
        }
    }
    return reference;
}

// An integer for a value to round; "N/A" when it is not finite.
std::string integerText(std::optional<std::int64_t> value) {
    return value ? fmt::format("{}", *value) : std::string(kMissing);
}

// Readable-layout number: "N/A" when missing or not finite, never a minus sign on a zero.
std::string format(std::optional<double> value, int decimals) {
    if (!value || !std::isfinite(*value)) return std::string(kMissing);
    if (decimals <= 0) return integerText(exporttext::roundedInteger(*value));
    std::string text = fmt::format("{:.{}f}", *value, decimals);
    if (exporttext::readDouble(text) == 0.0) std::erase(text, '-');
    return text;
}

std::optional<double> widened(std::optional<float> v) {
    return v ? std::optional<double>(*v) : std::nullopt;
}

// What a camera-layout tag needs beyond its own value.
struct TagContext {
    std::optional<float> altitudeReference;
    double baroKPa = 0;
};

using TagWriter = std::string (*)(float value, const TagContext& context);

std::string latitudeTag(float v, const TagContext&) { return fmt::format("[latitude: {:.6f}]", double(v)); }
std::string longitudeTag(float v, const TagContext&) { return fmt::format("[longitude: {:.6f}]", double(v)); }
std::string altitudeTag(float v, const TagContext& c) {
    const float relative = v - c.altitudeReference.value_or(v);
    return fmt::format("[rel_alt: {:.3f} abs_alt: {:.3f}]", double(relative), double(v));
}
std::string speedTag(float v, const TagContext&) {
    return fmt::format("[speed: {:.1f}]", double(v / kKilometersPerHourPerMeterPerSecond));
}
std::string rpmTag(float v, const TagContext&) { return "[rpm: " + integerText(exporttext::roundedInteger(v)) + "]"; }
std::string throttleTag(float v, const TagContext&) { return fmt::format("[throttle: {:.1f}]", double(v)); }
std::string coolantTag(float v, const TagContext&) {
    return "[coolant: " + integerText(exporttext::roundedInteger(v)) + "]";
}
std::string boostTag(float v, const TagContext& c) {
    const double bar = (double(v) - c.baroKPa) / 100;
    return "[boost: " + (std::abs(bar) < 0.005 ? std::string("0.00") : fmt::format("{:.2f}", bar)) + "]";
}
std::string accelLongTag(float v, const TagContext&) { return fmt::format("[accel_long: {:.2f}]", double(v)); }
std::string accelLatTag(float v, const TagContext&) { return fmt::format("[accel_lat: {:.2f}]", double(v)); }
std::string gForceTag(float v, const TagContext&) { return fmt::format("[g_force: {:.2f}]", double(v)); }
std::string yawRateTag(float v, const TagContext&) { return fmt::format("[yaw_rate: {:.1f}]", double(v)); }
std::string compassTag(float v, const TagContext&) { return fmt::format("[compass: {:.1f}]", double(v)); }
std::string brakingTag(float v, const TagContext&) { return fmt::format("[braking: {:.2f}]", double(v)); }
std::string syncTag(float, const TagContext&) { return "[sync: 1]"; }
std::string elapsedTag(float v, const TagContext&) { return fmt::format("[elapsed: {:.3f}]", double(v)); }
std::string lapTag(float v, const TagContext&) { return "[lap: " + integerText(exporttext::roundedInteger(v)) + "]"; }
std::string lapTimeTag(float v, const TagContext&) { return fmt::format("[lap_time: {:.3f}]", double(v)); }
std::string lapMarkTag(float v, const TagContext&) {
    return "[lap_mark: " + integerText(exporttext::roundedInteger(v)) + "]";
}

// The camera layout's tags, in the order they are written; `fallback` stands in when the
// channel has no value (0: none).
struct DJITag {
    std::uint8_t channel;
    std::uint8_t fallback;
    TagWriter write;
};

constexpr DJITag kDJITags[] = {
    {GPSChannel::latitude,        0,                 latitudeTag},
    {GPSChannel::longitude,       0,                 longitudeTag},
    {GPSChannel::altitude,        0,                 altitudeTag},
    {kVehicleSpeed,               GPSChannel::speed, speedTag},
    {kEngineSpeed,                0,                 rpmTag},
    {kThrottle,                   0,                 throttleTag},
    {kCoolant,                    0,                 coolantTag},
    {kManifoldPressure,           0,                 boostTag},
    {SensorChannel::longitudinal, 0,                 accelLongTag},
    {SensorChannel::lateral,      0,                 accelLatTag},
    {SensorChannel::gForce,       0,                 gForceTag},
    {SensorChannel::yawRate,      0,                 yawRateTag},
    {SensorChannel::heading,      0,                 compassTag},
    {DerivedChannel::braking,     0,                 brakingTag},
    {SyncChannel::marker,         0,                 syncTag},
    {ChronoChannel::elapsed,      0,                 elapsedTag},
    {ChronoChannel::lap,          0,                 lapTag},
    {ChronoChannel::lapTime,      0,                 lapTimeTag},
    {ChronoChannel::mark,         0,                 lapMarkTag},
};

// The frame's date in the camera's form, milliseconds truncated.
std::string cameraDate(const TimeZone& zone, TelemetryFile::Date date) {
    const LocalDateTime local = zone.localDateTime(date);
    return fmt::format(kDJIDateFormat, local.year, local.month, local.day, local.hour, local.minute, local.second,
                       std::chrono::duration_cast<std::chrono::milliseconds>(local.subsecond).count());
}

std::string djiBlock(const FrameValues& values, std::size_t number, const std::string& diffMs,
                     const std::string& date, const TagContext& context) {
    std::string out = fmt::format(kDJICounterLine, number, diffMs);
    out.push_back('\n');
    out.append(date);
    out.push_back('\n');
    bool first = true;
    for (const DJITag& tag : kDJITags) {
        auto value = values[tag.channel];
        if (!value && tag.fallback != 0) value = values[tag.fallback];
        if (!value) continue;
        if (!first) out.push_back(' ');
        out.append(tag.write(*value, context));
        first = false;
    }
    out.append(kDJIClosingTag);
    return out;
}

std::string readableBlock(const FrameValues& values, const Options& options) {
    const auto speed = widened(values[kVehicleSpeed]);
    const auto coolant = widened(values[kCoolant]);
    const auto pressure = widened(values[kManifoldPressure]);

    const auto speedShown = speed ? std::optional(*speed * factorFromKilometersPerHour(options.speedUnit)) : std::nullopt;
    const int speedDecimals = options.speedUnit == SpeedUnit::metersPerSecond ? 1 : 0;
    const auto coolantShown =
        coolant && options.fahrenheit ? std::optional(units::celsiusToFahrenheit(*coolant)) : coolant;
    const auto boost = pressure ? std::optional(((options.boostRelative ? *pressure - options.baroKPa : *pressure)) / 100)
                                : std::nullopt;

    std::string out = "SPEED: " + format(speedShown, speedDecimals) + " " + std::string(symbol(options.speedUnit)) +
                      " | RPM: " + format(widened(values[kEngineSpeed]), 0) + " RPM" +
                      " | THROTTLE: " + format(widened(values[kThrottle]), 0) + "%";
    out += "\nCOOLANT: " + format(coolantShown, 0) + "\u00B0" + (options.fahrenheit ? "F" : "C") +
           " | BOOST: " + format(boost, 2) + " bar";

    const auto latitude = values[GPSChannel::latitude];
    const auto longitude = values[GPSChannel::longitude];
    if (options.includeGPS && latitude && longitude) {
        out += fmt::format("\nGPS: {:.5f}, {:.5f}", double(*latitude), double(*longitude));
        if (const auto altitude = values[GPSChannel::altitude]) out += " | ALT: " + format(double(*altitude), 0) + " m";
    }
    return out;
}

} // namespace

std::vector<Frame> detail::resample(const TelemetryFile::Contents& contents, double rate) {
    std::vector<Frame> frames;
    const auto& records = contents.records;
    if (records.empty()) return frames;
    if (!(rate > 0)) {
        frames.reserve(records.size());
        for (std::size_t i = 0; i < records.size(); ++i) frames.push_back({recordSeconds(contents, i), i});
        return frames;
    }

    const double limit = records.back().seconds() + kLimitSlack;
    const double step = 1.0 / boundedRate(rate, limit);
    frames.reserve(static_cast<std::size_t>(std::min(limit / step + 2, static_cast<double>(maxFrames))));
    double t = 0;
    std::size_t cursor = 0;
    // The size test is a backstop only: the bounded rate already keeps the count below it.
    while (frames.size() < maxFrames) {
        std::size_t chosen = records.size() - 1;
        for (std::size_t j = cursor + 1; j < records.size(); ++j) {
            if (recordSeconds(contents, j) > t) {
                const bool nextIsNearer =
                    std::abs(recordSeconds(contents, j) - t) < std::abs(recordSeconds(contents, j - 1) - t);
                chosen = nextIsNearer ? j : j - 1;
                cursor = j - 1;
                break;
            }
        }
        frames.push_back({t, chosen});
        t += step; // repeated addition, not i * step: it fixes every frame's time
        if (t > limit) break;
    }
    return frames;
}

std::string_view symbol(SpeedUnit unit) {
    switch (unit) {
    case SpeedUnit::metersPerSecond: return "m/s";
    case SpeedUnit::kilometersPerHour: return "km/h";
    case SpeedUnit::milesPerHour: return "mph";
    }
    return {};
}

double factorFromKilometersPerHour(SpeedUnit unit) {
    switch (unit) {
    case SpeedUnit::metersPerSecond: return 0.2777777777777778;
    case SpeedUnit::kilometersPerHour: return 1.0;
    case SpeedUnit::milesPerHour: return 0.621371;
    }
    return 1.0;
}

std::string_view label(Layout layout) {
    return layout == Layout::readable ? "Lisible (2 lignes)" : "DJI (télémétrie)";
}

void Options::setImperial(bool on) {
    speedUnit = on ? SpeedUnit::milesPerHour : SpeedUnit::metersPerSecond;
    fahrenheit = on;
}

std::string srt(const TelemetryFile::Contents& contents, const Options& options) {
    const std::vector<Frame> frames = detail::resample(contents, options.rate);
    if (frames.empty()) return {};

    const ColumnMap columns = columnsOf(contents);
    const bool dji = options.layout == Layout::dji;
    const TimeZone zone = TimeZone::current();
    const TagContext context{dji ? altitudeReference(contents, columns, frames) : std::nullopt, options.baroKPa};

    std::string out;
    out.reserve(frames.size() * (dji ? 160 : 110));
    auto sink = std::back_inserter(out);
    std::size_t number = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const double t = frames[i].seconds;
        double next = 0;
        if (i + 1 < frames.size()) {
            next = frames[i + 1].seconds;
        } else {
            const double previous = frames.size() == 1 ? t - 1 : frames[i - 1].seconds;
            next = t + std::max(t - previous, kLastFrameMinimum);
        }
        const double start = t + options.offset;
        const double end = next + options.offset;
        if (end <= 0) continue;
        ++number;

        const FrameValues values{contents.records[frames[i].record], columns};
        std::string body;
        if (dji) {
            const std::string diffMs = integerText(exporttext::roundedInteger((end - start) * 1000));
            body = djiBlock(values, number, diffMs, cameraDate(zone, dateAfter(contents.startDate, t)), context);
        } else {
            body = readableBlock(values, options);
        }
        fmt::format_to(sink, kBlockFormat, number, SRTDocument::timecode(start), SRTDocument::timecode(end), body);
    }
    return out;
}

} // namespace veq::SubtitleExporter
