#include "OskavelCarApp/SelfCheck.hpp"

#include "VEQEngine/Coding/RecipeCatalog.hpp"
#include "VEQProtocol/DTCDatabase.hpp"
#include "VEQProtocol/PIDCatalog.hpp"
#include "VEQUI/Views/Gauges/GPUGaugeProbe.hpp"
#include "VEQVehicle/VehicleProfileCatalog.hpp"

#include <algorithm>

namespace veq::SelfCheck {

namespace {

// What each row needs, at the least.
constexpr std::size_t kMinRecipes = 30;
constexpr std::size_t kMinProfiles = 8;
constexpr std::size_t kMinCatalogueEntries = 40;
constexpr std::size_t kMinDescribedCodes = 100;

} // namespace

bool requested(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), kSwitch) != arguments.end();
}

std::vector<Result> results(const Inputs& inputs) {
    const auto count = [](std::size_t n, std::string_view unit) { return std::to_string(n) + std::string(unit); };
    return {
        {"Shader OpenGL des jauges", inputs.gpuGauge, "le cadran retomberait sur le rendu vectoriel"},
        {"Recettes de codage", inputs.recipes >= kMinRecipes, count(inputs.recipes, " recette(s) chargée(s)")},
        {"Profils véhicule", inputs.profiles >= kMinProfiles, count(inputs.profiles, " profil(s) chargé(s)")},
        {"Catalogue OBD-II", inputs.catalogueEntries >= kMinCatalogueEntries, count(inputs.catalogueEntries, " PID")},
        {"Base de codes défaut", inputs.describedCodes >= kMinDescribedCodes,
         count(inputs.describedCodes, " codes décrits")},
    };
}

std::string report(const std::vector<Result>& results) {
    std::string text = "Oskavel Car — auto-diagnostic\n\n";
    for (const auto& result : results) {
        text += result.ok ? "  ✓ " + result.label + " (" + result.detail + ")\n"
                          : "  ✗ " + result.label + " — " + result.detail + "\n";
    }
    text += anyFailed(results) ? "\n✗ Paquet incomplet.\n" : "\n✓ Toutes les ressources sont présentes.\n";
    return text;
}

bool anyFailed(const std::vector<Result>& results) {
    return std::any_of(results.begin(), results.end(), [](const Result& result) { return !result.ok; });
}

Inputs gather() {
    return {
        VEQDiagnostics::gpuGaugeAvailable(),
        RecipeCatalog::bundled().size(),
        VehicleProfileCatalog::bundled().size(),
        PIDCatalog::all().size(),
        DTCDatabase::describedCount(),
    };
}

bool run(std::ostream& out) {
    const auto rows = results(gather());
    out << report(rows) << std::flush;
    return anyFailed(rows);
}

} // namespace veq::SelfCheck
