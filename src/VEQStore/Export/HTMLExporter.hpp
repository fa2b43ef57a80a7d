#pragma once

#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace veq {

// A drive as one self-contained French HTML page: heading, drive facts, one card per channel
// with its figures and an inline SVG chart, a summary table and a footer. No script, image,
// external style sheet or network access. Pure functions of their arguments.
namespace HTMLExporter {

// A chart draws at most this many points, so the page grows with the channels, not the drive.
inline constexpr std::size_t maxChartPoints = 400;

std::string page(const TelemetryFile::Contents& contents, std::string_view title);

// One channel's samples (seconds, value) over a drive of `duration` seconds, as an SVG element.
std::string chart(std::span<const std::pair<double, float>> series, double duration, bool gps);

// One decimal below 100 in magnitude, else the nearest integer (halves away from zero).
std::string number(float value);

// "4min 05s", or "1h 02min 05s" from an hour on.
std::string duration(double seconds);

} // namespace HTMLExporter

} // namespace veq
