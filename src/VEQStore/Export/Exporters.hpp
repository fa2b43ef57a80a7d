#pragma once

#include "VEQStore/Export/LocalTime.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// A drive turned into the files other tools read. One format per source file:
// CSVExport.cpp, JSONExport.cpp, MDF4Export.cpp.
namespace veq::TelemetryExporter {

// Semicolon-separated text, a line feed after every line: "temps_s;" and the channel names, then
// one line per record with the time and the values to three decimals (an empty field for a
// missing value). Store it as UTF-8 without a byte-order mark. Never fails.
std::string csv(const TelemetryFile::Contents& contents);

// The drive as an indented UTF-8 JSON document with sorted keys: channels, samples
// ([seconds, value or null, ...] per record) and the start date. Throws veq::Error when a value
// is not finite, which JSON cannot hold; nothing is returned then.
std::vector<std::uint8_t> json(const TelemetryFile::Contents& contents);

// An ASAM MDF 4.10 file: one data group, a 64-bit float master time channel and one 32-bit float
// channel per drive channel, holes of up to 3 s filled with the last value and NaN beyond.
// The header's time-zone fields follow `timeZone` at the drive's start date. Never fails.
std::vector<std::uint8_t> mdf4(const TelemetryFile::Contents& contents, const TimeZone& timeZone = TimeZone::current());

// The MDF time stamp of a date: nanoseconds since 1970 UTC, 0 for earlier dates.
std::uint64_t nanoseconds(std::chrono::system_clock::time_point date);

} // namespace veq::TelemetryExporter
