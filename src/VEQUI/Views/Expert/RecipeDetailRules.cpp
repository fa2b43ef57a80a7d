#include "VEQUI/Views/Expert/RecipeDetailRules.hpp"

namespace veq::RecipeDetailRules {

namespace {

struct Remedy {
    const char* guardID; // none: any other check
    const char* text;
};

// clang-format off
const Remedy remedies[] = {
    {"backup",  "Cliquez sur \u00AB Sauvegarder ce calculateur \u00BB en bas de cette fiche. C'est obligatoire avant "
                "toute \u00E9criture."},
    {"voltage", "Branchez un chargeur de batterie et remettez le contact. Une \u00E9criture sous 12 V peut d\u00E9truire "
                "le calculateur."},
    {"stopped", "Immobilisez compl\u00E8tement le v\u00E9hicule."},
    {"engine",  "Coupez le moteur en laissant le contact mis (position 2)."},
    {"expert",  "Acceptez l'avertissement du mode Expert."},
    {nullptr,   "Levez cette condition puis rouvrez cette fiche."},
};
// clang-format on

const char* const forbiddenTitle = "\u00C9criture refus\u00E9e par Oskavel Car";
const char* const forbiddenRemedy = "Cette fonction restera en lecture seule. Adressez-vous \u00E0 un atelier agr\u00E9\u00E9.";
const char* const unreachableTitle = "Calculateur injoignable";
const char* const unreachableRemedy = "Il faudrait une interface reli\u00E9e au bus concern\u00E9 (SD Connect, passthru "
                                      "J2534) ou un c\u00E2ble ENET pour le DoIP.";
const char* const securityTitle = "Lecture seule \u2014 acc\u00E8s s\u00E9curis\u00E9 indisponible";
const char* const securityRemedy =
    "La sauvegarde et la lecture du calculateur fonctionnent normalement. Pour \u00E9crire, il faudrait charger un "
    "provider seed/key dans ~/.local/share/OskavelCar/Providers/, ou passer par XENTRY / Vediamo / DTS "
    "Monaco.";
// A recipe kept read-only for another reason than security access (nothing to write, a step the
// engine cannot carry out): the engine's reason stands alone, no provider would change it.
const char* const readOnlyTitle = "Lecture seule";
const char* const readOnlyRemedy = "La sauvegarde et la lecture du calculateur fonctionnent normalement.";

std::string impactLabel(SafetyImpact impact) { return std::string(label(impact)); }

} // namespace

std::optional<Blocker> blocker(const CodingRecipe& recipe, const std::optional<Feasibility>& feasibility,
                               const std::optional<GuardVerdict>& verdict) {
    if (feasibility) {
        switch (feasibility->kind) {
        case Feasibility::Kind::forbidden: return Blocker{forbiddenTitle, feasibility->reason, forbiddenRemedy, false};
        case Feasibility::Kind::ecuUnreachable:
            return Blocker{unreachableTitle,
                           "Le calculateur \u00AB " + recipe.ecu + " \u00BB n'a pas r\u00E9pondu. Il est probablement "
                               "sur le bus " + recipe.bus + ", qui n'est pas rout\u00E9 vers les broches 6/14 de la "
                               "prise OBD \u2014 c'est le cas de la plupart des calculateurs de confort.",
                           unreachableRemedy, false};
        case Feasibility::Kind::readOnly:
            // Security access is what keeps a recipe with something to write read-only.
            if (recipe.requiresSecurityAccess && recipe.hasWrite()) {
                return Blocker{securityTitle, feasibility->reason, securityRemedy, false};
            }
            return Blocker{readOnlyTitle, feasibility->reason, readOnlyRemedy, false};
        case Feasibility::Kind::executable: break;
        }
    }
    if (verdict) {
        const auto failures = verdict->blockingFailures();
        if (!failures.empty()) {
            const GuardCheck& first = failures.front();
            return Blocker{"Condition non remplie : " + first.title, first.detail, remedyFor(first.id), true};
        }
    }
    return std::nullopt;
}

std::string remedyFor(const std::string& guardID) {
    for (const Remedy& remedy : remedies) {
        if (remedy.guardID == nullptr || guardID == remedy.guardID) return remedy.text;
    }
    return {};
}

std::vector<ExplanationBlock> explanation(const CodingRecipe& recipe, const std::optional<Feasibility>& feasibility) {
    std::vector<ExplanationBlock> blocks;
    blocks.push_back({"Ce que fait cette fonction", "info.circle.fill", BlockTone::accent, recipe.description});
    if (recipe.effect) blocks.push_back({"Ce que vous observerez", "eye.fill", BlockTone::confirm, *recipe.effect});
    if (recipe.howToRevert) {
        blocks.push_back({"Comment revenir en arri\u00E8re", "arrow.uturn.backward.circle.fill",
                          recipe.reversible ? BlockTone::confirm : BlockTone::warning, *recipe.howToRevert});
    }
    if (feasibility && feasibility->kind != Feasibility::Kind::executable) {
        blocks.push_back(
            {"Pourquoi ce badge", "questionmark.circle.fill", BlockTone::warning, feasibility->explanation()});
    }
    return blocks;
}

bool canExecute(const std::optional<Feasibility>& feasibility, const std::optional<GuardVerdict>& verdict) {
    return feasibility && feasibility->kind == Feasibility::Kind::executable && verdict && verdict->isAllowed();
}

std::string confirmationTitle(const CodingRecipe& recipe) {
    return "Confirmer l'\u00E9criture dans \u00AB " + recipe.ecu + " \u00BB ?";
}

std::string confirmationMessage(const CodingRecipe& recipe) {
    std::string message = recipe.title;
    message += "\n\nCalculateur : " + recipe.ecu + " (" + recipe.ecuAddress.value_or("?") + ")\n";
    message += std::string("R\u00E9versible : ") + (recipe.reversible ? "oui" : "NON") + "\n";
    message += "Impact : " + impactLabel(recipe.safetyImpact) + "\n";
    if (recipe.safetyImpact != SafetyImpact::comfort) {
        if (const auto text = warning(recipe.safetyImpact)) message += "\n" + std::string(*text);
    }
    return message;
}

std::string stepDetail(const RecipeStep& step) {
    std::string out = "Service " + step.service;
    if (step.did) out += " \u00B7 DID " + *step.did;
    return out;
}

std::string warningSymbol(SafetyImpact impact) {
    return impact == SafetyImpact::safetyCritical ? "hand.raised.fill" : "exclamationmark.triangle.fill";
}

std::string headerLine(const CodingRecipe& recipe) {
    return recipe.ecu + " \u00B7 " + recipe.ecuAddress.value_or("?") + " \u00B7 " + recipe.bus;
}

SignedText signedText(std::string_view text) {
    constexpr std::string_view noEntry = "\u26D4";
    constexpr std::string_view emojiStyle = "\uFE0F";
    if (!text.starts_with(noEntry)) return {{}, std::string(text)};
    text.remove_prefix(noEntry.size());
    if (text.starts_with(emojiStyle)) text.remove_prefix(emojiStyle.size());
    if (text.starts_with(' ')) text.remove_prefix(1);
    return {"minus.circle.fill", std::string(text)};
}

} // namespace veq::RecipeDetailRules
