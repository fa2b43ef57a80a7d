// Fuel system, secondary air, OBD standard and fuel type: raw values and French texts.
#include "VEQProtocol/StatusEnums.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

#include <string_view>

using namespace veq;

namespace {

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

TEST(StatusEnumsTests, FuelSystemStatus) {
    expectCases<FuelSystemStatus>({{0x00, "Arrêt"},
                                   {0x01, "Boucle ouverte (température)"},
                                   {0x02, "Boucle fermée"},
                                   {0x04, "Boucle ouverte (charge)"},
                                   {0x08, "Boucle ouverte (défaut)"},
                                   {0x10, "Boucle fermée (défaut sonde)"}});
    EXPECT_EQ(description(FuelSystemStatus::closedLoop), "Boucle fermée");
}

TEST(StatusEnumsTests, SecondaryAirStatus) {
    expectCases<SecondaryAirStatus>({{0x01, "En amont"},
                                     {0x02, "En aval du catalyseur"},
                                     {0x04, "Vers l'atmosphère (désactivé)"},
                                     {0x08, "En diagnostic"}});
}

TEST(StatusEnumsTests, OBDStandard) {
    expectCases<OBDStandard>({{1, "OBD-II (CARB)"},
                              {2, "OBD (EPA)"},
                              {3, "OBD et OBD-II"},
                              {4, "OBD-I"},
                              {5, "Non conforme OBD"},
                              {6, "EOBD (Europe)"},
                              {7, "EOBD et OBD-II"},
                              {8, "EOBD et OBD"},
                              {9, "EOBD, OBD et OBD-II"},
                              {10, "JOBD (Japon)"}});
}

TEST(StatusEnumsTests, FuelTypeLabelsAndFamilies) {
    expectCases<FuelType>({{0, "Non disponible"},
                           {1, "Essence"},
                           {2, "Méthanol"},
                           {3, "Éthanol"},
                           {4, "Diesel"},
                           {5, "GPL"},
                           {6, "GNV"},
                           {7, "Propane"},
                           {8, "Électrique"},
                           {9, "Bicarburation essence"},
                           {17, "Hybride essence"},
                           {19, "Hybride diesel"}});
    EXPECT_EQ(&allKnownFuelTypes, &allCases<FuelType>());

    struct Family {
        FuelType fuel;
        bool diesel;
        bool petrol;
    };
    const Family families[] = {
        {FuelType::notAvailable, false, false}, {FuelType::gasoline, false, true},
        {FuelType::methanol, false, false},     {FuelType::ethanol, false, false},
        {FuelType::diesel, true, false},        {FuelType::lpg, false, false},
        {FuelType::cng, false, false},          {FuelType::propane, false, false},
        {FuelType::electric, false, false},     {FuelType::bifuelGasoline, false, true},
        {FuelType::hybridGasoline, false, true}, {FuelType::hybridDiesel, true, false},
    };
    for (const Family& f : families) {
        EXPECT_EQ(isDiesel(f.fuel), f.diesel) << label(f.fuel);
        EXPECT_EQ(isPetrol(f.fuel), f.petrol) << label(f.fuel);
    }
}

TEST(StatusEnumsTests, BytesThatAreNoCase) {
    EXPECT_EQ(fromRaw<SecondaryAirStatus>(3), std::nullopt);
    EXPECT_EQ(fromRaw<FuelType>(18), std::nullopt);
    EXPECT_EQ(fromRaw<OBDStandard>(0), std::nullopt);
    EXPECT_EQ(fromRaw<FuelSystemStatus>(0x03), std::nullopt);

    EXPECT_EQ(describe<FuelSystemStatus>(0x03), "Inconnu (0x3)");
    EXPECT_EQ(describe<FuelSystemStatus>(0x20), "Inconnu (0x20)");
    EXPECT_EQ(describe<FuelSystemStatus>(0xFF), "Inconnu (0xff)");
    EXPECT_EQ(describe<SecondaryAirStatus>(3), "Non supporté");
    EXPECT_EQ(describe<SecondaryAirStatus>(0), "Non supporté");
    EXPECT_EQ(describe<OBDStandard>(0), "Norme 0x0");
    EXPECT_EQ(describe<OBDStandard>(11), "Norme 0xb");
    EXPECT_EQ(describe<OBDStandard>(0x1D), "Norme 0x1d");
    EXPECT_EQ(describe<FuelType>(0x0A), "Type 0xa");
    EXPECT_EQ(describe<FuelType>(0x10), "Type 0x10");
    EXPECT_EQ(describe<FuelType>(18), "Type 0x12");
    EXPECT_EQ(describe<FuelType>(20), "Type 0x14");
}

// Every byte has a text, and the unknown-byte texts do not depend on the process locale.
TEST(StatusEnumsFrenchLocale, EveryByteDescribedAlike) {
    std::vector<std::string> plain;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        for (const std::string& t : {describe<FuelSystemStatus>(byte), describe<SecondaryAirStatus>(byte),
                                     describe<OBDStandard>(byte), describe<FuelType>(byte)})
            plain.push_back(t);
    }
    veq::testing::FrenchLocale french;
    ASSERT_TRUE(french.active()) << "fr_FR.UTF-8 is not installed";
    std::size_t i = 0;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        for (const std::string& t : {describe<FuelSystemStatus>(byte), describe<SecondaryAirStatus>(byte),
                                     describe<OBDStandard>(byte), describe<FuelType>(byte)}) {
            EXPECT_FALSE(t.empty());
            EXPECT_EQ(t, plain[i++]);
        }
    }
    EXPECT_EQ(describe<FuelType>(0x13), "Hybride diesel");
    EXPECT_EQ(describe<FuelType>(0xC8), "Type 0xc8");
    EXPECT_EQ(describe<FuelSystemStatus>(0x08), "Boucle ouverte (défaut)");
    EXPECT_EQ(describe<OBDStandard>(0x0A), "JOBD (Japon)");
}
