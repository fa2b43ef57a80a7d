// Derived members of the profile types and their strict JSON coding.
#include "VEQVehicle/JSONDecoding.hpp"
#include "VEQVehicle/VehicleProfile.hpp"

#include "ProfileFixtures.hpp"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace veq;
using veq::testing::fullProfileJSON;
using veq::testing::makeProfile;
using Json = nlohmann::json;

TEST(VehicleProfileTests, DisplayNameShowsTheYearSpan) {
    struct Case { std::vector<std::int64_t> years; const char* expected; };
    const Case cases[] = {
        {{}, "Mercedes-Benz Classe C (W205) "},
        {{2019}, "Mercedes-Benz Classe C (W205) 2019"},
        {{2014, 2021}, "Mercedes-Benz Classe C (W205) 2014\u20132021"},
        {{2021, 2014, 2018}, "Mercedes-Benz Classe C (W205) 2014\u20132021"},
        {{2020, 2020}, "Mercedes-Benz Classe C (W205) 2020"},
        {{-5, 12}, "Mercedes-Benz Classe C (W205) -5\u201312"},
    };
    for (const auto& c : cases) {
        auto p = makeProfile("p", "W205");
        p.years = c.years;
        EXPECT_EQ(p.displayName(), c.expected);
    }
}

TEST(VehicleProfileTests, FuelWordsAgreeAfterTheHybridPrefix) {
    using F = std::optional<std::string>;
    struct Case { F profile; F car; std::optional<bool> expected; };
    const Case cases[] = {
        {"diesel", "diesel", true},
        {"hybridDiesel", "diesel", true},
        {"diesel", "hybridDiesel", true},
        {"hybridGasoline", "gasoline", true},
        {"hybridGasoline", "hybridgasoline", true}, // both lower-cased after the prefix
        {"hybridDIESEL", "diesel", true},
        {"Diesel", "diesel", false},                // no prefix: compared as written
        {"gasoline", "Gasoline", false},
        {"HybridDiesel", "diesel", false},          // the prefix is case-sensitive
        {"hybridDiesel", "gasoline", false},
        {"hybrid", "hybrid", true},
        {"lpg", "cng", false},
        {std::nullopt, "diesel", std::nullopt},
        {"diesel", std::nullopt, std::nullopt},
        {std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto p = makeProfile("p", "W205", c.profile);
        EXPECT_EQ(p.matchesFuel(c.car), c.expected) << c.profile.value_or("nil") << " / " << c.car.value_or("nil");
    }
}

TEST(VehicleProfileTests, SpeedLabelDropsTheRemainder) {
    struct Case { std::int64_t speed; const char* expected; };
    const Case cases[] = {
        {500'000, "500 kbit/s"}, {83'333, "83 kbit/s"},   {999'999, "999 kbit/s"}, {999, "0 kbit/s"},
        {1'000'000, "1 Mbit/s"}, {1'500'000, "1 Mbit/s"}, {2'500'000, "2 Mbit/s"}, {100'000'000, "100 Mbit/s"},
    };
    for (const auto& c : cases) {
        const VehicleBus bus{"b", c.speed, {}, true, std::nullopt};
        EXPECT_EQ(bus.speedLabel(), c.expected) << c.speed;
    }
}

TEST(VehicleProfileTests, ReachabilityFollowsTheBusOfEachECU) {
    auto p = makeProfile("p", "W206");
    p.busses = {
        {"CAN diagnostic", 500000, {6, 14}, true, std::nullopt},
        {"Ethernet DoIP", 100000000, {3, 11, 12, 13}, false, "hors de portée"},
        {"CAN-B", 83333, {}, false, std::nullopt},
        {"CAN diagnostic", 500000, {6, 14}, false, std::nullopt}, // a duplicate name: the first counts
    };
    ASSERT_EQ(p.reachableBusses().size(), 1u);
    EXPECT_EQ(p.reachableBusses()[0].name, "CAN diagnostic");
    const auto unreachable = p.unreachableBusses();
    ASSERT_EQ(unreachable.size(), 3u);
    EXPECT_EQ(unreachable[0].name, "Ethernet DoIP");
    EXPECT_EQ(unreachable[1].name, "CAN-B");

    struct Case { const char* bus; bool expected; };
    const Case cases[] = {{"CAN diagnostic", true}, {"Ethernet DoIP", false}, {"CAN-B", false}, {"LIN", false}, {"", false}};
    for (const auto& c : cases) EXPECT_EQ(p.isReachable({"ECU", "7E0", "7E8", c.bus}), c.expected) << c.bus;
}

TEST(VehicleProfileTests, DecodesEveryField) {
    const auto p = Json::parse(fullProfileJSON).get<VehicleProfile>();
    EXPECT_EQ(p.id, "mercedes-w205-essence");
    EXPECT_EQ(p.years, (std::vector<std::int64_t>{2014, 2021}));
    EXPECT_EQ(p.headUnit, "Audio 20 / COMAND Online");
    ASSERT_EQ(p.busses.size(), 2u);
    EXPECT_EQ(p.busses[1], (VehicleBus{"CAN-B", 83333, {}, false, "derrière la passerelle"}));
    EXPECT_EQ(p.busses[0].note, std::nullopt);
    ASSERT_EQ(p.ecus.size(), 1u);
    EXPECT_EQ(p.ecus[0], (VehicleECU{"Calculateur moteur", "0x7E0", "0x7E8", "CAN diagnostic"}));
    ASSERT_TRUE(p.gaugeRanges.has_value());
    EXPECT_EQ(p.gaugeRanges->at("coolantTemp"),
              (GaugeRange{40, std::vector<double>{90, 105.5}, 115.0, 120.0, 130.0}));
    EXPECT_EQ(p.gaugeRanges->at("oilTemp"), (GaugeRange{50, std::nullopt, std::nullopt, std::nullopt, std::nullopt}));
    EXPECT_EQ(p.fuelType, "gasoline");
    EXPECT_EQ(p.tankCapacityL, 66.0);
    EXPECT_EQ(p.redlineRPM, 6200.5);
    EXPECT_EQ(p.maxRPM, 7000.0);
}

TEST(VehicleProfileTests, AbsentNullAndUnknownKeysAreAccepted) {
    struct Case { const char* pointer; Json value; };
    const Case accepted[] = {
        {"/headUnit", nullptr},
        {"/fuelType", nullptr},
        {"/gaugeRanges", nullptr},
        {"/gaugeRanges/coolantTemp/nominal", nullptr},
        {"/busses/1/note", nullptr},
        {"/tankCapacityL", nullptr},
        {"/colour", "rouge"},                      // unknown keys are ignored
        {"/busses/0/colour", 12},
        {"/years", Json::array()},
        {"/busses", Json::array()},
        {"/ecus", Json::array()},
        {"/gaugeRanges", Json::object()},
        {"/busses/0/speed", -1},
        {"/busses/0/speed", 9223372036854775807LL}, // the largest signed 64-bit integer
        {"/maxRPM", 7000.75},
    };
    for (const auto& c : accepted) {
        auto j = Json::parse(fullProfileJSON);
        j[Json::json_pointer(c.pointer)] = c.value;
        EXPECT_NO_THROW(decodeVehicleProfile(j)) << c.pointer << " = " << c.value.dump();
    }

    auto j = Json::parse(fullProfileJSON);
    for (const char* key : {"headUnit", "engine", "gaugeRanges", "fuelType", "tankCapacityL", "redlineRPM", "maxRPM"})
        j.erase(key);
    const auto p = decodeVehicleProfile(j);
    EXPECT_FALSE(p.headUnit || p.engine || p.gaugeRanges || p.fuelType || p.tankCapacityL || p.redlineRPM || p.maxRPM);
}

// nlohmann would read true as 1 and 500000.7 as 500000: every one of these must be refused,
// and the error must name the faulty value.
TEST(VehicleProfileTests, WrongJSONTypesAreRefusedWithTheirPlace) {
    struct Case { const char* pointer; Json value; const char* path; };
    const Case refused[] = {
        {"/busses/0/speed", "500000", "busses[0].speed"},
        {"/busses/0/speed", true, "busses[0].speed"},
        {"/busses/0/speed", 500000.7, "busses[0].speed"},
        {"/busses/0/speed", 500000.0, "busses[0].speed"},
        {"/busses/0/speed", 9223372036854775808ULL, "busses[0].speed"},
        {"/busses/0/obdPins/1", 14.5, "busses[0].obdPins[1]"},
        {"/busses/0/reachable", 1, "busses[0].reachable"},
        {"/busses/1/note", false, "busses[1].note"},
        {"/years/1", true, "years[1]"},
        {"/years", "2014", "years"},
        {"/id", 12, "id"},
        {"/headUnit", 3, "headUnit"},
        {"/tankCapacityL", "66", "tankCapacityL"},
        {"/tankCapacityL", true, "tankCapacityL"},
        {"/ecus/0/txId", 0x7E0, "ecus[0].txId"},
        {"/ecus/0", "7E0", "ecus[0]"},
        {"/gaugeRanges", Json::array(), "gaugeRanges"},
        {"/gaugeRanges/coolantTemp/min", nullptr, "gaugeRanges.coolantTemp.min"},
        {"/gaugeRanges/coolantTemp/nominal/1", "x", "gaugeRanges.coolantTemp.nominal[1]"},
        {"/gaugeRanges/oilTemp", 50, "gaugeRanges.oilTemp"},
    };
    for (const auto& c : refused) {
        auto j = Json::parse(fullProfileJSON);
        j[Json::json_pointer(c.pointer)] = c.value;
        try {
            (void)decodeVehicleProfile(j);
            ADD_FAILURE() << c.pointer << " = " << c.value.dump() << " was accepted";
        } catch (const JSONDecodingError& e) {
            EXPECT_EQ(e.path(), c.path) << c.pointer;
            EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos) << e.what();
        }
    }
}

TEST(VehicleProfileTests, MissingRequiredKeysAreRefused) {
    const char* required[] = {"/id", "/manufacturer", "/model", "/chassis", "/years", "/platform", "/busses",
                              "/ecus", "/busses/0/name", "/busses/0/speed", "/busses/0/obdPins",
                              "/busses/0/reachable", "/ecus/0/name", "/ecus/0/txId", "/ecus/0/rxId",
                              "/ecus/0/bus", "/gaugeRanges/coolantTemp/min"};
    for (const char* pointer : required) {
        auto j = Json::parse(fullProfileJSON);
        const Json::json_pointer ptr(pointer);
        j[ptr.parent_pointer()].erase(ptr.back());
        EXPECT_THROW(decodeVehicleProfile(j), JSONDecodingError) << pointer;
    }
}

TEST(VehicleProfileTests, EncodingLeavesAbsentOptionalsOutAndRoundTrips) {
    const auto full = Json::parse(fullProfileJSON).get<VehicleProfile>();
    EXPECT_EQ(Json(full).get<VehicleProfile>(), full);

    const auto minimal = makeProfile("m", "X253");
    const Json j = minimal;
    for (const char* key : {"headUnit", "engine", "gaugeRanges", "fuelType", "tankCapacityL", "redlineRPM", "maxRPM"})
        EXPECT_FALSE(j.contains(key)) << key;
    EXPECT_FALSE(j["busses"][0].contains("note"));
    EXPECT_EQ(j["busses"][0]["speed"], 500000);
    EXPECT_TRUE(j["busses"][0]["speed"].is_number_integer());
    EXPECT_EQ(j.get<VehicleProfile>(), minimal);
}

TEST(VehicleProfileTests, EqualValuesHashAlikeAndEveryFieldCounts) {
    const auto base = Json::parse(fullProfileJSON).get<VehicleProfile>();
    const std::hash<VehicleProfile> hash;
    EXPECT_EQ(hash(base), hash(Json(base).get<VehicleProfile>()));

    std::vector<VehicleProfile> variants(9, base);
    variants[0].id = "autre";
    variants[1].years = {2014};
    variants[2].headUnit.reset();
    variants[3].busses[0].speed = 250000;
    variants[4].ecus[0].rxId = "7E9";
    variants[5].gaugeRanges->at("coolantTemp").warn.reset();
    variants[6].fuelType = "diesel";
    variants[7].maxRPM = 6500;
    variants[8].busses[1].note.reset();
    std::unordered_set<VehicleProfile> set{base};
    for (const auto& v : variants) {
        EXPECT_NE(v, base);
        set.insert(v);
    }
    EXPECT_EQ(set.size(), variants.size() + 1); // distinct values stay distinct in a hashed set
}
