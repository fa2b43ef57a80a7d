#include "VEQUI/Views/Gauges/GaugeReadout.hpp"

#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQUI/Model/VEQTheme.hpp"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>

namespace veq::GaugeReadout {

namespace {

const QString absent = QStringLiteral("—");

// 2^63: the first whole number past the 64-bit range, exactly representable as a double.
constexpr double twoToThe63 = 9223372036854775808.0;

} // namespace

QString wholeNumber(double value) {
    const double rounded = std::round(value);
    // Converting a value outside the integer range has no defined result.
    if (!std::isfinite(rounded) || rounded < -twoToThe63 || rounded >= twoToThe63) return absent;
    return QString::fromStdString(fmt::format("{}", static_cast<std::int64_t>(rounded)));
}

QString formatted(double value) {
    if (!std::isfinite(value)) return absent;
    if (std::abs(value) < 100) return QString::fromStdString(fmt::format("{:.1f}", value));
    return wholeNumber(value);
}

QString statisticText(std::optional<double> value, const PIDDefinition* definition, UnitSystem system) {
    if (!value || definition == nullptr) return absent;
    return formatted(definition->unit.value(*value, system));
}

QColor zoneColor(std::optional<double> value, const GaugeScale& scale, bool night) {
    if (!value) return VEQ::textSecondary();
    const QColor zone = scale.color(*value);
    if (night && zone == VEQ::accent()) return VEQ::warning();
    return zone;
}

} // namespace veq::GaugeReadout
