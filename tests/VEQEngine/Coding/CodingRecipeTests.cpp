// Recipe steps: which are writes, and what they say they do.
#include "VEQEngine/Coding/CodingRecipe.hpp"

#include <gtest/gtest.h>

using namespace veq;

TEST(CodingRecipeTests, StepIdentityWriteAndExplanation) {
    const struct {
        RecipeStep step;
        const char* id;
        bool isWrite;
        const char* explanation;
    } cases[] = {
        {{"0x22", "0151", {}, {}, {}, {}}, "0x22-0151-", false,
         "Lit l'identifiant de données 0151 (sauvegarde de la valeur actuelle)."},
        {{"0x2E", "0xF1A0", {}, {}, "01", {}}, "0x2E-0xF1A0-", true, "Écrit la valeur 01 dans l'identifiant 0xF1A0."},
        {{"0x2E", "0151", {}, {}, {}, {}}, "0x2E-0151-", true, "Écrit la valeur ? dans l'identifiant 0151."},
        {{"0x2e", "0151", {}, {}, "01", {}}, "0x2e-0151-", false, "Service UDS 0x2e."},
        {{"0x31", {}, {}, {}, {}, "stop"}, "0x31--stop", true, "Lance une routine sur le calculateur."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.step.id(), c.id);
        EXPECT_EQ(c.step.isWrite(), c.isWrite) << c.id;
        EXPECT_EQ(c.step.explanation(), c.explanation) << c.id;
    }
    CodingRecipe recipe;
    recipe.steps = {{"0x10", {}, {}, "03", {}, {}}, {"0x2e", "0151", {}, {}, "01", {}}};
    EXPECT_FALSE(recipe.hasWrite());
    recipe.steps.push_back({"0x31", "0301", {}, {}, {}, "start"});
    EXPECT_TRUE(recipe.hasWrite());
    EXPECT_TRUE(isWriteForbidden(SafetyImpact::safetyCritical));
    EXPECT_FALSE(isWriteForbidden(SafetyImpact::vehicleDynamics));
}
