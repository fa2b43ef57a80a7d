// The shipped coding recipes, vehicle profiles and simulated car fit together: on a recognised
// car the connection probes every ECU a recipe addresses, and on the simulated car each of them
// answers.
#include "VEQEngine/Coding/RecipeCatalog.hpp"
#include "VEQEngine/Session/ELM327Session.hpp"
#include "VEQEngine/UDS/ECUScanner.hpp"
#include "VEQProtocol/StatusEnums.hpp"
#include "VEQTransport/ELM327Emulator.hpp"
#include "VEQTransport/SimulatorTransport.hpp"
#include "VEQVehicle/VehicleProfileCatalog.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace veq;

namespace {

std::set<std::string> recipeAddresses() {
    std::set<std::string> addresses;
    for (const CodingRecipe& recipe : RecipeCatalog::bundled()) {
        if (recipe.ecuAddress) addresses.insert(*recipe.ecuAddress);
    }
    return addresses;
}

std::set<std::string> requestHeaders(const VehicleProfile& profile) {
    std::set<std::string> headers;
    for (const VehicleECU& ecu : profile.ecus) headers.insert(ecu.txId);
    return headers;
}

} // namespace

TEST(ShippedCataloguesTests, EveryProfileListsExactlyTheECUsTheRecipesAddress) {
    const auto addresses = recipeAddresses();
    ASSERT_FALSE(addresses.empty());
    const auto profiles = VehicleProfileCatalog::bundled();
    ASSERT_GE(profiles.size(), 8u);
    for (const VehicleProfile& profile : profiles) {
        SCOPED_TRACE(profile.id);
        EXPECT_EQ(requestHeaders(profile), addresses);
        EXPECT_EQ(profile.ecus.size(), addresses.size()) << "one entry per address";
        for (const VehicleECU& ecu : profile.ecus) {
            // Probed through the OBD socket, each answers on its request header plus 8.
            EXPECT_TRUE(profile.isReachable(ecu)) << ecu.txId;
            EXPECT_EQ(ecu.rxId, fmt::format("{:03X}", std::stoul(ecu.txId, nullptr, 16) + 8)) << ecu.txId;
        }
    }
}

TEST(ShippedCataloguesTests, TheSimulatedCarAnswersOnEveryECUOfTheProfilesItMatches) {
    auto transport = std::make_shared<SimulatorTransport>();
    ELM327Session session(transport);
    session.connect();
    session.runInitialization();
    const ELM327Response fuel = session.raw("0151");
    ASSERT_EQ(fuel.ecus.size(), 1u);
    ASSERT_EQ(fuel.ecus[0].payload.size(), 3u);
    ASSERT_EQ(fuel.ecus[0].payload[2], static_cast<std::uint8_t>(FuelType::hybridGasoline));

    const auto units = ELM327Emulator::unitHeaders();
    const std::set<std::string> unitSet(units.begin(), units.end());
    const auto profiles = VehicleProfileCatalog::bundled();
    // With the fuel the car declares, and when the fuel could not be read.
    for (const std::optional<std::string>& word : {std::optional<std::string>("hybridGasoline"), std::optional<std::string>()}) {
        const auto profile = VehicleProfileCatalog::match(ELM327Emulator{}.vin, word, profiles);
        ASSERT_TRUE(profile) << word.value_or("no fuel");
        SCOPED_TRACE(profile->id);
        EXPECT_EQ(requestHeaders(*profile), unitSet);
        std::vector<ECUCandidate> candidates;
        for (const VehicleECU& ecu : profile->ecus) candidates.push_back({ecu.name, ecu.txId, ecu.rxId});
        for (const DiscoveredECU& found : ECUScanner(session).scan(candidates)) {
            EXPECT_TRUE(found.responded) << found.txHeader;
            EXPECT_FALSE(found.partNumber.value_or("").empty()) << found.txHeader;
        }
    }
}
