#include "VEQUI/Model/DisplayUnits.hpp"

#include "VEQProtocol/PIDCatalog.hpp"

#include <optional>

namespace veq::DisplayUnits {

namespace {

std::optional<double> converted(std::uint8_t pid, const std::optional<double>& metric, UnitSystem system) {
    if (!metric) return std::nullopt;
    return inDisplayUnit(pid, *metric, system);
}

} // namespace

QString unitSymbol(std::uint8_t pid, UnitSystem system) {
    const auto* definition = PIDCatalog::definition(pid);
    return definition ? QString::fromStdString(definition->unit.symbol(system)) : QString();
}

double inDisplayUnit(std::uint8_t pid, double metric, UnitSystem system) {
    const auto* definition = PIDCatalog::definition(pid);
    return definition ? definition->unit.value(metric, system) : metric;
}

GaugeScale inDisplayUnit(std::uint8_t pid, const GaugeScale& metric, UnitSystem system) {
    GaugeScale scale = metric;
    scale.min = inDisplayUnit(pid, metric.min, system);
    scale.max = inDisplayUnit(pid, metric.max, system);
    scale.warn = converted(pid, metric.warn, system);
    scale.critical = converted(pid, metric.critical, system);
    return scale;
}

} // namespace veq::DisplayUnits
