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

TEST(VehicleProfileTests, DisplayNameAndSpeedLabel) {
    const std::pair<std::vector<std::int64_t>, const char*> names[] = {
        {{}, "Mercedes-Benz Classe C (W205) "},
        {{2021, 2014, 2018}, "Mercedes-Benz Classe C (W205) 2014\u20132021"},
        {{2020, 2020}, "Mercedes-Benz Classe C (W205) 2020"},
    };
    for (const auto& [years, expected] : names) {
        auto p = makeProfile("p", "W205");
        p.years = years;
        EXPECT_EQ(p.displayName(), expected);
    }
    const std::pair<std::int64_t, const char*> speeds[] = {
        {83'333, "83 kbit/s"}, {999'999, "999 kbit/s"}, {999, "0 kbit/s"}, {1'500'000, "1 Mbit/s"}, {100'000'000, "100 Mbit/s"},
    };
    for (const auto& [speed, label] : speeds) EXPECT_EQ((VehicleBus{"b", speed, {}, true, std::nullopt}).speedLabel(), label);
}

TEST(VehicleProfileTests, FuelWordsAgreeAfterTheHybridPrefix) {
    using F = std::optional<std::string>;
    const std::tuple<F, F, std::optional<bool>> cases[] = { // profile, car, agreement
        {"hybridDiesel", "diesel", true},
        {"diesel", "hybridDiesel", true},
        {"hybridGasoline", "hybridgasoline", true}, // both lower-cased after the prefix
        {"Diesel", "diesel", false},                // no prefix: compared as written
        {"HybridDiesel", "diesel", false},          // the prefix is case-sensitive
        {"hybridDiesel", "gasoline", false},
        {"hybrid", "hybrid", true},
        {std::nullopt, "diesel", std::nullopt},
        {"diesel", std::nullopt, std::nullopt},
    };
    for (const auto& [profile, car, expected] : cases)
        EXPECT_EQ(makeProfile("p", "W205", profile).matchesFuel(car), expected) << profile.value_or("nil") << " / " << car.value_or("nil");
}

TEST(VehicleProfileTests, ReachabilityFollowsTheBusOfEachECU) {
    auto p = makeProfile("p", "W206");
    p.busses = {
        {"CAN diagnostic", 500000, {6, 14}, true, std::nullopt},
        {"Ethernet DoIP", 100000000, {3, 11, 12, 13}, false, "hors de portée"},
        {"CAN-B", 83333, {}, false, std::nullopt},
        {"CAN diagnostic", 500000, {6, 14}, false, std::nullopt}, // a duplicate name: the first counts
    };
    EXPECT_EQ(p.reachableBusses(), std::vector<VehicleBus>{p.busses[0]});
    EXPECT_EQ(p.unreachableBusses(), (std::vector<VehicleBus>{p.busses[1], p.busses[2], p.busses[3]}));
    const std::pair<const char*, bool> cases[] = {{"CAN diagnostic", true}, {"Ethernet DoIP", false}, {"CAN-B", false}, {"LIN", false}};
    for (const auto& [bus, expected] : cases) EXPECT_EQ(p.isReachable({"ECU", "7E0", "7E8", bus}), expected) << bus;
}

TEST(VehicleProfileTests, DecodesEveryFieldAndEncodesBack) {
    const auto p = Json::parse(fullProfileJSON).get<VehicleProfile>();
    EXPECT_EQ(std::tie(p.id, p.years, p.headUnit), std::make_tuple("mercedes-w205-essence", std::vector<std::int64_t>{2014, 2021},
                                                                   std::optional<std::string>("Audio 20 / COMAND Online")));
    EXPECT_EQ(p.busses, (std::vector<VehicleBus>{{"CAN diagnostic", 500000, {6, 14}, true, std::nullopt},
                                                 {"CAN-B", 83333, {}, false, "derrière la passerelle"}}));
    EXPECT_EQ(p.ecus, (std::vector<VehicleECU>{{"Calculateur moteur", "0x7E0", "0x7E8", "CAN diagnostic"}}));
    EXPECT_EQ(p.gaugeRanges, (std::map<std::string, GaugeRange>{{"coolantTemp", {40, std::vector<double>{90, 105.5}, 115.0, 120.0, 130.0}},
                                                                {"oilTemp", {50, std::nullopt, std::nullopt, std::nullopt, std::nullopt}}}));
    EXPECT_EQ(std::tie(p.fuelType, p.tankCapacityL, p.redlineRPM, p.maxRPM),
              std::make_tuple(std::optional<std::string>("gasoline"), std::optional(66.0), std::optional(6200.5), std::optional(7000.0)));
    EXPECT_EQ(Json(p).get<VehicleProfile>(), p);

    const auto minimal = makeProfile("m", "X253");
    const Json j = minimal;
    for (const char* key : {"headUnit", "engine", "gaugeRanges", "fuelType", "tankCapacityL", "redlineRPM", "maxRPM"})
        EXPECT_FALSE(j.contains(key)) << key;
    EXPECT_FALSE(j["busses"][0].contains("note"));
    EXPECT_TRUE(j["busses"][0]["speed"].is_number_integer());
    EXPECT_EQ(j.get<VehicleProfile>(), minimal);
}

TEST(VehicleProfileTests, AbsentNullAndUnknownKeysAreAccepted) {
    const std::pair<const char*, Json> accepted[] = {
        {"/headUnit", nullptr},    {"/gaugeRanges/coolantTemp/nominal", nullptr}, {"/busses/1/note", nullptr},
        {"/busses/0/colour", 12},  {"/years", Json::array()},                     {"/busses/0/speed", -1}, // unknown keys are ignored
        {"/busses/0/speed", 9223372036854775807LL}, // the largest signed 64-bit integer
    };
    for (const auto& [pointer, value] : accepted) {
        auto j = Json::parse(fullProfileJSON);
        j[Json::json_pointer(pointer)] = value;
        EXPECT_NO_THROW(decodeVehicleProfile(j)) << pointer << " = " << value.dump();
    }
    auto j = Json::parse(fullProfileJSON);
    for (const char* key : {"headUnit", "engine", "gaugeRanges", "fuelType", "tankCapacityL", "redlineRPM", "maxRPM"}) j.erase(key);
    const auto p = decodeVehicleProfile(j);
    EXPECT_FALSE(p.headUnit || p.engine || p.gaugeRanges || p.fuelType || p.tankCapacityL || p.redlineRPM || p.maxRPM);
}

// The randomised mutation test refuses wrong types across the schema; these are the places it
// does not reach, and the error text must name the faulty value too.
TEST(VehicleProfileTests, WrongJSONTypesAndMissingKeysAreRefused) {
    const std::tuple<const char*, Json, const char*> refused[] = {
        {"/busses/0/speed", 500000.7, "busses[0].speed"}, // nlohmann would read it as 500000
        {"/ecus/0", "7E0", "ecus[0]"},
        {"/gaugeRanges/coolantTemp/min", nullptr, "gaugeRanges.coolantTemp.min"},
        {"/gaugeRanges/coolantTemp/nominal/1", "x", "gaugeRanges.coolantTemp.nominal[1]"},
        {"/gaugeRanges/oilTemp", 50, "gaugeRanges.oilTemp"},
    };
    for (const auto& [pointer, value, path] : refused) {
        auto j = Json::parse(fullProfileJSON);
        j[Json::json_pointer(pointer)] = value;
        try {
            (void)decodeVehicleProfile(j);
            ADD_FAILURE() << pointer << " = " << value.dump() << " was accepted";
        } catch (const JSONDecodingError& e) {
            EXPECT_EQ(e.path(), path) << pointer;
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    for (const char* pointer : {"/id", "/manufacturer", "/model", "/chassis", "/years", "/platform", "/busses", "/ecus",
                                "/busses/0/name", "/busses/0/speed", "/busses/0/obdPins", "/busses/0/reachable", "/ecus/0/name",
                                "/ecus/0/txId", "/ecus/0/rxId", "/ecus/0/bus", "/gaugeRanges/coolantTemp/min"}) {
        auto j = Json::parse(fullProfileJSON);
        const Json::json_pointer ptr(pointer);
        j[ptr.parent_pointer()].erase(ptr.back());
        EXPECT_THROW(decodeVehicleProfile(j), JSONDecodingError) << pointer << " missing";
    }
}

TEST(VehicleProfileTests, EqualValuesHashAlike) {
    const auto base = Json::parse(fullProfileJSON).get<VehicleProfile>();
    EXPECT_EQ(std::hash<VehicleProfile>{}(base), std::hash<VehicleProfile>{}(Json(base).get<VehicleProfile>()));
    auto other = base;
    other.gaugeRanges->at("coolantTemp").warn.reset(); // a field deep inside counts
    EXPECT_NE(other, base);
    EXPECT_EQ(std::unordered_set<VehicleProfile>({base, other, Json(base).get<VehicleProfile>()}).size(), 2u);
}
