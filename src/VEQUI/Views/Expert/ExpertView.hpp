#pragma once

#include "VEQEngine/Coding/CodingRecipe.hpp"
#include "VEQUI/Views/Expert/ExpertControls.hpp"

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QDialog;
class QLineEdit;
class QScrollArea;
class QVBoxLayout;

namespace veq {

class AppModel;
class CapsuleButton;
class LiveBadgeView;
class PlainButton;
class SegmentedPicker;

// The "Mode Expert" section: the gate until expert mode is accepted, then the header with its
// tabs and live readings, the banner on security-access providers, and the selected tab: the
// recipe catalogue with its search and safety filter (grouped by category, one card per recipe,
// a card opening the recipe's sheet), the identifier scanner, the backups or the audit log.
// The search, the filter and the tab live as long as the screen; each other tab starts afresh.
class ExpertView : public QWidget {
public:
    enum class Tab { recipes, scanner, backups, audit };
    // The tabs in order with their titles.
    static const std::vector<std::pair<Tab, QString>>& tabs();
    // The tab of a title, exactly; nothing for any other text.
    static std::optional<Tab> tab(const QString& title);

    ExpertView(AppModel& model, RevealAction reveal = {}, QWidget* parent = nullptr);

    Tab currentTab() const { return tab_; }
    void selectTab(Tab tab);
    const QString& search() const { return search_; }
    void setSearch(const QString& text);
    const std::optional<SafetyImpact>& impactFilter() const { return impactFilter_; }
    // The recipe whose sheet is open.
    const std::optional<CodingRecipe>& selected() const { return selected_; }
    QDialog* sheet() const { return sheet_; }
    // Opens the recipe's sheet, as pressing its card does.
    void open(const CodingRecipe& recipe);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showGateOrTabs();
    QWidget* makeTabs();
    QWidget* makeHeader();
    QWidget* makeProviderBanner();
    QWidget* makeTabContent();
    QWidget* makeRecipeList();
    QWidget* makeFilterBar();
    void renderRecipes();
    void renderFilterBar();
    void renderBadges();
    void renderBanner();
    void pressChip(const std::optional<SafetyImpact>& impact);

    AppModel& model_;
    RevealAction reveal_;
    Tab tab_ = Tab::recipes;
    QString search_;
    std::optional<SafetyImpact> impactFilter_;
    std::optional<CodingRecipe> selected_;
    QDialog* sheet_ = nullptr;

    QVBoxLayout* layout_;
    QWidget* shown_ = nullptr;  // the gate or the tabs
    bool showingTabs_ = false;
    LiveBadgeView* voltage_ = nullptr;
    LiveBadgeView* engineSpeed_ = nullptr;
    QWidget* banner_ = nullptr;
    QVBoxLayout* tabColumn_ = nullptr;
    QWidget* content_ = nullptr; // the selected tab's
    QLineEdit* searchField_ = nullptr;
    PlainButton* clearSearch_ = nullptr;
    std::vector<CapsuleButton*> chips_;
    QWidget* count_ = nullptr;
    QScrollArea* recipeScroll_ = nullptr;
};

} // namespace veq
