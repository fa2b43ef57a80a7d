#pragma once

#include "VEQEngine/Coding/CodingRecipe.hpp"

#include <QString>

#include <optional>
#include <string>
#include <vector>

// What the expert screen derives from the model on every change: the filtered catalogue, the
// category icons, the live badges and the filter chips.
namespace veq::ExpertRules {

// The recipes whose safety impact is `impact` (any when none) and, unless `search` is empty,
// whose title, description, category or ECU contains it, case aside (accents count). The search
// is not trimmed. The model's order is kept.
std::vector<CodingRecipe> filtered(const std::vector<CodingRecipe>& recipes, const QString& search,
                                   const std::optional<SafetyImpact>& impact);

// The symbol of a category group; "slider.horizontal.3" for a category not in the table.
std::string categoryIcon(const std::string& category);

// A live reading of the header: its label, its value text and whether it is good for coding.
struct LiveBadge {
    QString label;
    QString value;
    bool ok = false;

    bool operator==(const LiveBadge&) const = default;
};

// "Tension": "12.45 V", good above 12.0 V; "—" (not good) without a value.
LiveBadge voltageBadge(const std::optional<double>& volts);
// "Régime": the whole rpm, good below 50; "—" (good) without a value.
LiveBadge engineSpeedBadge(const std::optional<double>& rpm);

// The filter chips in order: "Tout" (no impact) then one per safety impact.
struct FilterChip {
    std::optional<SafetyImpact> impact;
    QString label;
};
const std::vector<FilterChip>& filterChips();

} // namespace veq::ExpertRules
