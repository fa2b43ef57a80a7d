#include "VEQUI/Views/Expert/ExpertRules.hpp"


#include <fmt/format.h>

#include <cmath>

namespace veq::ExpertRules {

namespace {

struct CategoryIcon {
    const char* category;
    const char* symbol;
};

// clang-format off
const CategoryIcon categoryIcons[] = {
    {"Affichage AMG",                         "gauge.with.needle.fill"},
    {"Massage et si\u00E8ges",                "chair.lounge.fill"},
    {"\u00C9clairage d'ambiance",             "lightbulb.led.fill"},
    {"Suspension AIRMATIC",                   "car.side.arrowtriangle.up.arrowtriangle.down"},
    {"Conduite et dynamique",                 "engine.combustion.fill"},
    {"\u00C9clairage ext\u00E9rieur r\u00E9glement\u00E9", "headlight.low.beam.fill"},
    {"Confort de fermeture",                  "lock.rotation"},
    {"Multim\u00E9dia et connectivit\u00E9",  "play.rectangle.fill"},
};
// clang-format on

constexpr const char* defaultCategoryIcon = "slider.horizontal.3";
const QString noValue = QStringLiteral("\u2014");

bool contains(const std::string& field, const QString& needle) {
    return QString::fromStdString(field).toLower().contains(needle);
}

} // namespace

std::vector<CodingRecipe> filtered(const std::vector<CodingRecipe>& recipes, const QString& search,
                                   const std::optional<SafetyImpact>& impact) {
    const QString needle = search.toLower();
    std::vector<CodingRecipe> out;
    for (const CodingRecipe& recipe : recipes) {
        if (impact && recipe.safetyImpact != *impact) continue;
        const bool found = search.isEmpty() || contains(recipe.title, needle) || contains(recipe.description, needle) ||
                           contains(recipe.category, needle) || contains(recipe.ecu, needle);
        if (found) out.push_back(recipe);
    }
    return out;
}

std::string categoryIcon(const std::string& category) {
    for (const CategoryIcon& row : categoryIcons) {
        if (category == row.category) return row.symbol;
    }
    return defaultCategoryIcon;
}

LiveBadge voltageBadge(const std::optional<double>& volts) {
    if (!volts) return {QStringLiteral("Tension"), noValue, false};
    return {QStringLiteral("Tension"), QString::fromStdString(fmt::format("{:.2f} V", *volts)), *volts > 12.0};
}

LiveBadge engineSpeedBadge(const std::optional<double>& rpm) {
    if (!rpm) return {QStringLiteral("R\u00E9gime"), noValue, true};
    const auto whole = static_cast<long long>(std::trunc(*rpm));
    return {QStringLiteral("R\u00E9gime"), QString::number(whole), *rpm < 50};
}

const std::vector<FilterChip>& filterChips() {
    // clang-format off
    static const std::vector<FilterChip> chips{
        {std::nullopt,                  QStringLiteral("Tout")},
        {SafetyImpact::comfort,         QStringLiteral("Confort")},
        {SafetyImpact::driverAttention, QStringLiteral("Attention")},
        {SafetyImpact::vehicleDynamics, QStringLiteral("Moteur")},
        {SafetyImpact::safetyCritical,  QStringLiteral("S\u00E9curit\u00E9")},
    };
    // clang-format on
    return chips;
}

} // namespace veq::ExpertRules
