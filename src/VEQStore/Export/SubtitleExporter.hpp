#pragma once

#include "VEQStore/Telemetry/TelemetryFile.hpp"
#include "VEQSupport/Enum.hpp"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// A drive as SubRip subtitles to lay over camera video: the drive is resampled into frames at a
// chosen rate and each frame becomes one block, in the camera-style bracketed layout or in two
// or three readable lines. Synchronous, no failure: missing values show as "N/A" or leave
// their tag out, and an empty drive gives empty text.
namespace SubtitleExporter {

enum class SpeedUnit { metersPerSecond, kilometersPerHour, milesPerHour };

std::string_view symbol(SpeedUnit unit);
// Multiplies a value in km/h.
double factorFromKilometersPerHour(SpeedUnit unit);

enum class Layout { dji, readable };

std::string_view label(Layout layout);

struct Options {
    double offset = 0;  // seconds added to every subtitle time
    double rate = 1.0;  // frames per second; 0 or less (or NaN) gives one frame per record
    SpeedUnit speedUnit = SpeedUnit::metersPerSecond; // readable layout only
    bool fahrenheit = false;                          // readable layout only
    bool boostRelative = true;                        // readable layout only
    double baroKPa = 101.3;
    bool includeGPS = false; // readable layout only
    Layout layout = Layout::dji;

    // Miles per hour and Fahrenheit together. Clearing it goes back to metres per second.
    bool imperial() const { return speedUnit == SpeedUnit::milesPerHour && fahrenheit; }
    void setImperial(bool on);

    static Options defaultOptions() { return {}; }

    bool operator==(const Options&) const = default;
};

// Bounds of the resampling. A frame per millisecond is the finest the drive's times can tell
// apart, and an infinite rate would never advance the frame time. A long drive at a high rate
// has its rate lowered so that the subtitles still cover the whole drive in at most maxFrames
// blocks (about 18.5 hours at 29.97 frames per second).
inline constexpr double maxRate = 1000.0;
inline constexpr std::size_t maxFrames = 2'000'000;

// The whole SRT text.
std::string srt(const TelemetryFile::Contents& contents, const Options& options);

namespace detail {

// One subtitle frame: its time from the drive's start and the record whose values it shows.
struct Frame {
    double seconds = 0;
    std::size_t record = 0;

    bool operator==(const Frame&) const = default;
};

// Frames from 0 s every 1 / rate seconds (the time accumulated by repeated addition) up to the
// last record's time, each taking the record nearest in time (a tie takes the earlier); one
// frame per record when the rate is 0 or less or not a number.
std::vector<Frame> resample(const TelemetryFile::Contents& contents, double rate);

} // namespace detail

} // namespace SubtitleExporter

template <>
struct EnumTraits<SubtitleExporter::SpeedUnit> {
    using Raw = std::string_view;
    static constexpr std::array allCases{SubtitleExporter::SpeedUnit::metersPerSecond,
                                         SubtitleExporter::SpeedUnit::kilometersPerHour,
                                         SubtitleExporter::SpeedUnit::milesPerHour};
    static constexpr Raw raw(SubtitleExporter::SpeedUnit u) {
        switch (u) {
        case SubtitleExporter::SpeedUnit::metersPerSecond: return "metersPerSecond";
        case SubtitleExporter::SpeedUnit::kilometersPerHour: return "kilometersPerHour";
        case SubtitleExporter::SpeedUnit::milesPerHour: return "milesPerHour";
        }
        return {};
    }
};

template <>
struct EnumTraits<SubtitleExporter::Layout> {
    using Raw = std::string_view;
    static constexpr std::array allCases{SubtitleExporter::Layout::dji, SubtitleExporter::Layout::readable};
    static constexpr Raw raw(SubtitleExporter::Layout l) {
        return l == SubtitleExporter::Layout::readable ? "readable" : "dji";
    }
};

} // namespace veq
