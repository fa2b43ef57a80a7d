#include "VEQVehicle/JSONDecoding.hpp"
#include "VEQVehicle/VehicleProfileCatalog.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        for (const auto& profile : veq::VehicleProfileCatalog::decode(text)) {
            (void)profile.displayName();
            (void)veq::VehicleProfileCatalog::match("WDD2050041R123456", "hybridDiesel", {profile});
            // What decodes must export and decode back to itself.
            const auto again = veq::VehicleProfileCatalog::decode("[" + veq::VehicleProfileCatalog::exportProfile(profile) + "]");
            if (again.size() != 1 || !(again[0] == profile)) __builtin_trap();
        }
    } catch (const veq::JSONDecodingError&) {
        // refused input is the expected outcome for most of it
    }
    return 0;
}
