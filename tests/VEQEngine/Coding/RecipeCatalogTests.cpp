// Decoding the recipe catalogue (all or nothing), grouping, and the shipped catalogue itself.
#include "VEQEngine/Coding/RecipeCatalog.hpp"

#include "TestSupport/TemporaryFolder.hpp"
#include "VEQEngine/Coding/WriteGuard.hpp"
#include "VEQSupport/Error.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>

using namespace veq;
using nlohmann::json;
using veq::testing::TemporaryFolder;

namespace {

json recipeJSON(const std::string& id, const std::string& category) {
    return json{{"id", id}, {"title", "Titre " + id}, {"category", category}, {"ecu", "SAM avant"}, {"ecuAddress", "7E4"},
                {"risk", "low"}, {"safetyImpact", "comfort"}, {"reversible", true}, {"requiresSecurityAccess", true},
                {"bus", "CAN-B"}, {"description", "Description."}, {"effect", nullptr},
                {"steps", json::array({json{{"service", "0x22"}, {"did", "0151"}},
                                       json{{"service", "0x2E"}, {"did", "0151"}, {"value", "01"}}})}};
}

bool decodes(const std::string& bytes) {
    try {
        RecipeCatalog::decode(bytes);
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace

TEST(RecipeCatalogTests, DecodesEveryFieldAndGroupsByCategoryInOrderOfFirstAppearance) {
    auto second = recipeJSON("b", "second");
    second["steps"][0] = json{{"service", "0x31"}, {"did", "0301"}, {"level", "01"}, {"data", "01"}, {"value", "02"},
                              {"action", "start"}, {"unknown", 12}};
    const auto recipes = RecipeCatalog::decode(json::array({recipeJSON("a", "first"), second, recipeJSON("c", "first")}).dump());
    ASSERT_EQ(recipes.size(), 3u);
    const CodingRecipe expected{"a", "Titre a", "first", "SAM avant", "7E4", RiskLevel::low, SafetyImpact::comfort,
                                true, true, "CAN-B", "Description.", std::nullopt, std::nullopt,
                                {{"0x22", "0151", {}, {}, {}, {}}, {"0x2E", "0151", {}, {}, "01", {}}}};
    EXPECT_EQ(recipes[0], expected);
    EXPECT_EQ(recipes[1].steps[0], (RecipeStep{"0x31", "0301", "01", "01", "02", "start"}));
    std::vector<std::pair<std::string, std::size_t>> shape;
    for (const auto& [category, members] : RecipeCatalog::grouped(recipes)) shape.emplace_back(category, members.size());
    EXPECT_EQ(shape, (std::vector<std::pair<std::string, std::size_t>>{{"first", 2}, {"second", 1}}));
}

// One fault anywhere in one recipe empties the whole catalogue, silently when loaded from a file.
TEST(RecipeCatalogTests, OneBadRecipeOrABadFileGivesAnEmptyList) {
    const std::function<void(json&)> spoils[] = {
        [](json& r) { r.erase("steps"); },           [](json& r) { r["title"] = nullptr; },
        [](json& r) { r["ecuAddress"] = 7; },        [](json& r) { r["risk"] = "High"; },
        [](json& r) { r["safetyImpact"] = "comfort "; }, [](json& r) { r["reversible"] = "true"; },
        [](json& r) { r["steps"][1].erase("service"); }, [](json& r) { r["steps"][1]["value"] = 1; },
    };
    std::vector<std::string> files{"", "{}", "[", "[] x", "[null]", "[\"\xff\"]"};
    for (const auto& spoil : spoils) {
        auto bad = recipeJSON("b", "c");
        spoil(bad);
        files.push_back(json::array({recipeJSON("a", "c"), bad}).dump());
    }
    TemporaryFolder folder;
    for (const auto& bytes : files) {
        EXPECT_FALSE(decodes(bytes)) << bytes;
        veq::testing::writeFile(folder / "c.json", bytes);
        EXPECT_TRUE(RecipeCatalog::load(folder / "c.json").empty()) << bytes;
    }
    EXPECT_TRUE(RecipeCatalog::load(folder / "missing.json").empty());
    try {
        RecipeCatalog::decode("[{}]");
        ADD_FAILURE() << "expected an error";
    } catch (const Error& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("Catalogue de recettes illisible")) << e.what();
    }
}

// No security-access provider ships, so nothing may be written out of the box.
TEST(RecipeCatalogTests, ShippedCatalogueFollowsTheContentRulesAndWritesNothingOutOfTheBox) {
    const auto recipes = RecipeCatalog::bundled();
    ASSERT_GE(recipes.size(), 30u);
    const auto isHex = [](const std::string& s, std::size_t digits) {
        return s.size() == digits && s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
    };
    const WriteGuard::Context ready{true, true, 60.0, 13.0, 0.0, 0.0, false};
    std::set<SafetyImpact> impacts;
    std::set<RiskLevel> risks;
    std::set<std::string> ids;
    for (const auto& r : recipes) {
        SCOPED_TRACE(r.id);
        impacts.insert(r.safetyImpact);
        risks.insert(r.risk);
        EXPECT_TRUE(ids.insert(r.id).second) << "duplicate id";
        EXPECT_TRUE(r.ecuAddress && isHex(*r.ecuAddress, 3));
        EXPECT_TRUE(r.effect && r.howToRevert && !r.description.empty());
        for (const auto& step : r.steps) {
            if (step.service == "0x2E") {
                EXPECT_TRUE(step.did && step.value && isHex(*step.did, 4) && isHex(*step.value, 2));
            }
        }
        if (r.hasWrite()) {
            EXPECT_TRUE(r.requiresSecurityAccess || r.safetyImpact == SafetyImpact::safetyCritical);
            EXPECT_FALSE(WriteGuard().evaluate(r, ready).isAllowed());
        }
    }
    EXPECT_EQ(impacts.size(), allCases<SafetyImpact>().size());
    EXPECT_EQ(risks.size(), allCases<RiskLevel>().size());
}
