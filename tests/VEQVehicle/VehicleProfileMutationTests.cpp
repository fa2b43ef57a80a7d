// Randomised wrongly typed values in the shipped catalogue: the decoder refuses each, naming
// where it lies. The seed is fixed so that a failure reproduces. (Damaged text is the fuzz
// target's work.)
#include "VEQVehicle/JSONDecoding.hpp"
#include "VEQSupport/Resources.hpp"
#include "VEQVehicle/VehicleProfileCatalog.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <random>
#include <regex>

using namespace veq;
using Json = nlohmann::json;

namespace {

std::string bundledText() {
    const auto file = resources::bundleResource("VEQVehicle", VehicleProfileCatalog::resourceName, VehicleProfileCatalog::resourceType);
    return file ? veq::testing::readFile(*file) : std::string();
}

std::size_t pick(std::mt19937& rng, std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); }

enum class Kind { text, integer, number, boolean, integerList, objectList, object };

// Every field of the schema, with where it sits (relative to a profile; "#" stands for a
// random element of a list) and what type it must have.
const std::pair<const char*, Kind> kFields[] = {
    {"/id", Kind::text},                     {"/manufacturer", Kind::text},           {"/model", Kind::text},
    {"/chassis", Kind::text},                {"/years", Kind::integerList},           {"/years/#", Kind::integer},
    {"/platform", Kind::text},               {"/headUnit", Kind::text},               {"/engine", Kind::text},
    {"/busses", Kind::objectList},           {"/ecus", Kind::objectList},             {"/fuelType", Kind::text},
    {"/tankCapacityL", Kind::number},        {"/redlineRPM", Kind::number},           {"/maxRPM", Kind::number},
    {"/gaugeRanges", Kind::object},          {"/busses/#/name", Kind::text},          {"/busses/#/speed", Kind::integer},
    {"/busses/#/obdPins", Kind::integerList}, {"/busses/#/obdPins/#", Kind::integer},  {"/busses/#/reachable", Kind::boolean},
    {"/busses/#/note", Kind::text},          {"/ecus/#/name", Kind::text},            {"/ecus/#/txId", Kind::text},
    {"/ecus/#/rxId", Kind::text},            {"/ecus/#/bus", Kind::text},
};

std::vector<Json> wrongValues(Kind kind) {
    switch (kind) {
    case Kind::text: return {1, 2.5, true, Json::array(), Json::object()};
    case Kind::integer: return {"1", 1.5, 500000.0, true, false, Json::array(), Json::object(), 9223372036854775808ULL};
    case Kind::number: return {"66", true, Json::array({66}), Json::object()};
    case Kind::boolean: return {1, 0, "true", Json::array(), Json::object()};
    case Kind::integerList:
    case Kind::objectList: return {"[]", 1, true, Json::object()};
    case Kind::object: return {"{}", 1, true, Json::array()};
    }
    return {};
}

// "/3/busses/0/speed" -> "[3].busses[0].speed", the path an error names.
std::string errorPath(const std::string& pointer) {
    std::string path = std::regex_replace(std::regex_replace(pointer, std::regex("/([0-9]+)"), "[$1]"), std::regex("/"), ".");
    return path.starts_with('.') ? path.substr(1) : path;
}

// The field's pointer in profile `profile`, with each "#" replaced by a random existing index;
// nothing when a list on the way is empty.
std::optional<std::string> place(const Json& document, std::size_t profile, const char* field, std::mt19937& rng) {
    std::string pointer = "/" + std::to_string(profile);
    std::string rest = field;
    for (std::size_t hash = rest.find('#'); hash != std::string::npos; hash = rest.find('#')) {
        pointer += rest.substr(0, hash - 1);
        const Json& list = document.at(Json::json_pointer(pointer));
        if (!list.is_array() || list.empty()) return std::nullopt;
        pointer += "/" + std::to_string(pick(rng, list.size()));
        rest = rest.substr(hash + 1);
    }
    return pointer + rest;
}

} // namespace

TEST(VehicleProfileMutationTests, EveryWronglyTypedFieldIsRefusedWhereItLies) {
    const Json original = Json::parse(bundledText());
    ASSERT_TRUE(original.is_array());
    ASSERT_FALSE(original.empty());
    std::mt19937 rng(0x5EED2u);
    int refused = 0;
    for (int round = 0; round < 600; ++round) {
        const auto& [field, kind] = kFields[pick(rng, std::size(kFields))];
        const std::size_t profile = pick(rng, original.size());
        const auto pointer = place(original, profile, field, rng);
        if (!pointer) continue;
        const auto candidates = wrongValues(kind);
        const Json& wrong = candidates[pick(rng, candidates.size())];

        Json document = original;
        document[Json::json_pointer(*pointer)] = wrong;
        try {
            (void)VehicleProfileCatalog::decode(document.dump());
            ADD_FAILURE() << *pointer << " = " << wrong.dump() << " was accepted";
        } catch (const JSONDecodingError& e) {
            EXPECT_EQ(e.path(), errorPath(*pointer)) << wrong.dump();
            ++refused;
        }
    }
    EXPECT_GT(refused, 300); // the loop did reach fields, not only empty lists
}
