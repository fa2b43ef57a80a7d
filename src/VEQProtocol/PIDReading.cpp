#include "VEQProtocol/PIDReading.hpp"

namespace veq {

std::optional<double> PIDReading::scalar() const {
    if (const auto* m = as<Measurement>()) return m->value;
    return std::nullopt;
}

std::optional<MeasurementUnit> PIDReading::unit() const {
    if (const auto* m = as<Measurement>()) return m->unit;
    if (const auto* m = as<Measurements>()) return m->unit;
    return std::nullopt;
}

} // namespace veq
