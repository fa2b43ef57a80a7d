#include "VEQUI/Model/DisplayUnits.hpp"

#include "VEQProtocol/PIDCatalog.hpp"

namespace veq::DisplayUnits {

QString unitSymbol(std::uint8_t pid, UnitSystem system) {
    const auto* definition = PIDCatalog::definition(pid);
    return definition ? QString::fromStdString(definition->unit.symbol(system)) : QString();
}

double inDisplayUnit(std::uint8_t pid, double metric, UnitSystem system) {
    const auto* definition = PIDCatalog::definition(pid);
    return definition ? definition->unit.value(metric, system) : metric;
}

std::optional<double> inDisplayUnit(std::uint8_t pid, std::optional<double> metric, UnitSystem system) {
    if (!metric) return std::nullopt;
    return inDisplayUnit(pid, *metric, system);
}

GaugeScale inDisplayUnit(std::uint8_t pid, const GaugeScale& metric, UnitSystem system) {
    GaugeScale scale = metric;
    scale.min = inDisplayUnit(pid, metric.min, system);
    scale.max = inDisplayUnit(pid, metric.max, system);
    scale.warn = inDisplayUnit(pid, metric.warn, system);
    scale.critical = inDisplayUnit(pid, metric.critical, system);
    return scale;
}

} // namespace veq::DisplayUnits
