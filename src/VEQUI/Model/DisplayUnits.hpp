#pragma once

#include "VEQProtocol/MeasurementUnit.hpp"
#include "VEQUI/Model/GaugeScale.hpp"

#include <QString>

#include <cstdint>
#include <optional>

// A parameter's values as the screens show them: in the unit of the user's unit system, beside
// that unit's symbol. The store keeps metric values; only what is shown is converted.
namespace veq::DisplayUnits {

// The parameter's unit symbol in that unit system; "" without a catalogue definition.
QString unitSymbol(std::uint8_t pid, UnitSystem system);
// A metric value in the unit unitSymbol() names: converted in imperial, unchanged otherwise.
double inDisplayUnit(std::uint8_t pid, double metric, UnitSystem system);
// The same for a value that may be absent.
std::optional<double> inDisplayUnit(std::uint8_t pid, std::optional<double> metric, UnitSystem system);
// A scale in that unit: both ends and both limits converted, divisions kept.
GaugeScale inDisplayUnit(std::uint8_t pid, const GaugeScale& metric, UnitSystem system);

} // namespace veq::DisplayUnits
