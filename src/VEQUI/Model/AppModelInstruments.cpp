// What the instruments show: scales per parameter, calibrated values, tank and fuel, the car's
// name and the accent colour.
#include "VEQUI/Model/AppModel.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQVehicle/VehicleProfileCatalog.hpp"

#include <cmath>
#include <limits>

namespace veq {

namespace {

constexpr std::uint8_t coolantPID = 0x05;
constexpr std::uint8_t engineSpeedPID = 0x0C;
constexpr std::uint8_t fuelLevelPID = 0x2F;
constexpr std::uint8_t oilPID = 0x5C;

bool finiteOrAbsent(const std::optional<double>& v) { return !v || std::isfinite(*v); }

// The dials divide by the range and by the tick count: a profile's scale that would break
// either is not used.
bool usable(const GaugeScale& scale) {
    return std::isfinite(scale.min) && std::isfinite(scale.max) && scale.min < scale.max &&
           finiteOrAbsent(scale.warn) && finiteOrAbsent(scale.critical) && scale.majorTicks >= 1;
}

std::optional<GaugeScale> engineSpeedScale(const VehicleProfile& profile) {
    if (!profile.maxRPM) return std::nullopt;
    const double max = *profile.maxRPM;
    const double ticks = std::round(max / 1000.0); // halves away from zero
    if (!(ticks >= 1 && ticks <= std::numeric_limits<int>::max())) return std::nullopt;
    const auto& redline = profile.redlineRPM;
    return GaugeScale{0, max, redline ? *redline - 400 : 0.86 * max, redline ? *redline : 0.93 * max,
                      static_cast<int>(ticks)};
}

std::optional<GaugeScale> temperatureScale(const VehicleProfile& profile, std::string_view key,
                                           const GaugeScale& fallback) {
    if (!profile.gaugeRanges) return std::nullopt;
    const auto it = profile.gaugeRanges->find(std::string(key));
    if (it == profile.gaugeRanges->end()) return std::nullopt;
    const GaugeRange& range = it->second;
    return GaugeScale{range.min, range.max.value_or(fallback.max), range.warn, range.critical, fallback.majorTicks};
}

} // namespace

GaugeScale AppModel::scale(std::uint8_t pid) const {
    const GaugeScale fallback = GaugeScale::defaultFor(pid);
    if (!selectedProfile_) return fallback;
    std::optional<GaugeScale> adjusted;
    switch (pid) {
    case engineSpeedPID: adjusted = engineSpeedScale(*selectedProfile_); break;
    case coolantPID: adjusted = temperatureScale(*selectedProfile_, "coolantTemp", fallback); break;
    case oilPID: adjusted = temperatureScale(*selectedProfile_, "oilTemp", fallback); break;
    default: break;
    }
    return adjusted && usable(*adjusted) ? *adjusted : fallback;
}

std::optional<double> AppModel::displayValue(std::uint8_t pid) const {
    const auto value = store_->value(pid);
    if (!value) return std::nullopt;
    return calibration_.apply(*value, pid);
}

std::optional<double> AppModel::effectiveTankCapacity() const {
    if (calibration_.tankCapacityL) return calibration_.tankCapacityL;
    if (selectedProfile_) return selectedProfile_->tankCapacityL;
    return std::nullopt;
}

std::optional<double> AppModel::fuelLiters() const {
    const auto level = store_->value(fuelLevelPID);
    const auto capacity = effectiveTankCapacity();
    if (!level || !capacity) return std::nullopt;
    return calibration_.fuelLevelFactor * *level / 100.0 * *capacity;
}

std::string AppModel::vehicleLabel() const {
    static constexpr std::string_view separator = " \u2014 ";
    if (selectedProfile_ && selectedProfile_->id != VehicleProfileCatalog::genericID) {
        return selectedProfile_->displayName();
    }
    std::string text = recognisedMake_ ? recognisedMake_->manufacturer : std::string("V\u00E9hicule non identifi\u00E9");
    if (readFuelType_) text += std::string(separator) + std::string(label(*readFuelType_));
    return text;
}

QColor AppModel::accent() const { return nightMode_ ? VEQ::nightAccent() : VEQ::accent(); }

} // namespace veq
