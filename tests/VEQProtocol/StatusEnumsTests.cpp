// Fuel system, secondary air, OBD standard and fuel type: raw values and French texts.
#include "VEQProtocol/StatusEnums.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

#include <string_view>

using namespace veq;

namespace {

// Every case in declaration order with its raw byte and text.
template <class E>
void expectCases(std::initializer_list<std::pair<int, std::string_view>> table) {
    ASSERT_EQ(allCases<E>().size(), table.size());
    std::size_t i = 0;
    for (const auto& [raw, text] : table) {
        const E e = allCases<E>()[i++];
        EXPECT_EQ(rawValue(e), raw) << text;
        EXPECT_EQ(fromRaw<E>(static_cast<std::uint8_t>(raw)), e) << text;
        EXPECT_EQ(describe<E>(static_cast<std::uint8_t>(raw)), text);
    }
}

} // namespace

// Checked in the C locale and again under a French one: texts never go through the locale.
class StatusTexts : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (!GetParam()) return;
        french_.emplace();
        ASSERT_TRUE(french_->active()) << "fr_FR.UTF-8 is not installed";
    }
    std::optional<veq::testing::FrenchLocale> french_;
};

TEST_P(StatusTexts, KnownCases) {
    expectCases<FuelSystemStatus>({{0x00, "Arrêt"}, {0x01, "Boucle ouverte (température)"}, {0x02, "Boucle fermée"},
                                   {0x04, "Boucle ouverte (charge)"}, {0x08, "Boucle ouverte (défaut)"},
                                   {0x10, "Boucle fermée (défaut sonde)"}});
    expectCases<SecondaryAirStatus>({{0x01, "En amont"}, {0x02, "En aval du catalyseur"},
                                     {0x04, "Vers l'atmosphère (désactivé)"}, {0x08, "En diagnostic"}});
    expectCases<OBDStandard>({{1, "OBD-II (CARB)"}, {2, "OBD (EPA)"}, {3, "OBD et OBD-II"}, {4, "OBD-I"},
                              {5, "Non conforme OBD"}, {6, "EOBD (Europe)"}, {7, "EOBD et OBD-II"},
                              {8, "EOBD et OBD"}, {9, "EOBD, OBD et OBD-II"}, {10, "JOBD (Japon)"}});
    expectCases<FuelType>({{0, "Non disponible"}, {1, "Essence"}, {2, "Méthanol"}, {3, "Éthanol"}, {4, "Diesel"},
                           {5, "GPL"}, {6, "GNV"}, {7, "Propane"}, {8, "Électrique"}, {9, "Bicarburation essence"},
                           {17, "Hybride essence"}, {19, "Hybride diesel"}});
}

TEST_P(StatusTexts, BytesThatAreNoCase) {
    const std::pair<std::string, std::string_view> cases[] = {
        {describe<FuelSystemStatus>(0x03), "Inconnu (0x3)"}, {describe<FuelSystemStatus>(0x20), "Inconnu (0x20)"},
        {describe<FuelSystemStatus>(0xFF), "Inconnu (0xff)"}, {describe<SecondaryAirStatus>(3), "Non supporté"},
        {describe<SecondaryAirStatus>(0), "Non supporté"},    {describe<OBDStandard>(0), "Norme 0x0"},
        {describe<OBDStandard>(11), "Norme 0xb"},            {describe<OBDStandard>(0x1D), "Norme 0x1d"},
        {describe<FuelType>(0x0A), "Type 0xa"},              {describe<FuelType>(0x10), "Type 0x10"},
        {describe<FuelType>(18), "Type 0x12"},               {describe<FuelType>(0xC8), "Type 0xc8"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(text, expected);
    EXPECT_EQ(fromRaw<SecondaryAirStatus>(3), std::nullopt);
    EXPECT_EQ(fromRaw<FuelType>(18), std::nullopt);
    EXPECT_EQ(fromRaw<OBDStandard>(0), std::nullopt);
    EXPECT_EQ(fromRaw<FuelSystemStatus>(0x03), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(CLocale, StatusTexts, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(FrenchLocale, StatusTexts, ::testing::Values(true));

TEST(FuelTypeTests, DieselAndPetrolFamilies) {
    EXPECT_EQ(&allKnownFuelTypes, &allCases<FuelType>());
    const std::set<FuelType> diesel{FuelType::diesel, FuelType::hybridDiesel};
    const std::set<FuelType> petrol{FuelType::gasoline, FuelType::bifuelGasoline, FuelType::hybridGasoline};
    for (FuelType f : allKnownFuelTypes) {
        EXPECT_EQ(isDiesel(f), diesel.contains(f)) << label(f);
        EXPECT_EQ(isPetrol(f), petrol.contains(f)) << label(f);
    }
}
