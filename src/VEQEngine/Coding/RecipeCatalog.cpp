#include "VEQEngine/Coding/RecipeCatalog.hpp"

#include "VEQSupport/Error.hpp"
#include "VEQSupport/FileReading.hpp"
#include "VEQSupport/Resources.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>

namespace veq::RecipeCatalog {

namespace {

constexpr std::string_view kModule = "VEQEngine";
constexpr std::string_view kResource = "CodingRecipes";
constexpr std::string_view kType = "json";

// Far beyond any real catalogue; a larger file is not ours and is not read into memory.
constexpr std::size_t kMaximumFileSize = 8u << 20;

} // namespace

std::vector<CodingRecipe> decode(std::string_view bytes) {
    try {
        const auto document = nlohmann::json::parse(bytes.begin(), bytes.end());
        if (!document.is_array()) throw Error("Catalogue de recettes illisible : un tableau de recettes est attendu.");
        return document.get<std::vector<CodingRecipe>>();
    } catch (const nlohmann::json::exception& e) {
        throw Error(std::string("Catalogue de recettes illisible : ") + e.what());
    }
}

std::vector<CodingRecipe> load(const std::filesystem::path& file) {
    const auto bytes = readWholeFileIfReadable(file, kMaximumFileSize);
    if (!bytes) return {};
    try {
        return decode(*bytes);
    } catch (const Error&) {
        return {};
    }
}

std::vector<CodingRecipe> bundled() {
    resources::requireBundleDirectory(kModule);
    const auto file = resources::bundleResource(kModule, kResource, kType);
    if (!file) return {};
    return load(*file);
}

std::vector<std::pair<std::string, std::vector<CodingRecipe>>> grouped(const std::vector<CodingRecipe>& recipes) {
    std::vector<std::pair<std::string, std::vector<CodingRecipe>>> groups;
    for (const auto& recipe : recipes) {
        auto it = std::find_if(groups.begin(), groups.end(),
                               [&](const auto& group) { return group.first == recipe.category; });
        if (it == groups.end()) it = groups.insert(groups.end(), {recipe.category, {}});
        it->second.push_back(recipe);
    }
    return groups;
}

} // namespace veq::RecipeCatalog
