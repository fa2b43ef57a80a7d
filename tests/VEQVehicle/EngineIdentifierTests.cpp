// Engine family from the engine ECU's part number or from the declared fuel type.
#include "VEQVehicle/EngineIdentifier.hpp"

#include <gtest/gtest.h>

#include <set>

using namespace veq;

TEST(EngineIdentifierTests, EveryFamilyIsFoundFromAPartNumber) {
    std::set<std::string_view> keys;
    for (const auto& row : EngineIdentifier::families) {
        EXPECT_TRUE(keys.insert(row.key).second) << row.key;
        const std::string part = "A " + std::string(row.key) + " 150 21 00";
        const auto engine = EngineIdentifier::fromPartNumber(part);
        ASSERT_TRUE(engine) << part;
        EXPECT_EQ(*engine, (EngineIdentifier{engine->family, std::string(row.displayName), row.isDiesel, row.isHybrid,
                                             "numéro de pièce du calculateur moteur (" + part + ")"}));
        // The family is the display name's code: "OM654" for a diesel "654", "M264" for a petrol "264".
        EXPECT_EQ(engine->family, (row.isDiesel ? "OM" : "M") + std::string(row.key));
        EXPECT_TRUE(row.displayName.substr(engine->family.size()).starts_with(" \u2014 ")) << row.displayName;
    }
}

TEST(EngineIdentifierTests, OnlyTheFirstThreeNumeralsOfAPartNumberCount) {
    using S = std::optional<std::string>;
    const std::pair<S, S> cases[] = {
        {"A6540901200", "OM654"},
        {"A-6/5x4", "OM654"},               // letters and punctuation between the digits
        {"2741234567", "M274"},             // more digits after the key do not matter
        {"642", "OM642"},
        {"1230901200", std::nullopt},
        {"A 65", std::nullopt},             // two digits
        {std::nullopt, std::nullopt},
        // Other numerals are numeric characters too: they take a place and then match no key.
        {"\u00B2654", std::nullopt},        // superscript two, then 654
        {"\uFF16\uFF15\uFF14", std::nullopt}, // full-width 654
        {"A\u00E9654", "OM654"},            // a letter with an accent is dropped
        {"6\u03015", std::nullopt},         // a combining accent makes "6́" one character
    };
    for (const auto& [part, family] : cases) {
        const auto engine = EngineIdentifier::fromPartNumber(part);
        EXPECT_EQ(engine ? std::optional(engine->family) : std::nullopt, family) << part.value_or("nil");
    }
}

TEST(EngineIdentifierTests, FuelTypeGivesAGenericFamilyAndAgreementComparesTheDieselFlag) {
    const std::string source = "type de carburant déclaré par le véhicule (PID 0x51)";
    EXPECT_EQ(EngineIdentifier::fromFuelType(std::nullopt, true, false), std::nullopt);
    EXPECT_EQ(EngineIdentifier::fromFuelType("Hybride diesel", true, true), (EngineIdentifier{"Diesel", "Hybride diesel", true, true, source}));
    EXPECT_EQ(EngineIdentifier::fromFuelType("Électrique", false, false), (EngineIdentifier{"Essence", "Électrique", false, false, source}));

    const auto diesel = EngineIdentifier::fromPartNumber("654");
    ASSERT_TRUE(diesel);
    EXPECT_EQ(diesel->agrees(std::nullopt), std::nullopt);
    EXPECT_EQ(diesel->agrees(false), false);
    EXPECT_EQ(diesel->agrees(true), true);
}
