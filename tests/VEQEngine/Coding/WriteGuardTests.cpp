// The write guard's ordered checks and their French texts at every threshold.
#include "VEQEngine/Coding/WriteGuard.hpp"

#include "TestSupport/FrenchLocale.hpp"

#include <gtest/gtest.h>

using namespace veq;

namespace {

CodingRecipe recipe(SafetyImpact impact, bool security) {
    CodingRecipe r;
    r.safetyImpact = impact;
    r.requiresSecurityAccess = security;
    return r;
}

WriteGuard::Context ready() { return {true, true, 3600.0, 12.6, 0.0, 0.0, false}; }

} // namespace

TEST(WriteGuardTests, EveryCheckPassesWhenAllIsReady) {
    const auto verdict = WriteGuard().evaluate(recipe(SafetyImpact::comfort, false), ready());
    const std::vector<GuardCheck> expected = {
        {"safety", "Impact sur la sécurité", "Catégorie : Confort \u2014 sans effet sur la conduite.", true, true},
        {"expert", "Mode Expert accepté", "Vous devez lire et accepter l'avertissement du mode Expert.", true, true},
        {"backup", "Sauvegarde ECU valide (< 24 h)", "Sauvegarde vérifiée et récente.", true, true},
        {"voltage", "Tension batterie > 12.0 V", "Tension mesurée : 12.60 V.", true, true},
        {"stopped", "Véhicule à l'arrêt", "Véhicule immobile.", true, true},
        {"engine", "Moteur à l'arrêt (régime nul)", "Moteur arrêté, contact mis.", true, true},
    };
    EXPECT_EQ(verdict.checks, expected);
    EXPECT_TRUE(verdict.isAllowed());
}

// One condition changed from the ready situation at a time, numbers written with a point under
// a French locale.
TEST(WriteGuardTests, ThresholdBoundaries) {
    veq::testing::FrenchLocale french;
    using C = WriteGuard::Context;
    const std::string lowTail = " V). Une écriture sur batterie faible peut rendre un calculateur définitivement "
                                "inutilisable. Branchez un chargeur.";
    const struct {
        std::function<void(C&)> change;
        const char* check;
        bool passed;
        std::string detail;
    } cases[] = {
        {[](C& c) { c.hasValidBackup = false; c.backupAge = 90000.0; }, "backup", false,
         "Aucune sauvegarde valide de ce calculateur. Sauvegardez-le avant toute écriture \u2014 sans sauvegarde, "
         "aucun retour en arrière n'est possible."},
        {[](C& c) { c.backupAge = 86400.0; }, "backup", false, "La sauvegarde date de plus de 24 heures. Refaites-en une."},
        {[](C& c) { c.backupAge = 86399.9; }, "backup", true, "Sauvegarde vérifiée et récente."},
        {[](C& c) { c.backupAge = 0.0; }, "backup", true, "Sauvegarde vérifiée et récente."},
        {[](C& c) { c.backupAge = -0.1; }, "backup", false,
         "La sauvegarde est datée dans le futur (horloge de l'ordinateur déréglée ?). Refaites-en une."},
        {[](C& c) { c.batteryVoltage = 12.0; }, "voltage", false, "Tension trop faible (12.00" + lowTail},
        {[](C& c) { c.batteryVoltage = 12.01; }, "voltage", true, "Tension mesurée : 12.01 V."},
        {[](C& c) { c.batteryVoltage.reset(); }, "voltage", false,
         "Tension batterie non lisible \u2014 écriture refusée par précaution."},
        {[](C& c) { c.speedKmh = 1.0; }, "stopped", false, "Le véhicule doit être à l'arrêt complet."},
        {[](C& c) { c.speedKmh = 0.9; }, "stopped", true, "Véhicule immobile."},
        {[](C& c) { c.rpm = 50.0; }, "engine", false, "Coupez le moteur (contact mis, moteur non tournant) avant d'écrire."},
        {[](C& c) { c.rpm = 49.9; }, "engine", true, "Moteur arrêté, contact mis."},
    };
    for (const auto& c : cases) {
        auto context = ready();
        c.change(context);
        const auto verdict = WriteGuard().evaluate(recipe(SafetyImpact::vehicleDynamics, false), context);
        const auto found = std::find_if(verdict.checks.begin(), verdict.checks.end(), [&](const auto& k) { return k.id == c.check; });
        ASSERT_NE(found, verdict.checks.end());
        EXPECT_EQ(found->passed, c.passed) << c.detail;
        EXPECT_EQ(found->detail, c.detail);
        EXPECT_EQ(verdict.isAllowed(), c.passed) << c.detail;
    }
}

TEST(WriteGuardTests, FailuresKeepEvaluationOrderAndSecurityComesLast) {
    const WriteGuard::Context nothing{false, false, std::nullopt, std::nullopt, 800.0, 30.0, false};
    const auto verdict = WriteGuard().evaluate(recipe(SafetyImpact::safetyCritical, true), nothing);
    std::vector<std::string> ids;
    for (const auto& c : verdict.blockingFailures()) ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"safety", "expert", "backup", "voltage", "stopped", "engine", "security"}));

    auto context = ready();
    context.hasSecurityProvider = true;
    EXPECT_TRUE(WriteGuard().evaluate(recipe(SafetyImpact::comfort, true), context).isAllowed());
}
