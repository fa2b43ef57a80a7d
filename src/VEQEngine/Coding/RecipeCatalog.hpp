#pragma once

#include "VEQEngine/Coding/CodingRecipe.hpp"

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veq::RecipeCatalog {

// The recipes of a catalogue file, in file order. All or nothing: throws veq::Error with a
// French description when any recipe is malformed.
std::vector<CodingRecipe> decode(std::string_view bytes);

// The catalogue in a file, or an empty list, silently, when it cannot be read or decoded.
std::vector<CodingRecipe> load(const std::filesystem::path& file);

// The catalogue shipped in the engine's resource bundle, read anew on every call; empty when
// the resource is missing or malformed. A missing bundle stops the process.
std::vector<CodingRecipe> bundled();

// (category, its recipes) in the order categories first appear; recipes keep their order.
std::vector<std::pair<std::string, std::vector<CodingRecipe>>> grouped(const std::vector<CodingRecipe>& recipes);

} // namespace veq::RecipeCatalog
