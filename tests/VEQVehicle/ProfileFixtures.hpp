#pragma once

#include "VEQVehicle/VehicleProfile.hpp"

#include <optional>
#include <string>

namespace veq::testing {

// A small, valid profile: the fields matching and display read, the rest minimal.
inline VehicleProfile makeProfile(std::string id, std::string chassis, std::optional<std::string> fuel = std::nullopt) {
    VehicleProfile p;
    p.id = std::move(id);
    p.manufacturer = "Mercedes-Benz";
    p.model = "Classe C";
    p.chassis = std::move(chassis);
    p.years = {2014, 2021};
    p.platform = "MRA";
    p.busses = {{"CAN diagnostic", 500000, {6, 14}, true, std::nullopt}};
    p.ecus = {{"Calculateur moteur", "7E0", "7E8", "CAN diagnostic"}};
    p.fuelType = std::move(fuel);
    return p;
}

// The JSON text of one complete profile, every optional field present.
inline constexpr const char* fullProfileJSON = R"({
  "id": "mercedes-w205-essence", "manufacturer": "Mercedes-Benz", "model": "Classe C", "chassis": "W205",
  "years": [2014, 2021], "platform": "MRA", "headUnit": "Audio 20 / COMAND Online", "engine": "M274 / M264",
  "busses": [
    {"name": "CAN diagnostic", "speed": 500000, "obdPins": [6, 14], "reachable": true},
    {"name": "CAN-B", "speed": 83333, "obdPins": [], "reachable": false, "note": "derrière la passerelle"}
  ],
  "ecus": [{"name": "Calculateur moteur", "txId": "0x7E0", "rxId": "0x7E8", "bus": "CAN diagnostic"}],
  "gaugeRanges": {"coolantTemp": {"min": 40, "nominal": [90, 105.5], "warn": 115, "critical": 120, "max": 130},
                  "oilTemp": {"min": 50}},
  "fuelType": "gasoline", "tankCapacityL": 66, "redlineRPM": 6200.5, "maxRPM": 7000
})";

} // namespace veq::testing
