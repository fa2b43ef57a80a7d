// Engine family from the engine ECU's part number or from the declared fuel type.
#include "VEQVehicle/EngineIdentifier.hpp"

#include <gtest/gtest.h>

#include <set>

using namespace veq;

TEST(EngineIdentifierTests, FamilyTableHoldsFourteenDistinctFamilies) {
    const auto& rows = EngineIdentifier::families;
    std::set<std::string_view> keys;
    int petrol = 0, diesel = 0, hybrid = 0;
    for (const auto& row : rows) {
        EXPECT_TRUE(keys.insert(row.key).second) << row.key;
        const std::string_view name = row.displayName;
        const auto space = name.find(' ');
        ASSERT_NE(space, std::string_view::npos) << name;
        const std::string_view code = name.substr(0, space);
        EXPECT_TRUE(code.ends_with(row.key)) << name;                       // "OM654" for "654"
        EXPECT_EQ(code.starts_with("OM"), row.isDiesel) << name;           // diesel codes are OM, petrol M
        EXPECT_EQ(name.substr(space, 5), " \u2014 ") << name;             // space, em dash, space
        (row.isDiesel ? diesel : petrol) += 1;
        hybrid += row.isHybrid;
    }
    EXPECT_EQ(rows.size(), 14u);
    EXPECT_EQ(petrol, 10);
    EXPECT_EQ(diesel, 4);
    EXPECT_EQ(hybrid, 1);
}

TEST(EngineIdentifierTests, EveryFamilyIsFoundFromAPartNumber) {
    for (const auto& row : EngineIdentifier::families) {
        const std::string part = "A " + std::string(row.key) + " 150 21 00";
        const auto engine = EngineIdentifier::fromPartNumber(part);
        ASSERT_TRUE(engine) << part;
        EXPECT_EQ(engine->displayName, row.displayName);
        EXPECT_EQ(engine->isDiesel, row.isDiesel);
        EXPECT_EQ(engine->isHybrid, row.isHybrid);
        EXPECT_EQ(engine->source, "numéro de pièce du calculateur moteur (" + part + ")");
    }
}

TEST(EngineIdentifierTests, PartNumbersOnlyTheirFirstThreeNumeralsCount) {
    using S = std::optional<std::string>;
    struct Case { S part; S family; bool diesel; bool hybrid; };
    const Case cases[] = {
        {"A 654 090 12 00", "OM654", true, false},
        {"A6540901200", "OM654", true, false},
        {"A-6/5x4", "OM654", true, false},       // letters and punctuation between the digits
        {"2560901500", "M256", false, true},
        {"2741234567", "M274", false, false},    // more digits after the key do not matter
        {"A2641401000 001", "M264", false, false},
        {"6510", "OM651", true, false},
        {"642", "OM642", true, false},
        {"1230901200", std::nullopt, false, false},
        {"A 65", std::nullopt, false, false},     // two digits
        {"", std::nullopt, false, false},
        {std::nullopt, std::nullopt, false, false},
        {"ABC", std::nullopt, false, false},
        // Other numerals are numeric characters too: they take a place and then match no key.
        {"\u00B2654", std::nullopt, false, false},  // superscript two, then 654
        {"6\u00B954", std::nullopt, false, false},  // superscript one inside
        {"\uFF16\uFF15\uFF14", std::nullopt, false, false}, // full-width 654
        {"\u2167654", std::nullopt, false, false},  // Roman numeral eight
        {"A\u00E9654", "OM654", true, false},       // a letter with an accent is dropped
        {"6\u03015", std::nullopt, false, false},   // a combining accent makes "6́" one character
    };
    for (const auto& c : cases) {
        const auto engine = EngineIdentifier::fromPartNumber(c.part);
        ASSERT_EQ(engine ? std::optional(engine->family) : std::nullopt, c.family) << c.part.value_or("nil");
        if (!engine) continue;
        EXPECT_EQ(engine->isDiesel, c.diesel);
        EXPECT_EQ(engine->isHybrid, c.hybrid);
        EXPECT_EQ(engine->source, "numéro de pièce du calculateur moteur (" + *c.part + ")");
    }
    const auto om654 = EngineIdentifier::fromPartNumber("A 654 090 12 00");
    ASSERT_TRUE(om654);
    EXPECT_EQ(*om654, (EngineIdentifier{"OM654", "OM654 \u2014 2.0 L 4 cyl. diesel", true, false,
                                        "numéro de pièce du calculateur moteur (A 654 090 12 00)"}));
}

TEST(EngineIdentifierTests, FuelTypeGivesAGenericFamily) {
    EXPECT_EQ(EngineIdentifier::fromFuelType(std::nullopt, true, false), std::nullopt);
    struct Case { const char* label; bool diesel; bool hybrid; const char* family; };
    const Case cases[] = {
        {"Diesel", true, false, "Diesel"},
        {"Hybride diesel", true, true, "Diesel"},
        {"Essence", false, false, "Essence"},
        {"Hybride essence", false, true, "Essence"},
        {"Électrique", false, false, "Essence"},
        {"", false, false, "Essence"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EngineIdentifier::fromFuelType(c.label, c.diesel, c.hybrid),
                  (EngineIdentifier{c.family, c.label, c.diesel, c.hybrid,
                                    "type de carburant déclaré par le véhicule (PID 0x51)"}))
            << c.label;
    }
}

TEST(EngineIdentifierTests, AgreesComparesTheDieselFlag) {
    const auto diesel = EngineIdentifier::fromPartNumber("654");
    const auto petrol = EngineIdentifier::fromPartNumber("264");
    ASSERT_TRUE(diesel && petrol);
    EXPECT_EQ(diesel->agrees(std::nullopt), std::nullopt);
    EXPECT_EQ(diesel->agrees(false), false);
    EXPECT_EQ(diesel->agrees(true), true);
    EXPECT_EQ(petrol->agrees(false), true);
    EXPECT_EQ(petrol->agrees(true), false);
}
