#include "VEQVehicle/VehicleProfileCatalog.hpp"

#include "VEQSupport/Error.hpp"
#include "VEQSupport/FileReading.hpp"
#include "VEQSupport/Resources.hpp"
#include "VEQSupport/UnicodeText.hpp"
#include "VEQVehicle/JSONDecoding.hpp"

#include <algorithm>

namespace veq::VehicleProfileCatalog {

namespace {

constexpr std::size_t kVINLength = 17;

// The chassis code without its first character: the model code a VIN carries.
std::string modelCode(const std::string& chassis) {
    const auto chars = unicode::characters(chassis);
    if (chars.empty()) return {};
    return chassis.substr(chars.front().size());
}

} // namespace

std::vector<VehicleProfile> decode(std::string_view data) {
    const nlohmann::json document = jsonfield::parse(data);
    return jsonfield::asList<VehicleProfile>(
        document, {}, [](const nlohmann::json& v, const std::string& at) { return decodeVehicleProfile(v, at); });
}

std::vector<VehicleProfile> loadFile(const std::filesystem::path& file) {
    const auto data = readWholeFileIfReadable(file, maxResourceBytes);
    if (!data) return {};
    try {
        return decode(*data);
    } catch (const std::exception&) {
        return {};
    }
}

std::vector<VehicleProfile> bundled() {
    resources::requireBundleDirectory("VEQVehicle"); // a packaged program without its resources cannot go on
    const auto file = resources::bundleResource("VEQVehicle", resourceName, resourceType);
    if (!file) return {};
    return loadFile(*file);
}

std::optional<VehicleProfile> generic() {
    auto profiles = bundled();
    const auto it = std::find_if(profiles.begin(), profiles.end(),
                                 [](const VehicleProfile& p) { return p.id == genericID; });
    if (it == profiles.end()) return std::nullopt;
    return std::move(*it);
}

bool chassisMatches(const VehicleProfile& profile, std::string_view vin) {
    const auto vinChars = unicode::characters(vin);
    if (vinChars.size() != kVINLength) return false;
    std::string code;
    for (std::size_t i = 3; i <= 5; ++i) code += vinChars[i];
    return modelCode(profile.chassis) == code;
}

std::optional<VehicleProfile> match(const std::optional<std::string>& vin, const std::optional<std::string>& fuelType,
                                    const std::vector<VehicleProfile>& profiles) {
    if (!vin) return std::nullopt;

    std::vector<const VehicleProfile*> candidates;
    for (const auto& p : profiles) {
        if (chassisMatches(p, *vin)) candidates.push_back(&p);
    }
    if (candidates.empty()) return std::nullopt;
    if (!fuelType) return *candidates.front();

    const std::string wanted = normalisedFuel(*fuelType);
    for (const auto* p : candidates) {
        if (p->fuelType && normalisedFuel(*p->fuelType) == wanted) return *p;
    }
    const bool someDeclareFuel =
        std::any_of(candidates.begin(), candidates.end(), [](const VehicleProfile* p) { return p->fuelType.has_value(); });
    if (someDeclareFuel) return std::nullopt;
    return *candidates.front();
}

std::string exportProfile(const VehicleProfile& profile) {
    try {
        const nlohmann::json document = profile; // an object keeps its keys sorted
        return document.dump(2);
    } catch (const nlohmann::json::exception&) {
        throw Error("Export du profil impossible : un texte n'est pas en UTF-8 valide");
    }
}

} // namespace veq::VehicleProfileCatalog
