#pragma once

#include "VEQProtocol/MeasurementUnit.hpp"
#include "VEQProtocol/TransmissionGear.hpp"
#include "VEQUI/Model/GaugeScale.hpp"
#include "VEQUI/Views/Gauges/CircularGaugeView.hpp"
#include "VEQUI/Views/Gauges/ParameterGauge.hpp"

#include <QColor>
#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

namespace veq {

class AppModel;
class GearEstimator;
class TelemetryStore;

// What the cockpit and the focus gauge show, derived from the model and its store: captions,
// unit labels, the values converted to the labels' units, telltales, the gear and the texts of
// the chips. Plain functions of their inputs.
namespace InstrumentReadings {

using Date = std::chrono::system_clock::time_point;

inline constexpr std::uint8_t engineSpeedPID = 0x0C;
inline constexpr std::uint8_t speedPID = 0x0D;
inline constexpr std::uint8_t gearPID = 0xA4;

// The captions, shared with the other screens that draw parameters on dials.
using ParameterGauge::focusShortName;
using ParameterGauge::shortName;

// A flank gauge: the calibrated value, the parameter's scale and the store's highest value, all
// in the unit of the label; `big` off, value shown.
CircularGauge flankGauge(const AppModel& model, std::uint8_t pid, const QString& title);

// The engine-speed level from which the shift cue lights: the warning limit, else the maximum.
bool shiftCue(const GaugeScale& rpmScale, double rpm);

// The hero tachometer: engine speed (0 when unknown) on the model's scale, road speed (0 when
// unknown) in the unit of the label. The cue compares metric engine speed.
struct Hero {
    CircularGauge dial;     // engine speed, "Régime ×1000", no readout of its own
    double speed = 0;       // in the unit of speedUnit
    QString speedUnit;
    bool shiftCue = false;
};
Hero hero(const AppModel& model);

// Where the gear shown in the cockpit comes from.
enum class GearSource { read, estimated, neutral, none };

struct CurrentGear {
    std::optional<TransmissionGear> gear; // reverse or a forward gear; nothing otherwise
    GearSource source = GearSource::none;
    bool operator==(const CurrentGear&) const = default;
};

// The cockpit's gear: the reported gear when the car reports one the estimator's box has (a
// higher gear falls back on estimation), else the estimate from engine and road speed.
CurrentGear cockpitGear(const TelemetryStore& store, const GearEstimator& estimator);
// The focus gauge's gear: the reported gear (an undecodable one is none), else the estimate.
std::optional<TransmissionGear> focusGear(const TelemetryStore& store, const GearEstimator& estimator);

// "LU · PID 0xA4", "ESTIMÉ · régime/vitesse", "POINT MORT", "INDISPONIBLE" and their colours.
QString sourceBadgeText(GearSource source);
QColor sourceBadgeColor(GearSource source);

// One warning lamp of the telltale strip.
struct Telltale {
    std::string_view icon;
    QString label; // shown in capitals
    bool active = false;
    QColor color;
    bool operator==(const Telltale&) const = default;
};

// The five lamps from the store's raw (uncalibrated, metric) values and the trouble codes.
std::array<Telltale, 5> telltales(const TelemetryStore& store, bool hasTroubleCodes, const QColor& accent);

// Status chips.
QString faultChipText(std::size_t codes);        // "0 défaut", "3 défaut"
QString requestRateText(double requestsPerSecond); // "42 req/s"
QString distanceText(double kilometres);           // "12.3 km"
QString zeroToHundredText(double seconds);         // "0-100 6.8s"

} // namespace InstrumentReadings

} // namespace veq
