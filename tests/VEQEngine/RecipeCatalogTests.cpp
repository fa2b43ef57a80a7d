// Decoding the recipe catalogue (all or nothing), grouping, and the shipped catalogue itself.
#include "VEQEngine/RecipeCatalog.hpp"

#include "VEQEngine/WriteGuard.hpp"
#include "VEQSupport/Error.hpp"
#include "VEQSupport/Resources.hpp"

#include "TestSupport/TemporaryFolder.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <random>
#include <set>

using namespace veq;
using nlohmann::json;
using veq::testing::readFile;
using veq::testing::TemporaryFolder;
using veq::testing::writeFile;

namespace {

const char* const kRequired[] = {"id",           "title",    "category",    "ecu",         "risk",  "safetyImpact",
                                 "reversible",   "requiresSecurityAccess", "bus", "description", "steps"};
const char* const kOptional[] = {"ecuAddress", "effect", "howToRevert"};
const char* const kStepOptional[] = {"did", "level", "data", "value", "action"};

json recipeJSON(const std::string& id, const std::string& category) {
    return json{{"id", id},
                {"title", "Titre " + id},
                {"category", category},
                {"ecu", "SAM avant"},
                {"ecuAddress", "7E4"},
                {"risk", "low"},
                {"safetyImpact", "comfort"},
                {"reversible", true},
                {"requiresSecurityAccess", true},
                {"bus", "CAN-B"},
                {"description", "Description."},
                {"effect", "Effet."},
                {"howToRevert", "Retour."},
                {"steps", json::array({json{{"service", "0x22"}, {"did", "0151"}},
                                       json{{"service", "0x2E"}, {"did", "0151"}, {"value", "01"}}})}};
}

std::vector<CodingRecipe> decodeOrEmpty(const std::string& bytes) {
    try {
        return RecipeCatalog::decode(bytes);
    } catch (const Error&) {
        return {};
    }
}

bool decodes(const std::string& bytes) {
    try {
        RecipeCatalog::decode(bytes);
        return true;
    } catch (const Error&) {
        return false;
    }
}

std::string shippedBytes() {
    const auto file = resources::bundleResource("VEQEngine", "CodingRecipes", "json");
    return file ? readFile(*file) : std::string();
}

} // namespace

TEST(RecipeCatalogTests, DecodesEveryFieldInFileOrder) {
    auto second = recipeJSON("b", "Confort");
    second["steps"][0] = json{{"service", "0x31"}, {"did", "0301"}, {"level", "01"}, {"data", "01"},
                              {"value", "02"}, {"action", "start"}, {"unknown", 12}};
    second["somethingElse"] = json::array({1, 2});
    const auto recipes = RecipeCatalog::decode(json::array({recipeJSON("a", "Éclairage"), second}).dump());
    ASSERT_EQ(recipes.size(), 2u);
    const CodingRecipe expected{"a", "Titre a", "Éclairage", "SAM avant", "7E4", RiskLevel::low, SafetyImpact::comfort,
                                true, true, "CAN-B", "Description.", "Effet.", "Retour.",
                                {{"0x22", "0151", {}, {}, {}, {}}, {"0x2E", "0151", {}, {}, "01", {}}}};
    EXPECT_EQ(recipes[0], expected);
    EXPECT_EQ(recipes[1].id, "b");
    EXPECT_EQ(recipes[1].steps[0], (RecipeStep{"0x31", "0301", "01", "01", "02", "start"}));
}

TEST(RecipeCatalogTests, OptionalKeysAbsentOrNullGiveNoValue) {
    for (bool useNull : {false, true}) {
        auto r = recipeJSON("a", "c");
        for (const char* key : kOptional) {
            if (useNull) r[key] = nullptr; else r.erase(key);
        }
        r["steps"] = json::array({json{{"service", "0x10"}}});
        for (const char* key : kStepOptional) {
            if (useNull) r["steps"][0][key] = nullptr;
        }
        const auto recipes = RecipeCatalog::decode(json::array({r}).dump());
        ASSERT_EQ(recipes.size(), 1u);
        EXPECT_EQ(recipes[0].ecuAddress, std::nullopt);
        EXPECT_EQ(recipes[0].effect, std::nullopt);
        EXPECT_EQ(recipes[0].howToRevert, std::nullopt);
        EXPECT_EQ(recipes[0].steps, (std::vector<RecipeStep>{{"0x10", {}, {}, {}, {}, {}}}));
    }
}

// One fault anywhere in one recipe empties the whole catalogue.
TEST(RecipeCatalogTests, OneBadRecipeEmptiesTheCatalogue) {
    struct Case { std::string name; std::function<void(json&)> spoil; };
    std::vector<Case> cases;
    for (const char* key : kRequired) cases.push_back({std::string("missing ") + key, [key](json& r) { r.erase(key); }});
    for (const char* key : {"id", "title", "category", "ecu", "bus", "description", "ecuAddress", "effect", "howToRevert"}) {
        cases.push_back({std::string("number as ") + key, [key](json& r) { r[key] = 7; }});
    }
    cases.push_back({"required text null", [](json& r) { r["title"] = nullptr; }});
    cases.push_back({"capitalised risk", [](json& r) { r["risk"] = "High"; }});
    cases.push_back({"unknown risk", [](json& r) { r["risk"] = "extreme"; }});
    cases.push_back({"risk as number", [](json& r) { r["risk"] = 2; }});
    cases.push_back({"unknown impact", [](json& r) { r["safetyImpact"] = "critical"; }});
    cases.push_back({"impact with blank", [](json& r) { r["safetyImpact"] = "comfort "; }});
    cases.push_back({"reversible as text", [](json& r) { r["reversible"] = "true"; }});
    cases.push_back({"security access as number", [](json& r) { r["requiresSecurityAccess"] = 0; }});
    cases.push_back({"security access null", [](json& r) { r["requiresSecurityAccess"] = nullptr; }});
    cases.push_back({"steps as object", [](json& r) { r["steps"] = json::object(); }});
    cases.push_back({"steps null", [](json& r) { r["steps"] = nullptr; }});
    cases.push_back({"step without service", [](json& r) { r["steps"][1].erase("service"); }});
    cases.push_back({"step as text", [](json& r) { r["steps"][0] = "0x22"; }});
    cases.push_back({"step value as number", [](json& r) { r["steps"][1]["value"] = 1; }});
    cases.push_back({"step did as array", [](json& r) { r["steps"][1]["did"] = json::array({"0151"}); }});
    cases.push_back({"recipe as array", [](json& r) { r = json::array(); }});

    TemporaryFolder folder;
    for (const auto& c : cases) {
        auto bad = recipeJSON("b", "c");
        c.spoil(bad);
        const auto bytes = json::array({recipeJSON("a", "c"), bad, recipeJSON("z", "c")}).dump();
        EXPECT_THROW(RecipeCatalog::decode(bytes), Error) << c.name;
        writeFile(folder / "CodingRecipes.json", bytes);
        EXPECT_TRUE(RecipeCatalog::load(folder / "CodingRecipes.json").empty()) << c.name;
    }
}

TEST(RecipeCatalogTests, FilesThatAreNotCataloguesGiveAnEmptyList) {
    const std::string texts[] = {"", " ", "{}", "null", "42", "\"x\"", "[", "[]]", "[] x", "[{}]", "[null]",
                                 "[1]", "[\"\xff\"]"};
    TemporaryFolder folder;
    for (const auto& text : texts) {
        EXPECT_TRUE(decodeOrEmpty(text).empty()) << text;
        writeFile(folder / "c.json", text);
        EXPECT_TRUE(RecipeCatalog::load(folder / "c.json").empty()) << text;
    }
    EXPECT_TRUE(RecipeCatalog::decode("[]").empty());
    EXPECT_TRUE(RecipeCatalog::decode(" [ ] \n").empty());
    EXPECT_TRUE(RecipeCatalog::load(folder / "missing.json").empty());
    EXPECT_TRUE(RecipeCatalog::load(folder.path()).empty()); // a folder, not a file
    try {
        RecipeCatalog::decode("[{}]");
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Catalogue de recettes illisible", 0), 0u) << e.what();
    }
}

TEST(RecipeCatalogTests, GroupsByCategoryInOrderOfFirstAppearance) {
    EXPECT_TRUE(RecipeCatalog::grouped({}).empty());
    const auto recipes = RecipeCatalog::decode(json::array({recipeJSON("1", "first"), recipeJSON("2", "second"),
                                                            recipeJSON("3", "first"), recipeJSON("4", "third"),
                                                            recipeJSON("5", "First")})
                                                   .dump());
    const auto groups = RecipeCatalog::grouped(recipes);
    std::vector<std::pair<std::string, std::vector<std::string>>> shape;
    for (const auto& [category, members] : groups) {
        shape.push_back({category, {}});
        for (const auto& r : members) shape.back().second.push_back(r.id);
    }
    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {"first", {"1", "3"}}, {"second", {"2"}}, {"third", {"4"}}, {"First", {"5"}}};
    EXPECT_EQ(shape, expected);
}

TEST(RecipeCatalogTests, EncodingRoundTrips) {
    const auto original = RecipeCatalog::decode(shippedBytes());
    ASSERT_FALSE(original.empty());
    EXPECT_EQ(RecipeCatalog::decode(json(original).dump()), original);
}

// What the system ships: enough recipes, every class represented, and nothing that can be
// written out of the box, since no security-access provider exists.
TEST(RecipeCatalogTests, ShippedCatalogueWritesNothingOutOfTheBox) {
    const auto recipes = RecipeCatalog::bundled();
    ASSERT_GE(recipes.size(), 30u);

    // Everything else in place, without a provider: the guard must refuse every writing recipe.
    const WriteGuard::Context ready{true, true, 60.0, 13.0, 0.0, 0.0, false};
    std::set<SafetyImpact> impacts;
    std::set<RiskLevel> risks;
    std::set<std::string> ids;
    for (const auto& r : recipes) {
        SCOPED_TRACE(r.id);
        impacts.insert(r.safetyImpact);
        risks.insert(r.risk);
        EXPECT_TRUE(ids.insert(r.id).second) << "duplicate id";
        if (r.hasWrite()) {
            EXPECT_TRUE(r.requiresSecurityAccess || r.safetyImpact == SafetyImpact::safetyCritical);
            EXPECT_FALSE(WriteGuard().evaluate(r, ready).isAllowed());
        }
    }
    EXPECT_EQ(impacts.size(), allCases<SafetyImpact>().size());
    EXPECT_EQ(risks.size(), allCases<RiskLevel>().size());
}

TEST(RecipeCatalogTests, ShippedCatalogueContentRules) {
    const auto isHex = [](const std::string& s, std::size_t digits) {
        return s.size() == digits && s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
    };
    for (const auto& r : RecipeCatalog::bundled()) {
        SCOPED_TRACE(r.id);
        // Compared as text with the request headers the ECU scan reports, such as "7E0".
        ASSERT_TRUE(r.ecuAddress.has_value());
        EXPECT_TRUE(isHex(*r.ecuAddress, 3)) << *r.ecuAddress;
        for (const auto* text : {&r.title, &r.category, &r.ecu, &r.bus, &r.description}) EXPECT_FALSE(text->empty());
        EXPECT_TRUE(r.effect && !r.effect->empty());
        EXPECT_TRUE(r.howToRevert && !r.howToRevert->empty());
        EXPECT_FALSE(r.steps.empty());
        for (const auto& step : r.steps) {
            EXPECT_TRUE(step.service.size() == 4 && step.service.starts_with("0x") && isHex(step.service.substr(2), 2))
                << step.service;
            if (step.service == "0x2E") {
                ASSERT_TRUE(step.did && step.value);
                EXPECT_TRUE(isHex(*step.did, 4)) << *step.did;
                EXPECT_TRUE(isHex(*step.value, 2)) << *step.value;
            }
        }
    }
}

// Random faults in the shipped file: decoding never crashes, and whatever decodes survives a
// round trip (under the sanitizer build this also proves no invalid read).
TEST(RecipeCatalogTests, MutatedBytesNeverCrash) {
    const auto original = shippedBytes();
    ASSERT_FALSE(original.empty());
    std::mt19937 random(20250301);
    const auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    const std::string tokens[] = {"{", "}", "[", "]", ",", ":", "\"", "null", "true", "0", "-1e999", "\\u0000",
                                  "\\ud800", "\xff", "\xC3", "\"risk\":\"High\"", "\"steps\":{}"};
    int decoded = 0;
    for (int round = 0; round < 600; ++round) {
        std::string bytes = original;
        const int edits = 1 + static_cast<int>(pick(4));
        for (int e = 0; e < edits && !bytes.empty(); ++e) {
            const auto at = pick(bytes.size());
            switch (pick(5)) {
            case 0: bytes[at] = static_cast<char>(pick(256)); break;
            case 1: bytes.insert(at, tokens[pick(std::size(tokens))]); break;
            case 2: bytes.erase(at, 1 + pick(64)); break;
            case 3: bytes.insert(at, bytes.substr(at, pick(256))); break;
            default: bytes.resize(at); break;
            }
        }
        try {
            const auto recipes = RecipeCatalog::decode(bytes);
            ++decoded;
            EXPECT_EQ(RecipeCatalog::decode(json(recipes).dump()), recipes);
        } catch (const Error&) {
        }
    }
    // Some mutations fall inside texts and leave a valid catalogue; most must not decode.
    EXPECT_LT(decoded, 600);
}

TEST(RecipeCatalogTests, EveryTruncationFails) {
    const auto original = shippedBytes();
    const auto end = original.rfind(']');
    ASSERT_NE(end, std::string::npos);
    std::mt19937 random(7);
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < 64; ++i) cuts.push_back(i);
    for (std::size_t i = 0; i < 64; ++i) cuts.push_back(end - i);
    for (int i = 0; i < 200; ++i) cuts.push_back(std::uniform_int_distribution<std::size_t>(0, end)(random));
    for (auto cut : cuts) EXPECT_FALSE(decodes(original.substr(0, cut))) << cut;
}
