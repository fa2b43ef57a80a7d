#pragma once

#include "VEQEngine/Coding/CodingEngine.hpp"
#include "VEQEngine/Coding/CodingRecipe.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/SymbolCapsule.hpp"

#include <functional>
#include <optional>

namespace veq {

// Whether a recipe can run: its symbol, text and colour; "…" on a clock while not judged yet.
// The reason a read-only or forbidden feasibility carries is not shown.
SymbolCapsule feasibilityBadge(const std::optional<Feasibility>& feasibility);

// The recipe's safety impact in the screen's own capitals ("CONFORT", "SÉCURITÉ", ...).
SymbolCapsule safetyChip(SafetyImpact impact);

// A text chip of the card: the text in capitals in its colour.
SymbolCapsule recipeChip(const QString& text, const QColor& color);
SymbolCapsule riskChip(RiskLevel risk);
SymbolCapsule reversibilityChip(bool reversible);

// One recipe of the catalogue, pressed to open its detail: the title with the feasibility badge,
// two lines of description, the safety, risk and reversibility chips and the target ECU. A
// safety-critical recipe is outlined in the fault colour.
class RecipeCard : public RoundedPanel {
public:
    RecipeCard(const CodingRecipe& recipe, const std::optional<Feasibility>& feasibility,
               std::function<void()> action, QWidget* parent = nullptr);

    const std::string& recipeID() const { return recipeID_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::string recipeID_;
    std::function<void()> action_;
    bool pressed_ = false;
};

} // namespace veq
