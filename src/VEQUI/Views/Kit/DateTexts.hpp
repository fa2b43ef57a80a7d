#pragma once

#include <QString>

#include <chrono>

namespace veq::DateTexts {

// A date as the lists show it in the user's locale and time zone: the abbreviated date, then the
// time in hours and minutes, with the seconds when asked.
QString listDate(std::chrono::system_clock::time_point date, bool withSeconds);

// The time of day of a date in the user's time zone: "09:45:12".
QString clockTime(std::chrono::system_clock::time_point date);

// A duration as a clock shows it: "2:05" under an hour, "1:02:05" from an hour on.
QString clockDuration(double seconds);

} // namespace veq::DateTexts
