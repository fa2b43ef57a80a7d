#pragma once

#include "VEQProtocol/MeasurementUnit.hpp"
#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"

#include <QString>

#include <cstdint>
#include <optional>

// One parameter on a circular gauge, as every screen that draws parameters on dials shows it: its
// caption, and its value and scale in the unit of the user's unit system.
namespace veq::ParameterGauge {

// The cockpit's short caption of a parameter: its own table, else the catalogue's name, else "PID".
QString shortName(std::uint8_t pid);
// The focus gauge's caption: a shorter table of its own, then the same fallbacks.
QString focusShortName(std::uint8_t pid);

// A dial for `pid`: `calibrated` (metric, the user's calibration applied; absent without a
// reading), `metricScale` and `peak` converted into the unit of `system`, beside that unit's
// symbol; `big` off, value shown.
CircularGauge make(std::uint8_t pid, std::optional<double> calibrated, const GaugeScale& metricScale, UnitSystem system,
                   bool night, const QString& title, std::optional<double> peak = std::nullopt);

} // namespace veq::ParameterGauge
