// Fuel system, secondary air, OBD standard and fuel type: raw values and French texts.
#include "VEQProtocol/StatusEnums.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

using namespace veq;

// Checked in the C locale and again under a French one: texts never go through the locale.
class StatusTexts : public ::testing::TestWithParam<bool> {};

TEST_P(StatusTexts, KnownAndUnknownBytes) {
    std::optional<veq::testing::FrenchLocale> french;
    ASSERT_TRUE(!GetParam() || french.emplace().active()) << "fr_FR.UTF-8 is not installed";
    const std::pair<std::string, std::string_view> cases[] = {
        {describe<FuelSystemStatus>(0x00), "Arrêt"},
        {describe<FuelSystemStatus>(0x10), "Boucle fermée (défaut sonde)"},
        {describe<FuelSystemStatus>(0x03), "Inconnu (0x3)"},
        {describe<FuelSystemStatus>(0xFF), "Inconnu (0xff)"},
        {describe<SecondaryAirStatus>(0x04), "Vers l'atmosphère (désactivé)"},
        {describe<SecondaryAirStatus>(0), "Non supporté"},
        {describe<OBDStandard>(10), "JOBD (Japon)"},
        {describe<OBDStandard>(0), "Norme 0x0"},
        {describe<OBDStandard>(0x1D), "Norme 0x1d"},
        {describe<FuelType>(3), "Éthanol"},
        {describe<FuelType>(19), "Hybride diesel"},
        {describe<FuelType>(18), "Type 0x12"},
        {describe<FuelType>(0xC8), "Type 0xc8"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(text, expected);
    EXPECT_EQ(fromRaw<SecondaryAirStatus>(3), std::nullopt);
    EXPECT_EQ(fromRaw<FuelType>(18), std::nullopt);
    EXPECT_EQ(fromRaw<FuelType>(17), FuelType::hybridGasoline);
}

INSTANTIATE_TEST_SUITE_P(CLocale, StatusTexts, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(FrenchLocale, StatusTexts, ::testing::Values(true));

TEST(FuelTypeTests, DieselAndPetrolFamilies) {
    const std::set<FuelType> diesel{FuelType::diesel, FuelType::hybridDiesel};
    const std::set<FuelType> petrol{FuelType::gasoline, FuelType::bifuelGasoline, FuelType::hybridGasoline};
    for (FuelType f : allKnownFuelTypes) {
        EXPECT_EQ(isDiesel(f), diesel.contains(f)) << label(f);
        EXPECT_EQ(isPetrol(f), petrol.contains(f)) << label(f);
    }
}
