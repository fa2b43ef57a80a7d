// Risk and safety classes, recipe steps and their explanations.
#include "VEQEngine/CodingRecipe.hpp"

#include <gtest/gtest.h>

using namespace veq;

TEST(CodingRecipeTests, RiskLevels) {
    struct Case { RiskLevel level; const char* raw; const char* label; };
    const Case cases[] = {{RiskLevel::low, "low", "Faible"}, {RiskLevel::medium, "medium", "Moyen"},
                          {RiskLevel::high, "high", "Élevé"}};
    ASSERT_EQ(allCases<RiskLevel>().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(allCases<RiskLevel>()[i], c.level);
        EXPECT_EQ(rawValue(c.level), c.raw);
        EXPECT_EQ(label(c.level), c.label);
        EXPECT_EQ(fromRaw<RiskLevel>(c.raw), c.level);
    }
    EXPECT_EQ(fromRaw<RiskLevel>("High"), std::nullopt);
}

TEST(CodingRecipeTests, SafetyImpacts) {
    struct Case {
        SafetyImpact impact;
        const char* raw;
        const char* label;
        bool forbidden;
        bool extraConfirmation;
        std::optional<std::string> warning;
    };
    const Case cases[] = {
        {SafetyImpact::comfort, "comfort", "Confort \u2014 sans effet sur la conduite", false, false, std::nullopt},
        {SafetyImpact::driverAttention, "driverAttention", "Attention du conducteur", false, true,
         "Cette modification change ce que vous voyez ou entendez au volant. Elle peut détourner votre attention de "
         "la route et, selon les cas, être illégale sur la voie publique."},
        {SafetyImpact::vehicleDynamics, "vehicleDynamics", "Comportement du véhicule", false, true,
         "\xE2\x9A\xA0\xEF\xB8\x8E ATTENTION \xE2\x80\x94 Cette modification touche au groupe motopropulseur, au "
         "châssis ou aux aides à la conduite. Elle peut altérer le comportement du véhicule, sa fiabilité et sa "
         "consommation, et annuler votre garantie. N'intervenez que si vous comprenez précisément l'effet de chaque "
         "octet écrit."},
        {SafetyImpact::safetyCritical, "safetyCritical", "Système de sécurité", true, false,
         "\xE2\x9B\x94\xEF\xB8\x8F INTERDIT \xE2\x80\x94 Cette fonction touche à un système de sécurité (freinage, "
         "airbag, aides à la conduite, éclairage réglementaire). Oskavel Car refuse toute écriture sur ces "
         "calculateurs. Adressez-vous à un atelier agréé."},
    };
    ASSERT_EQ(allCases<SafetyImpact>().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(allCases<SafetyImpact>()[i], c.impact);
        EXPECT_EQ(rawValue(c.impact), c.raw);
        EXPECT_EQ(fromRaw<SafetyImpact>(c.raw), c.impact);
        EXPECT_EQ(label(c.impact), c.label);
        EXPECT_EQ(isWriteForbidden(c.impact), c.forbidden) << c.raw;
        EXPECT_EQ(requiresExtraConfirmation(c.impact), c.extraConfirmation) << c.raw;
        const auto w = warning(c.impact);
        EXPECT_EQ(w ? std::optional<std::string>(*w) : std::nullopt, c.warning) << c.raw;
    }
}

TEST(CodingRecipeTests, StepIdentityWriteAndExplanation) {
    struct Case {
        RecipeStep step;
        const char* id;
        bool isWrite;
        const char* explanation;
    };
    const Case cases[] = {
        {{"0x10", {}, {}, "03", {}, {}}, "0x10--", false, "Ouvre une session diagnostique étendue sur le calculateur."},
        {{"0x27", {}, "01", {}, {}, {}}, "0x27--", false,
         "Demande l'accès sécurisé (graine/clé) \u2014 nécessite un provider."},
        {{"0x22", "0151", {}, {}, {}, {}}, "0x22-0151-", false,
         "Lit l'identifiant de données 0151 (sauvegarde de la valeur actuelle)."},
        {{"0x22", {}, {}, {}, {}, {}}, "0x22--", false, "Lit l'identifiant de données ? (sauvegarde de la valeur actuelle)."},
        {{"0x2E", "0xF1A0", {}, {}, "01", {}}, "0x2E-0xF1A0-", true, "Écrit la valeur 01 dans l'identifiant 0xF1A0."},
        {{"0x2E", {}, {}, {}, "01", {}}, "0x2E--", true, "Écrit la valeur 01 dans l'identifiant ?."},
        {{"0x2E", "0151", {}, {}, {}, {}}, "0x2E-0151-", true, "Écrit la valeur ? dans l'identifiant 0151."},
        {{"0x2e", "0151", {}, {}, "01", {}}, "0x2e-0151-", false, "Service UDS 0x2e."},
        {{"0x31", "0301", {}, "01", {}, "start"}, "0x31-0301-start", true, "Lance une routine sur le calculateur."},
        {{"0x31", {}, {}, {}, {}, "stop"}, "0x31--stop", true, "Lance une routine sur le calculateur."},
        {{"0x11", {}, {}, "01", {}, {}}, "0x11--", false, "Réinitialise le calculateur pour appliquer la modification."},
        {{"0x3E", {}, {}, {}, {}, {}}, "0x3E--", false, "Service UDS 0x3E."},
        {{" 0x2E", "0151", {}, {}, "01", {}}, " 0x2E-0151-", false, "Service UDS  0x2E."},
        {{"", {}, {}, {}, {}, {}}, "--", false, "Service UDS ."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.step.id(), c.id);
        EXPECT_EQ(c.step.isWrite(), c.isWrite) << c.id;
        EXPECT_EQ(c.step.explanation(), c.explanation) << c.id;
    }
    // The level, data and value are not part of a step's identity.
    EXPECT_EQ((RecipeStep{"0x2E", "0151", "01", "x", "01", {}}).id(), (RecipeStep{"0x2E", "0151", {}, {}, "02", {}}).id());
}

TEST(CodingRecipeTests, HasWrite) {
    CodingRecipe recipe;
    EXPECT_FALSE(recipe.hasWrite());
    recipe.steps = {{"0x10", {}, {}, "03", {}, {}}, {"0x22", "0151", {}, {}, {}, {}}, {"0x2e", "0151", {}, {}, "01", {}}};
    EXPECT_FALSE(recipe.hasWrite());
    recipe.steps.push_back({"0x31", "0301", {}, {}, {}, "start"});
    EXPECT_TRUE(recipe.hasWrite());
    recipe.steps.back().service = "0x2E";
    EXPECT_TRUE(recipe.hasWrite());
}
