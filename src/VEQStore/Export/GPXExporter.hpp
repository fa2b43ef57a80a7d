#pragma once

#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// The GPS part of a drive as a GPX 1.1 track, the track points of a GPX text, and the merge of
// such a track into a drive's position channels. Pure functions: no state, no clock.
namespace GPXExporter {

struct TrackPoint {
    std::chrono::system_clock::time_point date;
    double latitude = 0;  // degrees
    double longitude = 0; // degrees
    std::optional<double> altitude; // metres; empty when the point has no readable elevation

    bool operator==(const TrackPoint&) const = default;
};

// One track of the drive's latitude and longitude samples; nothing when the drive has no
// latitude or no longitude value at all.
std::optional<std::string> gpx(const TelemetryFile::Contents& contents, std::string_view name);

// The track points found, sorted by date (equal dates keep document order). Never fails:
// unreadable input gives no points. Runs in time linear in the text.
std::vector<TrackPoint> trackPoints(std::string_view gpxText);

// The drive with the latitude, longitude and altitude channels it lacks added, each record
// matched with the track point nearest in time (within `tolerance` seconds, after moving the
// records `offset` seconds earlier). The track must be in ascending date order.
TelemetryFile::Contents merge(const TelemetryFile::Contents& contents, std::span<const TrackPoint> track,
                              double tolerance, double offset);

} // namespace GPXExporter

} // namespace veq
