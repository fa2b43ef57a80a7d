#pragma once

#include "VEQSupport/Enum.hpp"

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veq {

// How risky a coding recipe is, shown as a badge.
enum class RiskLevel { low, medium, high };

template <>
struct EnumTraits<RiskLevel> {
    using Raw = std::string_view;
    static constexpr std::array allCases{RiskLevel::low, RiskLevel::medium, RiskLevel::high};
    static constexpr Raw raw(RiskLevel r) {
        switch (r) {
        case RiskLevel::low: return "low";
        case RiskLevel::medium: return "medium";
        case RiskLevel::high: return "high";
        }
        return {};
    }
};

std::string_view label(RiskLevel r);

// Which kind of vehicle function a recipe touches; safety-critical recipes are never written.
enum class SafetyImpact { comfort, driverAttention, vehicleDynamics, safetyCritical };

template <>
struct EnumTraits<SafetyImpact> {
    using Raw = std::string_view;
    static constexpr std::array allCases{SafetyImpact::comfort, SafetyImpact::driverAttention,
                                         SafetyImpact::vehicleDynamics, SafetyImpact::safetyCritical};
    static constexpr Raw raw(SafetyImpact s) {
        switch (s) {
        case SafetyImpact::comfort: return "comfort";
        case SafetyImpact::driverAttention: return "driverAttention";
        case SafetyImpact::vehicleDynamics: return "vehicleDynamics";
        case SafetyImpact::safetyCritical: return "safetyCritical";
        }
        return {};
    }
};

std::string_view label(SafetyImpact s);
std::optional<std::string_view> warning(SafetyImpact s);
bool isWriteForbidden(SafetyImpact s);
bool requiresExtraConfirmation(SafetyImpact s);

// One UDS step of a recipe. Identifiers and values stay text as written in the catalogue; the
// coding engine decides which steps it can carry out.
struct RecipeStep {
    std::string service; // "0x" and two upper-case hexadecimal digits, e.g. "0x22"
    std::optional<std::string> did;
    std::optional<std::string> level;
    std::optional<std::string> data;
    std::optional<std::string> value;
    std::optional<std::string> action;

    // service-did-action: two steps with the same three are the same step in a list.
    std::string id() const;
    // WriteDataByIdentifier or RoutineControl, compared as exact text ("0x2e" is not a write).
    bool isWrite() const;
    // The French sentence shown beside the step.
    std::string explanation() const;

    bool operator==(const RecipeStep&) const = default;
};

// One ECU coding operation offered by the expert mode.
struct CodingRecipe {
    std::string id;
    std::string title;
    std::string category;
    std::string ecu;
    std::optional<std::string> ecuAddress; // the request header, as the ECU scan reports it
    RiskLevel risk = RiskLevel::low;
    SafetyImpact safetyImpact = SafetyImpact::comfort;
    bool reversible = false;
    bool requiresSecurityAccess = false;
    std::string bus;
    std::string description;
    std::optional<std::string> effect;
    std::optional<std::string> howToRevert;
    std::vector<RecipeStep> steps;

    bool hasWrite() const;

    bool operator==(const CodingRecipe&) const = default;
};

// Catalogue coding: every listed key, strictly typed; unknown keys are ignored, an optional
// key that is absent or null gives no value, anything else missing or mistyped throws.
void to_json(nlohmann::json& j, RiskLevel r);
void from_json(const nlohmann::json& j, RiskLevel& r);
void to_json(nlohmann::json& j, SafetyImpact s);
void from_json(const nlohmann::json& j, SafetyImpact& s);
void to_json(nlohmann::json& j, const RecipeStep& step);
void from_json(const nlohmann::json& j, RecipeStep& step);
void to_json(nlohmann::json& j, const CodingRecipe& recipe);
void from_json(const nlohmann::json& j, CodingRecipe& recipe);

} // namespace veq
