// Matching, loading and export of the profile catalogue, and the shipped resource itself.
#include "VEQSupport/Resources.hpp"
#include "VEQSupport/UnicodeText.hpp"
#include "VEQVehicle/JSONDecoding.hpp"
#include "VEQVehicle/VehicleProfileCatalog.hpp"

#include "ProfileFixtures.hpp"
#include "TestSupport/FrenchLocale.hpp"
#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <set>

using namespace veq;
using veq::testing::makeProfile;
using Json = nlohmann::json;
namespace fs = std::filesystem;
using S = std::optional<std::string>;

namespace {

void expectMatches(const std::vector<VehicleProfile>& profiles, std::initializer_list<std::tuple<S, S, S>> cases) {
    for (const auto& [vin, fuel, expected] : cases) {
        const auto result = VehicleProfileCatalog::match(vin, fuel, profiles);
        EXPECT_EQ(result ? S(result->id) : std::nullopt, expected) << vin.value_or("nil") << " / " << fuel.value_or("nil");
    }
}

} // namespace

TEST(VehicleProfileCatalogTests, MatchFollowsChassisThenFuel) {
    expectMatches({makeProfile("generic", "-"), makeProfile("w205-gasoline", "W205", "gasoline"),
                   makeProfile("s205-diesel", "S205", "diesel"), // same model code, other first letter
                   makeProfile("x253-any", "X253"), makeProfile("lower", "Xabc", "gasoline")},
                  {
                      {std::nullopt, "gasoline", std::nullopt},             // no VIN: nothing, whatever agrees
                      {"WDD2050041R123456", std::nullopt, "w205-gasoline"}, // both 205 profiles: the first
                      {"WDD2050041R123456", "hybridDiesel", "s205-diesel"}, // the fuel decides
                      {"WDD2050041R123456", "lpg", std::nullopt},           // every candidate declares another fuel
                      {"WDD2050041R123456", "Diesel", std::nullopt},        // fuel words are case-sensitive
                      {"WDC2530041F123456", "diesel", "x253-any"},          // candidates without fuel: the first
                      {"WDD9990041R123456", "diesel", std::nullopt},        // unknown model code: no other car stands in
                      {"WDD9990041R123456", std::nullopt, std::nullopt},
                      {"WP0ZZZ99ZTS390000", "gasoline", std::nullopt},      // another maker
                      {"WDC253004F123456", std::nullopt, std::nullopt},     // 16 characters: no chassis to read
                      {"WDDABC0041R123456", std::nullopt, std::nullopt},    // "ABC" is not "abc"
                      {"WDDabc0041R123456", "diesel", std::nullopt},        // "lower" alone qualifies, and declares gasoline
                      {"WDD205004\u00E9R123456", std::nullopt, "w205-gasoline"},   // 17 characters in 18 bytes
                      {"WDD205004e\u0301R123456", std::nullopt, "w205-gasoline"}, // a combining accent is no character of its own
                  });
    expectMatches({}, {{"WDD2050041R123456", "diesel", std::nullopt}});
}

TEST(VehicleProfileCatalogTests, DecodeRejectsTheWholeFileOnAnyFault) {
    const std::string good = "[" + std::string(veq::testing::fullProfileJSON) + "]";
    ASSERT_EQ(VehicleProfileCatalog::decode(good).size(), 1u);
    EXPECT_TRUE(VehicleProfileCatalog::decode("[]").empty());
    for (const std::string& text : {std::string(), std::string("{}"), good.substr(0, good.size() / 2), good + "]",
                                    "[" + std::string(veq::testing::fullProfileJSON) + ", 3]", std::string("[1e400]"),
                                    std::string("[\"\xff\"]")})
        EXPECT_THROW(VehicleProfileCatalog::decode(text), JSONDecodingError) << text;
}

TEST(VehicleProfileCatalogTests, DecodingAndExportIgnoreTheFrenchLocale) {
    veq::testing::FrenchLocale french;
    ASSERT_TRUE(french.active()) << "fr_FR.UTF-8 is not installed";
    auto j = Json::parse(veq::testing::fullProfileJSON);
    j["tankCapacityL"] = 66.5;
    const auto profiles = VehicleProfileCatalog::decode(Json::array({j}).dump());
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0].tankCapacityL, 66.5);
    EXPECT_NE(VehicleProfileCatalog::exportProfile(profiles[0]).find("\"tankCapacityL\": 66.5"), std::string::npos);
}

TEST(VehicleProfileCatalogTests, ExportSortsKeysKeepsSlashesAndRoundTrips) {
    const auto full = Json::parse(veq::testing::fullProfileJSON).get<VehicleProfile>();
    const auto text = VehicleProfileCatalog::exportProfile(full);
    // Read back keeping the text's key order, and read back sorting keys: the same document.
    EXPECT_EQ(nlohmann::ordered_json::parse(text).dump(), Json::parse(text).dump()) << text;
    EXPECT_NE(text.find("Audio 20 / COMAND Online"), std::string::npos);
    EXPECT_NE(text.find('\n'), std::string::npos); // pretty-printed
    EXPECT_EQ(VehicleProfileCatalog::decode("[" + text + "]"), std::vector<VehicleProfile>{full});
    EXPECT_EQ(VehicleProfileCatalog::exportProfile(makeProfile("m", "X253")).find("null"), std::string::npos);
    auto broken = makeProfile("m", "X253");
    broken.model = "Classe \xC3";
    EXPECT_THROW(VehicleProfileCatalog::exportProfile(broken), Error);
}

TEST(VehicleProfileCatalogTests, UnreadableFilesGiveAnEmptyCatalogue) {
    veq::testing::TemporaryFolder folder;
    const auto bundledFile = resources::bundleResource("VEQVehicle", VehicleProfileCatalog::resourceName, VehicleProfileCatalog::resourceType);
    ASSERT_TRUE(bundledFile);
    const std::string good = veq::testing::readFile(*bundledFile);
    for (const std::string& text : {good.substr(0, good.size() * 2 / 3), std::string("{\"profiles\": []}")}) {
        veq::testing::writeFile(folder / "bad.json", text);
        EXPECT_TRUE(VehicleProfileCatalog::loadFile(folder / "bad.json").empty()) << text.size();
    }
    EXPECT_TRUE(VehicleProfileCatalog::loadFile(folder / "absent.json").empty());
    EXPECT_TRUE(VehicleProfileCatalog::loadFile(folder.path()).empty()); // a folder, not a file
    veq::testing::writeFile(folder / "huge.json", "[]");
    fs::resize_file(folder / "huge.json", VehicleProfileCatalog::maxResourceBytes + 1);
    EXPECT_TRUE(VehicleProfileCatalog::loadFile(folder / "huge.json").empty());
    veq::testing::writeFile(folder / "copy.json", good);
    EXPECT_EQ(VehicleProfileCatalog::loadFile(folder / "copy.json"), VehicleProfileCatalog::bundled());
}

TEST(VehicleProfileCatalogDeathTest, AMissingBundleStopsWithBothPlaces) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Fixed names: the threadsafe style runs the statement again in a fresh process.
    const auto absent = fs::temp_directory_path() / "veq-vehicle-absent-bundle";
    EXPECT_DEATH((void)resources::locateBundle(absent / "beside", absent / "build"),
                 "could not load resource bundle: from " + (absent / "beside").string() + " or " + (absent / "build").string());

    veq::testing::TemporaryFolder folder;
    const auto first = folder / "beside" / "OskavelCar_VEQVehicle.bundle";
    const auto second = folder / "build" / "OskavelCar_VEQVehicle.bundle";
    fs::create_directories(second);
    EXPECT_EQ(resources::locateBundle(first, second), second);
    fs::create_directories(first);
    EXPECT_EQ(resources::locateBundle(first, second), first);
}

// The shipped resource: the generic profile first, every profile consistent and shown under a
// name of its own, and real VINs matched.
TEST(VehicleProfileCatalogTests, BundledCatalogue) {
    const auto profiles = VehicleProfileCatalog::bundled();
    ASSERT_GE(profiles.size(), 9u);
    const auto generic = VehicleProfileCatalog::generic();
    ASSERT_TRUE(generic);
    EXPECT_EQ(profiles.front(), *generic);
    EXPECT_EQ(generic->id, "generic-obd2");
    EXPECT_FALSE(generic->fuelType);
    EXPECT_EQ(generic->ecus.size(), 10u); // the OBD-II addresses 7E0-7E7, and 740 and 7B2 that coding recipes address

    std::set<std::string> ids, names;
    for (const auto& p : profiles) {
        EXPECT_TRUE(ids.insert(p.id).second) << "duplicate id " << p.id;
        EXPECT_TRUE(names.insert(p.displayName()).second) << p.id << ": the pickers already show " << p.displayName();
        for (const auto& bus : p.busses) EXPECT_TRUE(bus.reachable || bus.note) << p.id << ": an unreachable bus says why";
        std::set<std::string> txIds;
        for (const auto& ecu : p.ecus) {
            EXPECT_TRUE(txIds.insert(ecu.txId).second) << p.id << ": ECU " << ecu.txId << " twice";
            EXPECT_TRUE(p.isReachable(ecu)) << p.id << ": " << ecu.name << " sits on an unlisted or unreachable bus";
        }
        if (p.id == VehicleProfileCatalog::genericID) continue;
        // One leading letter, then a model code a VIN can carry (no I, O or Q).
        const auto chars = unicode::characters(p.chassis);
        EXPECT_EQ(chars.size(), 4u) << p.chassis;
        for (std::size_t i = 1; i < chars.size(); ++i)
            EXPECT_NE(std::string("0123456789ABCDEFGHJKLMNPRSTUVWXYZ").find(chars[i]), std::string::npos) << p.chassis;
    }
    expectMatches(profiles, {
        {"WDD2050041R123456", std::nullopt, "mercedes-w205-essence"},
        {"WDD2050041R123456", "diesel", "mercedes-w205-diesel"},
        {"W1K2130041A123456", "gasoline", std::nullopt}, // the catalogue knows only the diesel W213
        {"WME4513311K123456", "gasoline", "smart-451-essence"},
        {"W1N4632761X123456", "diesel", "mercedes-w463"}, // no fuel declared: any fuel
        {"VF1RFB00X12345678", std::nullopt, std::nullopt}, // unknown model code
        {"WDD2571231A123456", "hybridGasoline", "mercedes-c257-essence"}, // the simulated car
    });
}
