#include "VEQEngine/Coding/WriteGuard.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>

namespace veq {

namespace {

GuardCheck safetyCheck(const CodingRecipe& recipe) {
    const bool critical = recipe.safetyImpact == SafetyImpact::safetyCritical;
    return {"safety", "Impact sur la sécurité",
            critical ? "Oskavel Car refuse toute écriture sur les systèmes de sécurité (freinage, airbag, aides à la "
                       "conduite, éclairage réglementaire)."
                     : "Catégorie : " + std::string(label(recipe.safetyImpact)) + ".",
            !critical, true};
}

GuardCheck expertCheck(const WriteGuard::Context& c) {
    return {"expert", "Mode Expert accepté", "Vous devez lire et accepter l'avertissement du mode Expert.",
            c.expertModeAccepted, true};
}

GuardCheck backupCheck(const WriteGuard::Context& c) {
    // A backup dated in the future would otherwise stay recent for ever.
    const bool passed =
        c.hasValidBackup && c.backupAge && *c.backupAge >= 0.0 && *c.backupAge < WriteGuard::maximumBackupAge;
    std::string detail;
    if (!c.hasValidBackup) {
        detail = "Aucune sauvegarde valide de ce calculateur. Sauvegardez-le avant toute écriture \u2014 sans "
                 "sauvegarde, aucun retour en arrière n'est possible.";
    } else if (c.backupAge && *c.backupAge >= WriteGuard::maximumBackupAge) {
        detail = "La sauvegarde date de plus de 24 heures. Refaites-en une.";
    } else if (c.backupAge && *c.backupAge < 0.0) {
        detail = "La sauvegarde est datée dans le futur (horloge de l'ordinateur déréglée ?). Refaites-en une.";
    } else {
        detail = "Sauvegarde vérifiée et récente.";
    }
    return {"backup", "Sauvegarde ECU valide (< 24 h)", std::move(detail), passed, true};
}

GuardCheck voltageCheck(const WriteGuard::Context& c) {
    // The title shows the threshold, never the measurement.
    auto title = fmt::format("Tension batterie > {:.1f} V", WriteGuard::minimumVoltage);
    const bool passed = c.batteryVoltage && *c.batteryVoltage > WriteGuard::minimumVoltage;
    std::string detail;
    if (!c.batteryVoltage) {
        detail = "Tension batterie non lisible \u2014 écriture refusée par précaution.";
    } else if (passed) {
        detail = fmt::format("Tension mesurée : {:.2f} V.", *c.batteryVoltage);
    } else {
        detail = fmt::format("Tension trop faible ({:.2f} V). Une écriture sur batterie faible peut rendre un "
                             "calculateur définitivement inutilisable. Branchez un chargeur.",
                             *c.batteryVoltage);
    }
    return {"voltage", std::move(title), std::move(detail), passed, true};
}

GuardCheck stoppedCheck(const WriteGuard::Context& c) {
    const bool passed = !c.speedKmh || *c.speedKmh < 1.0;
    return {"stopped", "Véhicule à l'arrêt",
            passed ? "Véhicule immobile." : "Le véhicule doit être à l'arrêt complet.", passed, true};
}

GuardCheck engineCheck(const WriteGuard::Context& c) {
    const bool passed = !c.rpm || *c.rpm < 50.0;
    return {"engine", "Moteur à l'arrêt (régime nul)",
            passed ? "Moteur arrêté, contact mis."
                   : "Coupez le moteur (contact mis, moteur non tournant) avant d'écrire.",
            passed, true};
}

GuardCheck securityCheck(const WriteGuard::Context& c) {
    return {"security", "Provider d'accès sécurisé",
            c.hasSecurityProvider
                ? "Provider chargé pour ce calculateur."
                : "Aucun provider seed/key chargé. L'algorithme du service UDS 0x27 est propriétaire Mercedes et "
                  "n'est pas fourni avec l'application : cette opération reste en lecture seule.",
            c.hasSecurityProvider, true};
}

std::vector<GuardCheck> selectFailures(const std::vector<GuardCheck>& checks, bool blockingOnly) {
    std::vector<GuardCheck> out;
    std::copy_if(checks.begin(), checks.end(), std::back_inserter(out),
                 [&](const GuardCheck& c) { return !c.passed && (!blockingOnly || c.blocking); });
    return out;
}

} // namespace

std::vector<GuardCheck> GuardVerdict::failures() const { return selectFailures(checks, false); }

std::vector<GuardCheck> GuardVerdict::blockingFailures() const { return selectFailures(checks, true); }

bool GuardVerdict::isAllowed() const {
    return std::none_of(checks.begin(), checks.end(), [](const GuardCheck& c) { return !c.passed && c.blocking; });
}

GuardVerdict WriteGuard::evaluate(const CodingRecipe& recipe, const Context& context) const {
    GuardVerdict verdict;
    verdict.checks = {safetyCheck(recipe),   expertCheck(context),  backupCheck(context),
                      voltageCheck(context), stoppedCheck(context), engineCheck(context)};
    if (recipe.requiresSecurityAccess) verdict.checks.push_back(securityCheck(context));
    return verdict;
}

} // namespace veq
