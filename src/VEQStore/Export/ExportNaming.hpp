#pragma once

#include "VEQStore/Export/LocalTime.hpp"

#include <chrono>
#include <string>
#include <string_view>

// Export file names in the style of action-camera files, so that a drive's files sort and pair
// with the videos of the same moment: "DJI_" + local YYYYMMDDHHMMSS [+ range suffix] [+ extension].
namespace veq::ExportNaming {

using Date = std::chrono::system_clock::time_point;

// "DJI_20240501083005" for 1 May 2024, 08:30:05 in `timeZone`.
std::string dji(Date date, const TimeZone& timeZone);
// The base name, ".", and the extension as given.
std::string dji(Date date, std::string_view extension, const TimeZone& timeZone);
// "-12s-96s" for an excerpt from 12.4 s to 95.6 s (each time rounded to nearest, ties to even).
std::string rangeSuffix(double from, double to);

} // namespace veq::ExportNaming
