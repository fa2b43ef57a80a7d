// The write guard's ordered checks and their French texts at every threshold.
#include "VEQEngine/WriteGuard.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

#include <functional>

using namespace veq;

namespace {

constexpr const char* kNoBackup = "Aucune sauvegarde valide de ce calculateur. Sauvegardez-le avant toute écriture "
                                  "\u2014 sans sauvegarde, aucun retour en arrière n'est possible.";
constexpr const char* kOldBackup = "La sauvegarde date de plus de 24 heures. Refaites-en une.";
constexpr const char* kGoodBackup = "Sauvegarde vérifiée et récente.";
constexpr const char* kNoVoltage = "Tension batterie non lisible \u2014 écriture refusée par précaution.";
constexpr const char* kLowVoltageTail = " V). Une écriture sur batterie faible peut rendre un calculateur "
                                        "définitivement inutilisable. Branchez un chargeur.";
constexpr const char* kNoProvider = "Aucun provider seed/key chargé. L'algorithme du service UDS 0x27 est propriétaire "
                                    "Mercedes et n'est pas fourni avec l'application : cette opération reste en "
                                    "lecture seule.";

CodingRecipe recipe(SafetyImpact impact, bool security) {
    CodingRecipe r;
    r.id = "test";
    r.safetyImpact = impact;
    r.requiresSecurityAccess = security;
    return r;
}

WriteGuard::Context ready() { return {true, true, 3600.0, 12.6, 0.0, 0.0, false}; }

const GuardCheck& check(const GuardVerdict& v, const std::string& id) {
    for (const auto& c : v.checks)
        if (c.id == id) return c;
    throw std::runtime_error("no check " + id);
}

} // namespace

TEST(WriteGuardTests, EveryCheckPassesWhenAllIsReady) {
    const auto verdict = WriteGuard().evaluate(recipe(SafetyImpact::comfort, false), ready());
    const std::vector<GuardCheck> expected = {
        {"safety", "Impact sur la sécurité", "Catégorie : Confort \u2014 sans effet sur la conduite.", true, true},
        {"expert", "Mode Expert accepté", "Vous devez lire et accepter l'avertissement du mode Expert.", true, true},
        {"backup", "Sauvegarde ECU valide (< 24 h)", kGoodBackup, true, true},
        {"voltage", "Tension batterie > 12.0 V", "Tension mesurée : 12.60 V.", true, true},
        {"stopped", "Véhicule à l'arrêt", "Véhicule immobile.", true, true},
        {"engine", "Moteur à l'arrêt (régime nul)", "Moteur arrêté, contact mis.", true, true},
    };
    EXPECT_EQ(verdict.checks, expected);
    EXPECT_TRUE(verdict.isAllowed());
    EXPECT_TRUE(verdict.failures().empty());
    EXPECT_TRUE(verdict.blockingFailures().empty());
}

TEST(WriteGuardTests, SecurityCheckOnlyForRecipesThatNeedIt) {
    const auto without = WriteGuard().evaluate(recipe(SafetyImpact::comfort, true), ready());
    ASSERT_EQ(without.checks.size(), 7u);
    const GuardCheck refused{"security", "Provider d'accès sécurisé", kNoProvider, false, true};
    EXPECT_EQ(without.checks.back(), refused);
    EXPECT_EQ(without.blockingFailures(), std::vector<GuardCheck>{refused});
    EXPECT_FALSE(without.isAllowed());

    auto context = ready();
    context.hasSecurityProvider = true;
    const auto with = WriteGuard().evaluate(recipe(SafetyImpact::comfort, true), context);
    EXPECT_EQ(with.checks.back().detail, "Provider chargé pour ce calculateur.");
    EXPECT_TRUE(with.isAllowed());
}

TEST(WriteGuardTests, SafetyImpactDetails) {
    struct Case { SafetyImpact impact; bool passed; const char* detail; };
    const Case cases[] = {
        {SafetyImpact::comfort, true, "Catégorie : Confort \u2014 sans effet sur la conduite."},
        {SafetyImpact::driverAttention, true, "Catégorie : Attention du conducteur."},
        {SafetyImpact::vehicleDynamics, true, "Catégorie : Comportement du véhicule."},
        {SafetyImpact::safetyCritical, false,
         "Oskavel Car refuse toute écriture sur les systèmes de sécurité (freinage, airbag, aides à la conduite, "
         "éclairage réglementaire)."},
    };
    for (const auto& c : cases) {
        const auto verdict = WriteGuard().evaluate(recipe(c.impact, false), ready());
        // Every other check is still evaluated and listed.
        ASSERT_EQ(verdict.checks.size(), 6u);
        EXPECT_EQ(verdict.checks.front().passed, c.passed);
        EXPECT_EQ(verdict.checks.front().detail, c.detail);
        EXPECT_EQ(verdict.isAllowed(), c.passed);
        EXPECT_EQ(verdict.failures().size(), c.passed ? 0u : 1u);
    }
}

// One condition changed from the ready situation at a time: the check concerned, its outcome and
// its detail, with numbers written with a point under a French locale.
TEST(WriteGuardTests, ThresholdBoundaries) {
    veq::testing::FrenchLocale french;
    struct Case {
        const char* name;
        std::function<void(WriteGuard::Context&)> change;
        const char* check;
        bool passed;
        std::string detail;
    };
    using C = WriteGuard::Context;
    const Case cases[] = {
        {"expert not accepted", [](C& c) { c.expertModeAccepted = false; }, "expert", false,
         "Vous devez lire et accepter l'avertissement du mode Expert."},
        {"no valid backup", [](C& c) { c.hasValidBackup = false; }, "backup", false, kNoBackup},
        {"invalid beats old", [](C& c) { c.hasValidBackup = false; c.backupAge = 90000.0; }, "backup", false, kNoBackup},
        {"backup exactly 24 h", [](C& c) { c.backupAge = 86400.0; }, "backup", false, kOldBackup},
        {"backup 24 h less 0.1 s", [](C& c) { c.backupAge = 86399.9; }, "backup", true, kGoodBackup},
        {"backup age unknown", [](C& c) { c.backupAge.reset(); }, "backup", false, kGoodBackup},
        {"voltage exactly 12.0", [](C& c) { c.batteryVoltage = 12.0; }, "voltage", false,
         std::string("Tension trop faible (12.00") + kLowVoltageTail},
        {"voltage 12.01", [](C& c) { c.batteryVoltage = 12.01; }, "voltage", true, "Tension mesurée : 12.01 V."},
        {"voltage 11.456", [](C& c) { c.batteryVoltage = 11.456; }, "voltage", false,
         std::string("Tension trop faible (11.46") + kLowVoltageTail},
        {"voltage 14.2", [](C& c) { c.batteryVoltage = 14.2; }, "voltage", true, "Tension mesurée : 14.20 V."},
        {"voltage absent", [](C& c) { c.batteryVoltage.reset(); }, "voltage", false, kNoVoltage},
        {"speed exactly 1", [](C& c) { c.speedKmh = 1.0; }, "stopped", false, "Le véhicule doit être à l'arrêt complet."},
        {"speed 0.9", [](C& c) { c.speedKmh = 0.9; }, "stopped", true, "Véhicule immobile."},
        {"speed absent", [](C& c) { c.speedKmh.reset(); }, "stopped", true, "Véhicule immobile."},
        {"rpm exactly 50", [](C& c) { c.rpm = 50.0; }, "engine", false,
         "Coupez le moteur (contact mis, moteur non tournant) avant d'écrire."},
        {"rpm 49.9", [](C& c) { c.rpm = 49.9; }, "engine", true, "Moteur arrêté, contact mis."},
        {"rpm absent", [](C& c) { c.rpm.reset(); }, "engine", true, "Moteur arrêté, contact mis."},
    };
    for (const auto& c : cases) {
        auto context = ready();
        c.change(context);
        const auto verdict = WriteGuard().evaluate(recipe(SafetyImpact::vehicleDynamics, false), context);
        const auto& found = check(verdict, c.check);
        EXPECT_EQ(found.passed, c.passed) << c.name;
        EXPECT_EQ(found.detail, c.detail) << c.name;
        EXPECT_TRUE(found.blocking) << c.name;
        // The voltage title shows the threshold, never the measurement.
        EXPECT_EQ(check(verdict, "voltage").title, "Tension batterie > 12.0 V") << c.name;
        EXPECT_EQ(verdict.isAllowed(), c.passed) << c.name;
        EXPECT_EQ(verdict.blockingFailures().size(), c.passed ? 0u : 1u) << c.name;
    }
}

TEST(WriteGuardTests, FailuresKeepEvaluationOrder) {
    const WriteGuard::Context nothing{false, false, std::nullopt, std::nullopt, 800.0, 30.0, false};
    const auto verdict = WriteGuard().evaluate(recipe(SafetyImpact::safetyCritical, true), nothing);
    std::vector<std::string> ids;
    for (const auto& c : verdict.blockingFailures()) ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"safety", "expert", "backup", "voltage", "stopped", "engine", "security"}));
    EXPECT_EQ(verdict.failures(), verdict.blockingFailures());
}

TEST(WriteGuardTests, VerdictWithoutBlockingFailureAllows) {
    EXPECT_TRUE(GuardVerdict{}.isAllowed());
    const GuardVerdict advisory{{{"x", "t", "d", false, false}}};
    EXPECT_TRUE(advisory.isAllowed());
    EXPECT_EQ(advisory.failures().size(), 1u);
    EXPECT_TRUE(advisory.blockingFailures().empty());
    EXPECT_EQ(WriteGuard::minimumVoltage, 12.0);
    EXPECT_EQ(WriteGuard::maximumBackupAge, 86400.0);
}
