#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veq {

// One bus of a car; its name is its identity.
struct VehicleBus {
    std::string name;
    std::int64_t speed = 0; // bits per second
    std::vector<std::int64_t> obdPins;
    bool reachable = false; // from the OBD socket
    std::optional<std::string> note;

    // "500 kbit/s", "83 kbit/s", "2 Mbit/s": whole units, the remainder dropped.
    std::string speedLabel() const;

    bool operator==(const VehicleBus&) const = default;
};

// One ECU with its diagnostic identifiers ("7E0" or "0x7E0"); its txId is its identity.
struct VehicleECU {
    std::string name;
    std::string txId;
    std::string rxId;
    std::string bus; // name of a bus of the same profile

    bool operator==(const VehicleECU&) const = default;
};

// Display range of one gauge.
struct GaugeRange {
    double min = 0;
    std::optional<std::vector<double>> nominal;
    std::optional<double> warn;
    std::optional<double> critical;
    std::optional<double> max;

    bool operator==(const GaugeRange&) const = default;
};

// One car model as the catalogue resource describes it.
struct VehicleProfile {
    std::string id;
    std::string manufacturer;
    std::string model;
    std::string chassis; // one leading letter, then the model code of VIN positions 4 to 6
    std::vector<std::int64_t> years;
    std::string platform;
    std::optional<std::string> headUnit;
    std::optional<std::string> engine;
    std::vector<VehicleBus> busses;
    std::vector<VehicleECU> ecus;
    std::optional<std::map<std::string, GaugeRange>> gaugeRanges; // "coolantTemp", "oilTemp"
    std::optional<std::string> fuelType; // a fuel word: "diesel", "gasoline", "hybridDiesel" ...
    std::optional<double> tankCapacityL;
    std::optional<double> redlineRPM;
    std::optional<double> maxRPM;

    // "Mercedes-Benz Classe C (W205) 2014–2021"; an empty year list leaves "(W205) ".
    std::string displayName() const;
    // Whether the car's fuel word agrees with the profile's; nothing when either is missing.
    std::optional<bool> matchesFuel(const std::optional<std::string>& fuel) const;
    std::vector<VehicleBus> reachableBusses() const;
    std::vector<VehicleBus> unreachableBusses() const;
    // The reachability of the ECU's bus; false when the profile lists no such bus.
    bool isReachable(const VehicleECU& ecu) const;

    bool operator==(const VehicleProfile&) const = default;
};

// Fuel words compare after dropping a leading "hybrid" and lower-casing the rest; any other
// word compares exactly as written.
std::string normalisedFuel(const std::string& fuel);

// JSON coding. Decoding is strict (see JSONDecoding.hpp): a missing required key or a value of
// the wrong JSON type throws JSONDecodingError; unknown keys are ignored. Encoding leaves absent
// optionals out.
VehicleBus decodeVehicleBus(const nlohmann::json& value, const std::string& path = {});
VehicleECU decodeVehicleECU(const nlohmann::json& value, const std::string& path = {});
GaugeRange decodeGaugeRange(const nlohmann::json& value, const std::string& path = {});
VehicleProfile decodeVehicleProfile(const nlohmann::json& value, const std::string& path = {});

void to_json(nlohmann::json& out, const VehicleBus& bus);
void to_json(nlohmann::json& out, const VehicleECU& ecu);
void to_json(nlohmann::json& out, const GaugeRange& range);
void to_json(nlohmann::json& out, const VehicleProfile& profile);
void from_json(const nlohmann::json& in, VehicleBus& bus);
void from_json(const nlohmann::json& in, VehicleECU& ecu);
void from_json(const nlohmann::json& in, GaugeRange& range);
void from_json(const nlohmann::json& in, VehicleProfile& profile);

} // namespace veq

template <>
struct std::hash<veq::VehicleBus> {
    std::size_t operator()(const veq::VehicleBus& bus) const noexcept;
};
template <>
struct std::hash<veq::VehicleECU> {
    std::size_t operator()(const veq::VehicleECU& ecu) const noexcept;
};
template <>
struct std::hash<veq::GaugeRange> {
    std::size_t operator()(const veq::GaugeRange& range) const noexcept;
};
template <>
struct std::hash<veq::VehicleProfile> {
    std::size_t operator()(const veq::VehicleProfile& profile) const noexcept;
};
