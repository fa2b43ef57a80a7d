#pragma once

#include "VEQVehicle/VehicleProfile.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The vehicle-profile catalogue: the resource "VehicleProfiles.json" of the module's bundle,
// matching a profile to a car, and profile JSON coding. Nothing is cached: each call reads
// the file again.
namespace veq::VehicleProfileCatalog {

inline constexpr std::string_view genericID = "generic-obd2";
inline constexpr std::string_view resourceName = "VehicleProfiles";
inline constexpr std::string_view resourceType = "json";
// A resource larger than this is refused unread.
inline constexpr std::uintmax_t maxResourceBytes = 16u * 1024u * 1024u;

// The profiles of the resource, in file order; empty when the resource is missing, unreadable
// or does not decode in full. Never throws.
std::vector<VehicleProfile> bundled();

// The first profile of the resource whose id is "generic-obd2"; nothing on any failure.
std::optional<VehicleProfile> generic();

// What bundled() does, for a given file.
std::vector<VehicleProfile> loadFile(const std::filesystem::path& file);

// A JSON array of profiles. Throws JSONDecodingError when the text is not JSON or when any
// element does not decode.
std::vector<VehicleProfile> decode(std::string_view data);

// Whether a profile's chassis code, less its first character, equals the VIN's characters 4 to
// 6. Never for a VIN that is not 17 characters long.
bool chassisMatches(const VehicleProfile& profile, std::string_view vin);

// The profile of a car from its VIN and its fuel word (the fuel type's case name, such as
// "diesel" or "hybridGasoline"). The candidates are the profiles whose chassis matches the VIN:
// nothing without a VIN or when no chassis matches, so that an unknown car is never named as
// another. A known fuel then picks the first candidate of the same fuel; candidates that declare
// another fuel give nothing, candidates that declare none give the first.
std::optional<VehicleProfile> match(const std::optional<std::string>& vin, const std::optional<std::string>& fuelType,
                                    const std::vector<VehicleProfile>& profiles);

// One profile as pretty-printed JSON, keys sorted at every level, slashes unescaped, absent
// optionals left out. Throws veq::Error when a text is not valid UTF-8.
std::string exportProfile(const VehicleProfile& profile);

} // namespace veq::VehicleProfileCatalog
