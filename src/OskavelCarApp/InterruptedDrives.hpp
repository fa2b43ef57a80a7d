#pragma once

#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <optional>

// Drives that a crash cut short. A drive gets its end and figures when it is synchronised (a
// disconnection, a lost link, the window closing); a killed process reaches none of these, and
// leaves a record that is not under way and never will be, while its file holds what was
// recorded up to the last flush.
namespace veq::InterruptedDrives {

// What a record that started at `recordStart` gets from its drive file (nothing when the file is
// missing or unreadable): the end of the file's last whole record, never before the record's
// start; the file's record count; distance, top speed and fuel from the file's speed, fuel-rate
// and air-flow values, fed in record order. The trouble-code count and the 0-100 time are left
// out: the file neither holds the codes nor tells where polling was paused.
SessionCatalog::Update completion(SessionRecord::Date recordStart, const std::optional<TelemetryFile::Contents>& drive);

// Completes and saves every record of `catalog` that has no end date. Only for the one instance
// that holds the data folder: there, no such record is a drive under way.
void completeAll(SessionCatalog& catalog);

} // namespace veq::InterruptedDrives
