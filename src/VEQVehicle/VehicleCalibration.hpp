#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>

namespace veq {

// The user's corrections of measured values, so that displayed figures agree with the car's
// own instruments (a European speedometer reads high; OBD-II reports the true speed).
struct VehicleCalibration {
    double speedFactor = 1.0;              // vehicle speed, PID 0x0D
    std::optional<double> tankCapacityL;   // litres; takes precedence over the profile's
    double fuelLevelFactor = 1.0;          // fuel tank level, PID 0x2F
    double temperatureOffsetC = 0.0;       // coolant, intake air, ambient air, engine oil

    static const VehicleCalibration none;
    static const VehicleCalibration matchDashboard;

    // The calibrated value of one measurement of a mode 01 parameter.
    double apply(double value, std::uint8_t pid) const;
    // Whether any displayed measurement changes; a tank capacity alone changes none.
    bool isActive() const;
    // The speed factor that brings the application's reading to the dashboard's, both in
    // km/h and read at the same moment; nothing at 5 km/h or below, or outside 0.8 to 1.2.
    static std::optional<double> speedFactorFrom(double dashboard, double app);

    bool operator==(const VehicleCalibration&) const = default;
};

inline const VehicleCalibration VehicleCalibration::none{1.0, std::nullopt, 1.0, 0.0};
inline const VehicleCalibration VehicleCalibration::matchDashboard{1.06, std::nullopt, 1.0, 0.0};

// Coded form: one object with "speedFactor", "tankCapacityL" (only when set),
// "fuelLevelFactor" and "temperatureOffsetC", written in that order where the JSON type keeps
// insertion order. Decoding requires the three factors as JSON numbers, accepts an absent or
// null tank capacity and ignores unknown keys; anything else throws JSONDecodingError.
void to_json(nlohmann::json& out, const VehicleCalibration& calibration);
void to_json(nlohmann::ordered_json& out, const VehicleCalibration& calibration);
void from_json(const nlohmann::json& in, VehicleCalibration& calibration);
void from_json(const nlohmann::ordered_json& in, VehicleCalibration& calibration);

} // namespace veq
