#pragma once

#include "VEQProtocol/MeasurementUnit.hpp"
#include "VEQUI/Model/GaugeScale.hpp"

#include <QColor>
#include <QString>

#include <optional>

namespace veq {
struct PIDDefinition;
}

namespace veq::GaugeReadout {

// A measured value as a dial shows it: one decimal below 100 in magnitude ("12.3", "-5.0"),
// otherwise the nearest whole number, halves away from zero ("1235", "-250"). A value that is not
// finite, or whose whole number lies outside the 64-bit range, reads "—".
QString formatted(double value);

// The same whole-number text for a numeral: nearest integer, halves away from zero; "—" as above.
QString wholeNumber(double value);

// A parameter's statistic (current, minimum, mean, maximum) as the lists show it: "—" without a
// value or a catalogue definition; converted in imperial; then as formatted() writes it.
QString statisticText(std::optional<double> value, const PIDDefinition* definition, UnitSystem system);

// The colour of the vector dial's arc and of the unit: grey without a value, then the critical
// and warning zones, amber at night, else the accent.
QColor zoneColor(std::optional<double> value, const GaugeScale& scale, bool night);

} // namespace veq::GaugeReadout
