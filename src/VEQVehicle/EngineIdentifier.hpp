#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace veq {

// The engine family of the connected car, named from the engine ECU's part number or, failing
// that, from the fuel type the car declares.
struct EngineIdentifier {
    // One row of the family table, keyed by the three-digit engine number.
    struct Family {
        std::string_view key;
        std::string_view displayName; // "<engine code> — <description>"
        bool isDiesel;
        bool isHybrid;
    };

    // Mercedes-Benz engine families by engine number.
    static constexpr std::array<Family, 14> families{{
        // key    displayName                                                diesel  hybrid
        {"256", "M256 \u2014 3.0 L 6 cyl. essence turbo + EQ Boost 48 V",    false,  true },
        {"264", "M264 \u2014 2.0 L 4 cyl. essence turbo",                    false,  false},
        {"260", "M260 \u2014 2.0 L 4 cyl. essence turbo",                    false,  false},
        {"270", "M270 \u2014 1.6/2.0 L 4 cyl. essence",                      false,  false},
        {"274", "M274 \u2014 2.0 L 4 cyl. essence turbo",                    false,  false},
        {"276", "M276 \u2014 3.0/3.5 L V6 essence",                          false,  false},
        {"278", "M278 \u2014 4.7 L V8 essence",                              false,  false},
        {"177", "M177 \u2014 4.0 L V8 biturbo AMG",                          false,  false},
        {"178", "M178 \u2014 4.0 L V8 biturbo AMG",                          false,  false},
        {"282", "M282 \u2014 1.3 L 4 cyl. essence",                          false,  false},
        {"654", "OM654 \u2014 2.0 L 4 cyl. diesel",                          true,   false},
        {"656", "OM656 \u2014 3.0 L 6 cyl. diesel",                          true,   false},
        {"651", "OM651 \u2014 2.1 L 4 cyl. diesel",                          true,   false},
        {"642", "OM642 \u2014 3.0 L V6 diesel",                              true,   false},
    }};

    std::string family;      // engine code ("M264", "OM654"), or "Diesel" / "Essence" from the fuel
    std::string displayName; // French description
    bool isDiesel = false;
    bool isHybrid = false;
    std::string source;      // where the identification came from, in French

    // The family named by the first three numeric characters of the part number.
    static std::optional<EngineIdentifier> fromPartNumber(const std::optional<std::string>& partNumber);
    // A family made from the declared fuel type's French label.
    static std::optional<EngineIdentifier> fromFuelType(const std::optional<std::string>& label, bool isDiesel,
                                                        bool isHybrid);
    // Whether a diesel flag agrees with this family's; nothing without a flag.
    std::optional<bool> agrees(std::optional<bool> withDiesel) const;

    bool operator==(const EngineIdentifier&) const = default;
};

} // namespace veq
