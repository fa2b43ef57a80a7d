#pragma once

#include "VEQProtocol/DTCDatabase.hpp"

#include <QColor>

namespace veq {

// The colour that stands for a severity: low is the success colour, medium the warning, high
// the fault colour.
QColor severityColor(DTCInfo::Severity severity);

} // namespace veq
