#pragma once

#include <QString>

#include <chrono>
#include <cstddef>

// The texts of the event recorder's marking control, wherever it is shown (cockpit, capture).
namespace veq::LogMarkTexts {

using Date = std::chrono::system_clock::time_point;

// "mm:ss" of the whole seconds from `since` to `now` (0 when negative); minutes are not capped.
QString elapsedLabel(Date since, Date now);
// The running log's dot: dimmed in the second half of each second since the start.
double runningDotOpacity(Date since, Date tick);
// The last save's line: "✓ 120 lignes · 31 s".
QString savedLogText(std::size_t records, double seconds);

} // namespace veq::LogMarkTexts
