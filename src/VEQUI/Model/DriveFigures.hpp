#pragma once

#include "VEQStore/Catalog/SessionCatalog.hpp"
#include "VEQStore/Telemetry/TelemetryFile.hpp"

#include <optional>

// A drive's figures as its own file gives them, for a drive whose file is all that can be
// trusted: one a crash cut short, or one whose writes failed.
namespace veq::DriveFigures {

// What a record that started at `recordStart` gets from its drive file (nothing when the file is
// missing or unreadable): the end of the file's last whole record, never before the record's
// start; the file's record count; distance, top speed and fuel from the file's speed, fuel-rate
// and air-flow values, fed in record order. The trouble-code count and the 0-100 time are left
// out: the file neither holds the codes nor tells where polling was paused.
SessionCatalog::Update fromFile(SessionRecord::Date recordStart, const std::optional<TelemetryFile::Contents>& drive);

} // namespace veq::DriveFigures
