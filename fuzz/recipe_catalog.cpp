#include "VEQEngine/Coding/RecipeCatalog.hpp"

#include "VEQSupport/Error.hpp"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string_view>

// Any bytes as a catalogue file: a French error or recipes that survive a round trip.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const auto recipes = veq::RecipeCatalog::decode(bytes);
        if (veq::RecipeCatalog::decode(nlohmann::json(recipes).dump()) != recipes) __builtin_trap();
    } catch (const veq::Error&) {
    }
    return 0;
}
