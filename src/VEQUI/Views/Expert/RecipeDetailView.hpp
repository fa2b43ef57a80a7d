#pragma once

#include "VEQEngine/Coding/CodingRecipe.hpp"
#include "VEQEngine/Coding/WriteGuard.hpp"

#include <QWidget>

#include <functional>
#include <optional>

class QScrollArea;
class QHBoxLayout;

namespace veq {

class AppModel;

// The sheet of one coding recipe: its identity and badges, the safety warning, the one problem
// that blocks a write with its way out, the explanation, the write guards with their verdict,
// the UDS steps, the last operation's outcome, and the bar that backs the ECU up and, only while
// the model allows writing, applies the recipe behind a confirmation.
//
// The guard verdict is the sheet's own: asked for when the sheet is first shown and after a
// confirmed write, never otherwise. Everything else follows the model as it changes.
class RecipeDetailView : public QWidget {
public:
    static constexpr int sheetWidth = 720;
    static constexpr int sheetHeight = 660;

    RecipeDetailView(AppModel& model, CodingRecipe recipe, QWidget* parent = nullptr);

    const CodingRecipe& recipe() const { return recipe_; }
    const std::optional<GuardVerdict>& verdict() const { return verdict_; }
    // True once a verdict request has come back (with or without a verdict).
    bool refreshed() const { return refreshed_; }
    bool confirmingWrite() const { return confirmingWrite_; }

    // Asks the model for a new verdict, stores it, then refreshes the model's backup list.
    void refresh();

    // Closes the sheet; by default the window holding it.
    std::function<void()> dismiss;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void render();
    QWidget* makeHeader();
    QWidget* makeBody();
    QWidget* makeActionBar();
    void confirmWrite();

    AppModel& model_;
    const CodingRecipe recipe_;
    std::optional<GuardVerdict> verdict_;
    bool refreshed_ = false;
    bool confirmingWrite_ = false;
    bool shownOnce_ = false;
    QWidget* header_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* actionBar_ = nullptr;
};

} // namespace veq
