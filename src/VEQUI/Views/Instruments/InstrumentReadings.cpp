#include "VEQUI/Views/Instruments/InstrumentReadings.hpp"

#include "VEQEngine/Trip/GearEstimator.hpp"
#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/DisplayUnits.hpp"
#include "VEQUI/Model/TelemetryStore.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/ParameterGauge.hpp"

#include <fmt/format.h>

#include <cmath>

namespace veq::InstrumentReadings {

namespace {

constexpr std::uint8_t coolantPID = 0x05;
constexpr std::uint8_t manifoldPID = 0x0B;
constexpr std::uint8_t voltagePID = 0x42;
constexpr std::uint8_t oilPID = 0x5C;

std::optional<double> peakOf(const TelemetryStore& store, std::uint8_t pid) {
    const auto it = store.stats().find(pid);
    if (it == store.stats().end()) return std::nullopt;
    return it->second.max;
}

} // namespace

CircularGauge flankGauge(const AppModel& model, std::uint8_t pid, const QString& title) {
    return ParameterGauge::make(pid, model.displayValue(pid), model.scale(pid), model.unitSystem(), model.nightMode(),
                                title, peakOf(model.store(), pid));
}

bool shiftCue(const GaugeScale& rpmScale, double rpm) { return rpm >= rpmScale.warn.value_or(rpmScale.max); }

Hero hero(const AppModel& model) {
    const TelemetryStore& store = model.store();
    const double rpm = store.value(engineSpeedPID).value_or(0.0);
    const double speed = store.value(speedPID).value_or(0.0);
    const GaugeScale scale = model.scale(engineSpeedPID);
    Hero h;
    h.dial = CircularGauge{.value = rpm,
                           .scale = scale,
                           .title = QStringLiteral("R\u00E9gime \u00D71000"),
                           .unit = QString(),
                           .big = true,
                           .night = model.nightMode(),
                           .showValue = false,
                           .peak = peakOf(store, engineSpeedPID)};
    h.speed = DisplayUnits::inDisplayUnit(speedPID, speed, model.unitSystem());
    const QString unit = DisplayUnits::unitSymbol(speedPID, model.unitSystem());
    h.speedUnit = unit.isEmpty() ? QStringLiteral("km/h") : unit;
    h.shiftCue = shiftCue(scale, rpm);
    return h;
}

CurrentGear cockpitGear(const TelemetryStore& store, const GearEstimator& estimator) {
    if (const auto reported = store.value(gearPID)) {
        const TransmissionGear gear = TransmissionGear::fromValue(*reported);
        if (gear.isReverse()) return {gear, GearSource::read};
        if (gear.isNeutral()) return {std::nullopt, GearSource::neutral};
        if (const auto n = gear.forwardGear(); n && *n <= estimator.gearCount()) return {gear, GearSource::read};
        // A gear the box does not have: estimate instead.
    }
    const auto rpm = store.value(engineSpeedPID);
    const auto speed = store.value(speedPID);
    if (!rpm || !speed) return {std::nullopt, GearSource::none};
    if (const auto n = estimator.estimate(*rpm, *speed)) return {TransmissionGear::forward(*n), GearSource::estimated};
    return {std::nullopt, GearSource::none};
}

std::optional<TransmissionGear> focusGear(const TelemetryStore& store, const GearEstimator& estimator) {
    if (const auto reported = store.value(gearPID)) {
        const TransmissionGear gear = TransmissionGear::fromValue(*reported);
        if (gear.isReverse() || gear.forwardGear()) return gear;
        return std::nullopt; // neutral, or a code with no name
    }
    const auto rpm = store.value(engineSpeedPID);
    const auto speed = store.value(speedPID);
    if (!rpm || !speed) return std::nullopt;
    if (const auto n = estimator.estimate(*rpm, *speed)) return TransmissionGear::forward(*n);
    return std::nullopt;
}

QString sourceBadgeText(GearSource source) {
    switch (source) {
    case GearSource::read: return QStringLiteral("LU \u00B7 PID 0xA4");
    case GearSource::estimated: return QStringLiteral("ESTIM\u00C9 \u00B7 r\u00E9gime/vitesse");
    case GearSource::neutral: return QStringLiteral("POINT MORT");
    case GearSource::none: return QStringLiteral("INDISPONIBLE");
    }
    return {};
}

QColor sourceBadgeColor(GearSource source) {
    switch (source) {
    case GearSource::read: return VEQ::confirm();
    case GearSource::estimated: return VEQ::warning();
    case GearSource::neutral:
    case GearSource::none: return VEQ::textSecondary();
    }
    return VEQ::textSecondary();
}

std::array<Telltale, 5> telltales(const TelemetryStore& store, bool hasTroubleCodes, const QColor& accent) {
    const auto lit = [&store](std::uint8_t pid, auto test) {
        const auto v = store.value(pid);
        return v.has_value() && test(*v);
    };
    return {{
        {"engine.combustion.fill", QStringLiteral("Moteur"), hasTroubleCodes, VEQ::critical()},
        {"thermometer.high", QStringLiteral("Eau"), lit(coolantPID, [](double v) { return v >= 112; }), VEQ::critical()},
        {"drop.fill", QStringLiteral("Huile"), lit(oilPID, [](double v) { return v >= 125; }), VEQ::warning()},
        {"minus.plus.batteryblock.fill", QStringLiteral("Batterie"), lit(voltagePID, [](double v) { return v < 12.0; }),
         VEQ::warning()},
        {"wind", QStringLiteral("Turbo"), lit(manifoldPID, [](double v) { return v - 101.3 > 60; }), accent},
    }};
}

QString faultChipText(std::size_t codes) { return QString::fromStdString(fmt::format("{} d\u00E9faut", codes)); }

QString requestRateText(double requestsPerSecond) {
    return QString::fromStdString(fmt::format("{:.0f} req/s", requestsPerSecond));
}

QString distanceText(double kilometres) { return QString::fromStdString(fmt::format("{:.1f} km", kilometres)); }

QString zeroToHundredText(double seconds) { return QString::fromStdString(fmt::format("0-100 {:.1f}s", seconds)); }

} // namespace veq::InstrumentReadings
