// Matching, loading and export of the profile catalogue, and the shipped resource itself.
#include "VEQSupport/Text.hpp"
#include "VEQVehicle/JSONDecoding.hpp"
#include "VEQSupport/UnicodeText.hpp"
#include "VEQSupport/Resources.hpp"
#include "VEQVehicle/VehicleProfileCatalog.hpp"

#include "ProfileFixtures.hpp"
#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include <unistd.h>

using namespace veq;
using veq::testing::makeProfile;
using Json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kFuelWords = {"notAvailable", "gasoline", "methanol", "ethanol",
                                             "diesel",       "lpg",      "cng",      "propane",
                                             "electric",     "bifuelGasoline", "hybridGasoline", "hybridDiesel"};

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const fs::path& file, std::string_view text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

class TemporaryFolder {
public:
    TemporaryFolder() {
        path_ = fs::temp_directory_path() /
                ("veq-vehicle-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

} // namespace

// ---- matching

TEST(VehicleProfileCatalogTests, MatchFollowsChassisThenFuel) {
    const std::vector<VehicleProfile> list = {
        makeProfile("generic", "-"),
        makeProfile("w205-gasoline", "W205", "gasoline"),
        makeProfile("s205-diesel", "S205", "diesel"), // same model code, other first letter
        makeProfile("x253-any", "X253"),
        makeProfile("w213-hybrid", "W213", "hybridDiesel"),
        makeProfile("lower", "Xabc", "gasoline"),
    };
    using S = std::optional<std::string>;
    struct Case { S vin; S fuel; S expected; };
    const Case cases[] = {
        {std::nullopt, std::nullopt, std::nullopt},
        {std::nullopt, "gasoline", std::nullopt},                // no VIN: nothing, whatever agrees
        {"WDD2050041R123456", std::nullopt, "w205-gasoline"},    // both 205 profiles: the first
        {"WDD2050041R123456", "diesel", "s205-diesel"},          // the fuel decides
        {"WDD2050041R123456", "hybridDiesel", "s205-diesel"},
        {"WDD2050041R123456", "hybridGasoline", "w205-gasoline"},
        {"WDD2050041R123456", "lpg", std::nullopt},              // every candidate declares another fuel
        {"WDD2050041R123456", "Diesel", std::nullopt},           // fuel words are case-sensitive
        {"WDC2530041F123456", "diesel", "x253-any"},             // candidates without fuel: the first
        {"WDD2130041A123456", "diesel", "w213-hybrid"},
        {"WDD9990041R123456", std::nullopt, "generic"},          // unknown model code: every profile
        {"WDD9990041R123456", "diesel", "s205-diesel"},
        {"WDD9990041R123456", "electric", std::nullopt},
        {"WDC253004F123456", std::nullopt, "generic"},           // 16 characters: no chassis filter
        {"WDC2530041F1234567", std::nullopt, "generic"},         // 18 characters: no chassis filter
        {"", std::nullopt, "generic"},
        {"WDDABC0041R123456", std::nullopt, "generic"},          // "ABC" is not "abc"
        {"WDDabc0041R123456", "diesel", std::nullopt},           // "lower" alone qualifies, and declares gasoline
        {"WDD205004\u00E9R123456", std::nullopt, "w205-gasoline"}, // 17 characters in 18 bytes
        {"WDD205004e\u0301R123456", std::nullopt, "w205-gasoline"}, // a combining accent is no character of its own
    };
    for (const auto& c : cases) {
        const auto result = VehicleProfileCatalog::match(c.vin, c.fuel, list);
        EXPECT_EQ(result ? std::optional(result->id) : std::nullopt, c.expected)
            << c.vin.value_or("nil") << " / " << c.fuel.value_or("nil");
    }
}

TEST(VehicleProfileCatalogTests, MatchOnAnEmptyOrFuellessList) {
    EXPECT_EQ(VehicleProfileCatalog::match("WDD2050041R123456", "diesel", {}), std::nullopt);
    EXPECT_EQ(VehicleProfileCatalog::match("WDD2050041R123456", std::nullopt, {}), std::nullopt);
    const std::vector<VehicleProfile> one = {makeProfile("only", "W205", "gasoline")};
    EXPECT_EQ(VehicleProfileCatalog::match(std::nullopt, "gasoline", one), std::nullopt);
    EXPECT_EQ(VehicleProfileCatalog::match("short", "gasoline", one)->id, "only");
}

// ---- decoding a catalogue

TEST(VehicleProfileCatalogTests, DecodeRejectsTheWholeFileOnAnyFault) {
    const std::string good = "[" + std::string(veq::testing::fullProfileJSON) + "]";
    ASSERT_EQ(VehicleProfileCatalog::decode(good).size(), 1u);
    EXPECT_TRUE(VehicleProfileCatalog::decode("[]").empty());

    const std::string bad[] = {
        "",
        "{}",                                        // an object, not an array
        "null",
        good.substr(0, good.size() / 2),             // truncated
        good + "]",                                  // trailing garbage
        "[" + std::string(veq::testing::fullProfileJSON) + ", 3]",
        "[1e400]",                                   // out of range for a 64-bit float
        "[\"\xff\"]",                                // not UTF-8
    };
    for (const auto& text : bad) EXPECT_THROW(VehicleProfileCatalog::decode(text), JSONDecodingError) << text;
}

TEST(VehicleProfileCatalogTests, DecodingIgnoresTheFrenchLocale) {
    veq::testing::FrenchLocale french;
    if (!french.active()) GTEST_SKIP() << "no French locale on this machine";
    auto j = Json::parse(veq::testing::fullProfileJSON);
    j["tankCapacityL"] = 66.5;
    const auto text = Json::array({j}).dump();
    const auto profiles = VehicleProfileCatalog::decode(text);
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0].tankCapacityL, 66.5);
    EXPECT_NE(VehicleProfileCatalog::exportProfile(profiles[0]).find("\"tankCapacityL\": 66.5"), std::string::npos);
}

// ---- export

namespace {

// Whether every object of the text, at every depth, lists its keys in ascending order.
bool keysSortedEverywhere(const nlohmann::ordered_json& j) {
    if (j.is_object()) {
        std::string previous;
        bool first = true;
        for (const auto& [key, value] : j.items()) {
            if (!first && !(previous < key)) return false;
            first = false;
            previous = key;
            if (!keysSortedEverywhere(value)) return false;
        }
    } else if (j.is_array()) {
        for (const auto& v : j)
            if (!keysSortedEverywhere(v)) return false;
    }
    return true;
}

} // namespace

TEST(VehicleProfileCatalogTests, ExportSortsKeysKeepsSlashesAndRoundTrips) {
    const auto full = Json::parse(veq::testing::fullProfileJSON).get<VehicleProfile>();
    const auto text = VehicleProfileCatalog::exportProfile(full);
    EXPECT_TRUE(keysSortedEverywhere(nlohmann::ordered_json::parse(text))) << text;
    EXPECT_NE(text.find("Audio 20 / COMAND Online"), std::string::npos);
    EXPECT_EQ(text.find("\\/"), std::string::npos);
    EXPECT_NE(text.find('\n'), std::string::npos); // pretty-printed
    EXPECT_EQ(VehicleProfileCatalog::decode("[" + text + "]"), std::vector<VehicleProfile>{full});

    const auto minimal = makeProfile("m", "X253");
    const auto minimalText = VehicleProfileCatalog::exportProfile(minimal);
    EXPECT_EQ(minimalText.find("null"), std::string::npos);
    EXPECT_EQ(minimalText.find("fuelType"), std::string::npos);

    auto broken = minimal;
    broken.model = "Classe \xC3";
    EXPECT_THROW(VehicleProfileCatalog::exportProfile(broken), Error);
}

// ---- loading files

TEST(VehicleProfileCatalogTests, UnreadableFilesGiveAnEmptyCatalogue) {
    TemporaryFolder folder;
    const auto bundledFile = resources::bundleResource("VEQVehicle", VehicleProfileCatalog::resourceName, VehicleProfileCatalog::resourceType);
    ASSERT_TRUE(bundledFile);
    const std::string good = readText(*bundledFile);

    auto lacking = Json::parse(good);
    lacking[1].erase("busses");
    auto speedAsText = Json::parse(good);
    speedAsText[2]["busses"][0]["speed"] = "500000";
    auto ecusLacking = Json::parse(good);
    ecusLacking.back().erase("ecus");

    struct Case { const char* name; std::string text; };
    const Case cases[] = {
        {"truncated", good.substr(0, good.size() * 2 / 3)},
        {"empty", ""},
        {"lacking-busses", lacking.dump()},
        {"lacking-ecus", ecusLacking.dump()},
        {"speed-as-text", speedAsText.dump()},
        {"object", "{\"profiles\": []}"},
    };
    for (const auto& c : cases) {
        const auto file = folder.path() / (std::string(c.name) + ".json");
        writeText(file, c.text);
        EXPECT_TRUE(VehicleProfileCatalog::loadFile(file).empty()) << c.name;
    }
    EXPECT_TRUE(VehicleProfileCatalog::loadFile(folder.path() / "absent.json").empty());
    EXPECT_TRUE(VehicleProfileCatalog::loadFile(folder.path()).empty()); // a folder, not a file

    const auto huge = folder.path() / "huge.json";
    writeText(huge, "[]");
    fs::resize_file(huge, VehicleProfileCatalog::maxResourceBytes + 1);
    EXPECT_TRUE(VehicleProfileCatalog::loadFile(huge).empty());

    const auto copy = folder.path() / "copy.json";
    writeText(copy, good);
    EXPECT_EQ(VehicleProfileCatalog::loadFile(copy), VehicleProfileCatalog::bundled());
}

TEST(VehicleProfileCatalogDeathTest, AMissingBundleStopsWithBothPlaces) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Fixed names: the threadsafe style runs the statement again in a fresh process.
    const auto absent = fs::temp_directory_path() / "veq-vehicle-absent-bundle";
    EXPECT_DEATH((void)resources::locateBundle(absent / "beside", absent / "build"),
                 "could not load resource bundle: from " + (absent / "beside").string() + " or " +
                     (absent / "build").string());

    TemporaryFolder folder;
    const auto first = folder.path() / "beside" / "OskavelCar_VEQVehicle.bundle";
    const auto second = folder.path() / "build" / "OskavelCar_VEQVehicle.bundle";
    fs::create_directories(second);
    EXPECT_EQ(resources::locateBundle(first, second), second);
    fs::create_directories(first);
    EXPECT_EQ(resources::locateBundle(first, second), first);
}

// ---- the shipped resource

TEST(VehicleProfileCatalogTests, BundledCatalogueHoldsTheGenericProfileAndEightMore) {
    const auto profiles = VehicleProfileCatalog::bundled();
    ASSERT_GE(profiles.size(), 8u);
    const auto generic = VehicleProfileCatalog::generic();
    ASSERT_TRUE(generic);
    EXPECT_EQ(generic->id, "generic-obd2");
    EXPECT_EQ(profiles.front(), *generic); // first, so an unknown car without fuel type gets it
    EXPECT_FALSE(generic->fuelType);
    EXPECT_EQ(generic->ecus.size(), 8u);
    for (const auto& ecu : generic->ecus) EXPECT_TRUE(generic->isReachable(ecu)) << ecu.txId;
}

TEST(VehicleProfileCatalogTests, BundledProfilesAreConsistent) {
    const auto profiles = VehicleProfileCatalog::bundled();
    ASSERT_FALSE(profiles.empty());
    std::set<std::string> ids;
    for (const auto& p : profiles) {
        SCOPED_TRACE(p.id);
        EXPECT_TRUE(ids.insert(p.id).second) << "duplicate id";
        EXPECT_FALSE(p.manufacturer.empty() || p.model.empty() || p.platform.empty());

        std::set<std::string> busNames, txIds;
        for (const auto& bus : p.busses) {
            EXPECT_TRUE(busNames.insert(bus.name).second) << "duplicate bus " << bus.name;
            EXPECT_GT(bus.speed, 0);
            for (auto pin : bus.obdPins) EXPECT_TRUE(pin >= 1 && pin <= 16) << bus.name;
            if (!bus.reachable) {
                EXPECT_TRUE(bus.note) << "an unreachable bus says why: " << bus.name;
            }
        }
        EXPECT_FALSE(p.ecus.empty());
        for (const auto& ecu : p.ecus) {
            EXPECT_TRUE(txIds.insert(ecu.txId).second) << "duplicate ECU " << ecu.txId;
            EXPECT_TRUE(busNames.count(ecu.bus)) << ecu.name << " sits on an unlisted bus";
            EXPECT_TRUE(p.isReachable(ecu)) << ecu.name;
            for (const auto& id : {ecu.txId, ecu.rxId}) {
                std::vector<std::uint8_t> bytes;
                EXPECT_TRUE(id.size() == 3 && text::parseHexBytes("0" + id, bytes)) << id;
            }
        }
        if (p.tankCapacityL) {
            EXPECT_TRUE(*p.tankCapacityL > 0 && *p.tankCapacityL <= 200);
        }
        if (p.redlineRPM && p.maxRPM) {
            EXPECT_LE(*p.redlineRPM, *p.maxRPM);
        }
        if (p.fuelType) {
            EXPECT_NE(std::find(kFuelWords.begin(), kFuelWords.end(), *p.fuelType), kFuelWords.end()) << *p.fuelType;
        }
        if (p.id == VehicleProfileCatalog::genericID) continue;

        // One leading letter, then a model code a VIN can carry (no I, O or Q).
        const auto chars = unicode::characters(p.chassis);
        ASSERT_EQ(chars.size(), 4u) << p.chassis;
        for (std::size_t i = 1; i < 4; ++i) {
            const char c = chars[i].size() == 1 ? chars[i][0] : '?';
            EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z' && c != 'I' && c != 'O' && c != 'Q')) << p.chassis;
        }
        EXPECT_FALSE(p.years.empty());
        for (auto y : p.years) EXPECT_TRUE(y >= 1990 && y <= 2030) << y;
    }
}

TEST(VehicleProfileCatalogTests, BundledCatalogueMatchesRealVINs) {
    const auto profiles = VehicleProfileCatalog::bundled();
    using S = std::optional<std::string>;
    struct Case { S vin; S fuel; S expected; };
    const Case cases[] = {
        {"WDD2050041R123456", std::nullopt, "mercedes-w205-essence"},
        {"WDD2050041R123456", "diesel", "mercedes-w205-diesel"},
        {"WDD2050041R123456", "hybridGasoline", "mercedes-w205-essence"},
        {"W1K2130041A123456", "diesel", "mercedes-w213-diesel"},
        {"W1K2130041A123456", "gasoline", std::nullopt},        // the catalogue knows only the diesel W213
        {"WME4513311K123456", "gasoline", "smart-451-essence"},
        {"W1N4632761X123456", "diesel", "mercedes-w463"},        // no fuel declared: any fuel
        {"VF1RFB00X12345678", std::nullopt, "generic-obd2"},    // unknown model code, no fuel
        {std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto result = VehicleProfileCatalog::match(c.vin, c.fuel, profiles);
        EXPECT_EQ(result ? std::optional(result->id) : std::nullopt, c.expected)
            << c.vin.value_or("nil") << " / " << c.fuel.value_or("nil");
    }
}
