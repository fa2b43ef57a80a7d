#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace veq {

// Names the maker and its country (French, as displayed) from the first characters of a VIN.
struct WMIRegistry {
    struct Make {
        std::string manufacturer;
        std::string country;

        bool operator==(const Make&) const = default;
    };

    // Three-character world manufacturer identifiers, 127 codes of 42 makes.
    static const std::unordered_map<std::string, Make>& table();
    // Two-character prefixes that name a maker when its exact code is unknown.
    static const std::unordered_map<std::string, Make>& prefixTable();

    // The upper-cased first three characters looked up as a code, else their first two as a
    // prefix; nothing with fewer than three characters. The text need not be a whole VIN.
    static std::optional<Make> make(std::string_view vin);
};

} // namespace veq
