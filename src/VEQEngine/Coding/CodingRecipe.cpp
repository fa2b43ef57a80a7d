#include "VEQEngine/Coding/CodingRecipe.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace veq {

namespace {

struct ImpactRow {
    SafetyImpact impact;
    std::string_view label;
    bool isWriteForbidden;
    bool requiresExtraConfirmation;
    std::string_view warning; // empty: no warning
};

// The vehicleDynamics warning opens with U+26A0 and the text-style selector U+FE0E, the
// safetyCritical one with U+26D4 and the emoji-style selector U+FE0F.
constexpr std::array kImpacts{
    ImpactRow{SafetyImpact::comfort,         "Confort \u2014 sans effet sur la conduite", false, false, ""},
    ImpactRow{SafetyImpact::driverAttention, "Attention du conducteur",                   false, true,
              "Cette modification change ce que vous voyez ou entendez au volant. Elle peut détourner votre "
              "attention de la route et, selon les cas, être illégale sur la voie publique."},
    ImpactRow{SafetyImpact::vehicleDynamics, "Comportement du véhicule",                  false, true,
              "\u26A0\uFE0E ATTENTION \u2014 Cette modification touche au groupe motopropulseur, au châssis ou aux "
              "aides à la conduite. Elle peut altérer le comportement du véhicule, sa fiabilité et sa "
              "consommation, et annuler votre garantie. N'intervenez que si vous comprenez précisément "
              "l'effet de chaque octet écrit."},
    ImpactRow{SafetyImpact::safetyCritical,  "Système de sécurité",                       true,  false,
              "\u26D4\uFE0F INTERDIT \u2014 Cette fonction touche à un système de sécurité (freinage, airbag, "
              "aides à la conduite, éclairage réglementaire). Oskavel Car refuse toute écriture sur ces "
              "calculateurs. Adressez-vous à un atelier agréé."},
};

const ImpactRow& row(SafetyImpact s) {
    return *std::find_if(kImpacts.begin(), kImpacts.end(), [s](const ImpactRow& r) { return r.impact == s; });
}

template <class E>
void enumFromJSON(const nlohmann::json& j, E& e, const char* what) {
    const auto& text = j.get_ref<const std::string&>();
    const auto found = fromRaw<E>(text);
    if (!found) throw nlohmann::json::other_error::create(501, std::string(what) + " inconnu : " + text, &j);
    e = *found;
}

void optionalToJSON(nlohmann::json& j, const char* key, const std::optional<std::string>& value) {
    if (value) j[key] = *value;
}

// Absent and null both mean "no value"; any other type than a string is an error.
std::optional<std::string> optionalFromJSON(const nlohmann::json& j, const char* key) {
    const auto it = j.find(key);
    if (it == j.end() || it->is_null()) return std::nullopt;
    return it->template get<std::string>();
}

template <class T>
T required(const nlohmann::json& j, const char* key) {
    return j.at(key).template get<T>();
}

} // namespace

std::string_view label(RiskLevel r) {
    switch (r) {
    case RiskLevel::low: return "Faible";
    case RiskLevel::medium: return "Moyen";
    case RiskLevel::high: return "Élevé";
    }
    return {};
}

std::string_view label(SafetyImpact s) { return row(s).label; }

std::optional<std::string_view> warning(SafetyImpact s) {
    const auto text = row(s).warning;
    if (text.empty()) return std::nullopt;
    return text;
}

bool isWriteForbidden(SafetyImpact s) { return row(s).isWriteForbidden; }
bool requiresExtraConfirmation(SafetyImpact s) { return row(s).requiresExtraConfirmation; }

std::string RecipeStep::id() const { return service + "-" + did.value_or("") + "-" + action.value_or(""); }

bool RecipeStep::isWrite() const { return service == "0x2E" || service == "0x31"; }

std::string RecipeStep::explanation() const {
    if (service == "0x10") return "Ouvre une session diagnostique étendue sur le calculateur.";
    if (service == "0x27") return "Demande l'accès sécurisé (graine/clé) \u2014 nécessite un provider.";
    if (service == "0x22") return "Lit l'identifiant de données " + did.value_or("?") + " (sauvegarde de la valeur actuelle).";
    if (service == "0x2E") return "Écrit la valeur " + value.value_or("?") + " dans l'identifiant " + did.value_or("?") + ".";
    if (service == "0x31") return "Lance une routine sur le calculateur.";
    if (service == "0x11") return "Réinitialise le calculateur pour appliquer la modification.";
    return "Service UDS " + service + ".";
}

bool CodingRecipe::hasWrite() const {
    return std::any_of(steps.begin(), steps.end(), [](const RecipeStep& s) { return s.isWrite(); });
}

void to_json(nlohmann::json& j, RiskLevel r) { j = std::string(rawValue(r)); }
void from_json(const nlohmann::json& j, RiskLevel& r) { enumFromJSON(j, r, "niveau de risque"); }
void to_json(nlohmann::json& j, SafetyImpact s) { j = std::string(rawValue(s)); }
void from_json(const nlohmann::json& j, SafetyImpact& s) { enumFromJSON(j, s, "impact de sécurité"); }

void to_json(nlohmann::json& j, const RecipeStep& step) {
    j = nlohmann::json::object();
    j["service"] = step.service;
    optionalToJSON(j, "did", step.did);
    optionalToJSON(j, "level", step.level);
    optionalToJSON(j, "data", step.data);
    optionalToJSON(j, "value", step.value);
    optionalToJSON(j, "action", step.action);
}

void from_json(const nlohmann::json& j, RecipeStep& step) {
    if (!j.is_object()) throw nlohmann::json::type_error::create(302, "une étape doit être un objet", &j);
    step.service = required<std::string>(j, "service");
    step.did = optionalFromJSON(j, "did");
    step.level = optionalFromJSON(j, "level");
    step.data = optionalFromJSON(j, "data");
    step.value = optionalFromJSON(j, "value");
    step.action = optionalFromJSON(j, "action");
}

void to_json(nlohmann::json& j, const CodingRecipe& recipe) {
    j = nlohmann::json::object();
    j["id"] = recipe.id;
    j["title"] = recipe.title;
    j["category"] = recipe.category;
    j["ecu"] = recipe.ecu;
    optionalToJSON(j, "ecuAddress", recipe.ecuAddress);
    j["risk"] = recipe.risk;
    j["safetyImpact"] = recipe.safetyImpact;
    j["reversible"] = recipe.reversible;
    j["requiresSecurityAccess"] = recipe.requiresSecurityAccess;
    j["bus"] = recipe.bus;
    j["description"] = recipe.description;
    optionalToJSON(j, "effect", recipe.effect);
    optionalToJSON(j, "howToRevert", recipe.howToRevert);
    j["steps"] = recipe.steps;
}

void from_json(const nlohmann::json& j, CodingRecipe& recipe) {
    if (!j.is_object()) throw nlohmann::json::type_error::create(302, "une recette doit être un objet", &j);
    recipe.id = required<std::string>(j, "id");
    recipe.title = required<std::string>(j, "title");
    recipe.category = required<std::string>(j, "category");
    recipe.ecu = required<std::string>(j, "ecu");
    recipe.ecuAddress = optionalFromJSON(j, "ecuAddress");
    recipe.risk = required<RiskLevel>(j, "risk");
    recipe.safetyImpact = required<SafetyImpact>(j, "safetyImpact");
    recipe.reversible = required<bool>(j, "reversible");
    recipe.requiresSecurityAccess = required<bool>(j, "requiresSecurityAccess");
    recipe.bus = required<std::string>(j, "bus");
    recipe.description = required<std::string>(j, "description");
    recipe.effect = optionalFromJSON(j, "effect");
    recipe.howToRevert = optionalFromJSON(j, "howToRevert");
    const auto& steps = j.at("steps");
    if (!steps.is_array()) throw nlohmann::json::type_error::create(302, "les étapes doivent former un tableau", &steps);
    recipe.steps = steps.get<std::vector<RecipeStep>>();
}

} // namespace veq
