// Vehicle identification: maker, profile and fuel agreement from the VIN and the fuel type, then
// the engine family.
#include "VEQUI/Model/AppModel.hpp"

#include "VEQVehicle/VehicleProfileCatalog.hpp"

#include <algorithm>

namespace veq {

namespace {

struct FuelWordRow {
    FuelType fuel;
    std::string_view word; // the case name the profile catalogue matches on
};

// clang-format off
constexpr std::array<FuelWordRow, 12> fuelWords{{
    {FuelType::notAvailable,    "notAvailable"},
    {FuelType::gasoline,        "gasoline"},
    {FuelType::methanol,        "methanol"},
    {FuelType::ethanol,         "ethanol"},
    {FuelType::diesel,          "diesel"},
    {FuelType::lpg,             "lpg"},
    {FuelType::cng,             "cng"},
    {FuelType::propane,         "propane"},
    {FuelType::electric,        "electric"},
    {FuelType::bifuelGasoline,  "bifuelGasoline"},
    {FuelType::hybridGasoline,  "hybridGasoline"},
    {FuelType::hybridDiesel,    "hybridDiesel"},
}};
// clang-format on

std::string fuelWord(FuelType fuel) {
    return std::string(std::find_if(fuelWords.begin(), fuelWords.end(),
                                    [fuel](const FuelWordRow& row) { return row.fuel == fuel; })
                           ->word);
}

} // namespace

std::optional<FuelType> AppModel::declaredFuel() const {
    // A car answering "not available" declared no fuel: counted as one, it would reject every
    // profile that declares a fuel, raise the mismatch and name a petrol engine.
    if (readFuelType_ == FuelType::notAvailable) return std::nullopt;
    return readFuelType_;
}

void AppModel::identifyVehicle() {
    setRecognisedMake(vin_ ? WMIRegistry::make(*vin_) : std::nullopt);

    const auto fuel = declaredFuel();
    const auto word = fuel ? std::optional(fuelWord(*fuel)) : std::nullopt;
    const auto match = VehicleProfileCatalog::match(vin_, word, profiles_);
    if (!match) {
        setSelectedProfile(VehicleProfileCatalog::generic());
        setProfileMatchedFromVIN(false);
        // Only profiles of the car's own chassis can disagree with its fuel: a VIN that no profile
        // knows raises no mismatch. Without a VIN, a declared fuel stays unconfirmed and counts as one.
        const bool knownChassis = vin_ && std::any_of(profiles_.begin(), profiles_.end(), [&](const VehicleProfile& p) {
                                      return VehicleProfileCatalog::chassisMatches(p, *vin_);
                                  });
        setProfileFuelMismatch(fuel.has_value() && (!vin_ || knownChassis));
        return;
    }
    setSelectedProfile(*match);
    setProfileMatchedFromVIN(true); // a match needs the VIN's chassis
    const auto agrees = match->matchesFuel(word);
    setProfileFuelMismatch(agrees.has_value() && !*agrees);
}

void AppModel::refineEngineIdentification() {
    const auto engineECU =
        std::find_if(ecus_.begin(), ecus_.end(), [](const DiscoveredECU& ecu) { return ecu.txHeader == "7E0"; });
    const auto partNumber = engineECU != ecus_.end() ? engineECU->partNumber : std::nullopt;
    const auto fuel = declaredFuel();

    if (auto family = EngineIdentifier::fromPartNumber(partNumber)) {
        if (fuel) setProfileFuelMismatch(isDiesel(*fuel) != family->isDiesel);
        setIdentifiedEngine(std::move(family));
        return;
    }
    const auto fuelLabel = fuel ? std::optional(std::string(label(*fuel))) : std::nullopt;
    const bool diesel = fuel && isDiesel(*fuel);
    const bool hybrid = fuel == FuelType::hybridGasoline || fuel == FuelType::hybridDiesel;
    setIdentifiedEngine(EngineIdentifier::fromFuelType(fuelLabel, diesel, hybrid));
}

} // namespace veq
