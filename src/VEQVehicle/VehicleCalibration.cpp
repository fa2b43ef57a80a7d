#include "VEQVehicle/VehicleCalibration.hpp"

#include "VEQVehicle/JSONDecoding.hpp"

namespace veq {

namespace {

constexpr std::uint8_t kVehicleSpeed = 0x0D;
constexpr std::uint8_t kFuelLevel = 0x2F;
constexpr std::uint8_t kTemperatures[] = {0x05, 0x0F, 0x46, 0x5C}; // coolant, intake, ambient, oil

constexpr double kMinimumReadingKmh = 5.0;
constexpr double kLowestFactor = 0.8;
constexpr double kHighestFactor = 1.2;

template <class Json>
void encode(Json& out, const VehicleCalibration& c) {
    out = Json::object();
    out["speedFactor"] = c.speedFactor;
    if (c.tankCapacityL) out["tankCapacityL"] = *c.tankCapacityL;
    out["fuelLevelFactor"] = c.fuelLevelFactor;
    out["temperatureOffsetC"] = c.temperatureOffsetC;
}

template <class Json>
VehicleCalibration decode(const Json& in) {
    using namespace jsonfield;
    const std::string root;
    requireObject(in, root);
    VehicleCalibration c;
    c.speedFactor = number(in, "speedFactor", root);
    c.tankCapacityL = optionalNumber(in, "tankCapacityL", root);
    c.fuelLevelFactor = number(in, "fuelLevelFactor", root);
    c.temperatureOffsetC = number(in, "temperatureOffsetC", root);
    return c;
}

} // namespace

double VehicleCalibration::apply(double value, std::uint8_t pid) const {
    if (pid == kVehicleSpeed) return value * speedFactor;
    if (pid == kFuelLevel) return value * fuelLevelFactor;
    for (std::uint8_t t : kTemperatures) {
        if (pid == t) return value + temperatureOffsetC;
    }
    return value;
}

bool VehicleCalibration::isActive() const {
    return speedFactor != 1.0 || fuelLevelFactor != 1.0 || temperatureOffsetC != 0.0;
}

std::optional<double> VehicleCalibration::speedFactorFrom(double dashboard, double app) {
    if (!(dashboard > kMinimumReadingKmh && app > kMinimumReadingKmh)) return std::nullopt;
    const double ratio = dashboard / app;
    if (ratio >= kLowestFactor && ratio <= kHighestFactor) return ratio;
    return std::nullopt;
}

void to_json(nlohmann::json& out, const VehicleCalibration& c) { encode(out, c); }
void to_json(nlohmann::ordered_json& out, const VehicleCalibration& c) { encode(out, c); }
void from_json(const nlohmann::json& in, VehicleCalibration& c) { c = decode(in); }
void from_json(const nlohmann::ordered_json& in, VehicleCalibration& c) { c = decode(in); }

} // namespace veq
