#pragma once

#include "VEQEngine/Coding/CodingEngine.hpp"
#include "VEQEngine/Coding/CodingRecipe.hpp"
#include "VEQEngine/Coding/WriteGuard.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a recipe's detail sheet decides from the recipe, its feasibility and the guard's verdict:
// the one problem shown first with its way out, the explanation blocks, whether "Appliquer" is
// enabled and the texts of the write confirmation.
namespace veq::RecipeDetailRules {

// The single problem that blocks a write. Fixable: a guard condition the user can lift.
struct Blocker {
    std::string title;
    std::string detail;
    std::string remedy;
    bool fixable = false;

    bool operator==(const Blocker&) const = default;
};

// A problem of feasibility first (forbidden, unreachable, read-only), then the first blocking
// failure of the verdict; nothing when neither applies.
std::optional<Blocker> blocker(const CodingRecipe& recipe, const std::optional<Feasibility>& feasibility,
                               const std::optional<GuardVerdict>& verdict);

// What the user can do about a failed guard check, by its id.
std::string remedyFor(const std::string& guardID);

// The colour of an explanation block.
enum class BlockTone { accent, confirm, warning };

struct ExplanationBlock {
    std::string title; // as written; shown in capitals
    std::string symbol;
    BlockTone tone = BlockTone::accent;
    std::string text;

    bool operator==(const ExplanationBlock&) const = default;
};

// What the recipe does, what the user will see, how to go back, and why its badge says what it
// says (only for a feasibility that is known and not executable).
std::vector<ExplanationBlock> explanation(const CodingRecipe& recipe, const std::optional<Feasibility>& feasibility);

// "Appliquer" is enabled: an executable feasibility and a verdict that allows.
bool canExecute(const std::optional<Feasibility>& feasibility, const std::optional<GuardVerdict>& verdict);

std::string confirmationTitle(const CodingRecipe& recipe);
std::string confirmationMessage(const CodingRecipe& recipe);

// "Service 0x2E · DID 0xF190": the second line of a step.
std::string stepDetail(const RecipeStep& step);

// The warning banner's symbol for an impact that has a warning.
std::string warningSymbol(SafetyImpact impact);

// "Calculateur · 7E4 · CAN-B": the ECU, its address ("?" when absent) and the bus.
std::string headerLine(const CodingRecipe& recipe);

// An engine text as the sheet shows it. The safety-critical warning opens with "⛔" (and an emoji
// selector), which the font lacks: the sheet draws that sign as a symbol before the rest.
struct SignedText {
    std::string symbol; // empty: the text has no sign of its own
    std::string text;

    bool operator==(const SignedText&) const = default;
};
SignedText signedText(std::string_view text);

} // namespace veq::RecipeDetailRules
