#include "ExpertFixtures.hpp"

#include "VEQEngine/Coding/RecipeCatalog.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/CarbonBackground.hpp"
#include "VEQUI/Views/ExpertGateView.hpp"
#include "VEQUI/Views/ExpertView.hpp"
#include "VEQUI/Views/ProminentButton.hpp"
#include "VEQUI/Views/RecipeCard.hpp"
#include "VEQUI/Views/RecipeDetailView.hpp"
#include "VEQUI/Views/SymbolView.hpp"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace veq {
namespace {

using namespace veq::testing;
using Access = AppModelTestAccess;

QString qs(const std::string& text) { return QString::fromStdString(text); }

TEST(ExpertView, GateStandsAloneOverTheCarbonUntilAcceptedThenTheRecipesShowAndTheAcceptanceIsAudited) {
    ExpertRig rig;
    ASSERT_TRUE(rig.connect());
    ExpertView view(rig.model(), rig.reveals.action());
    present(view, expertScreenSize);
    shoot(view, QStringLiteral("expert-gate"));

    auto* gate = only<ExpertGateView>(view, QStringLiteral("ExpertGateView"));
    ASSERT_NE(gate, nullptr);
    EXPECT_DOUBLE_EQ(gate->opacity(), 0.4);
    EXPECT_EQ(only(view, QStringLiteral("expertHeader")), nullptr);
    EXPECT_EQ(only(view, QStringLiteral("providerBanner")), nullptr);
    EXPECT_EQ(only(view, QStringLiteral("tabPicker")), nullptr);

    // The button follows the check box, both ways.
    auto* box = gate->acknowledgement();
    auto* accept = gate->acceptButton();
    EXPECT_FALSE(accept->isEnabled());
    EXPECT_EQ(accept->tint(), VEQ::stroke());
    box->setChecked(true);
    EXPECT_TRUE(accept->isEnabled());
    EXPECT_EQ(accept->tint(), VEQ::critical());
    box->setChecked(false);
    EXPECT_FALSE(accept->isEnabled());
    QTest::mouseClick(accept, Qt::LeftButton);
    EXPECT_FALSE(rig.model().expertAccepted());

    box->setChecked(true);
    shoot(view, QStringLiteral("expert-gate-ticked"));
    QTest::mouseClick(accept, Qt::LeftButton);
    EXPECT_TRUE(rig.model().expertAccepted());
    ASSERT_TRUE(settleUntil([&] { return only(view, QStringLiteral("expertHeader")) != nullptr; }));
    EXPECT_EQ(only(view, QStringLiteral("ExpertGateView")), nullptr);
    EXPECT_EQ(view.currentTab(), ExpertView::Tab::recipes);
    ASSERT_TRUE(settleUntil([&] {
        return !rig.model().auditEntries().empty() &&
               rig.model().auditEntries().front().kind == AuditEntry::Kind::expertAccepted;
    }));
    EXPECT_EQ(rig.model().auditEntries().size(), 1u);
}

TEST(ExpertView, TheGateStartsClearedEachTimeItIsBuilt) {
    ExpertRig rig;
    for (int i = 0; i < 2; ++i) {
        ExpertView view(rig.model());
        present(view, expertScreenSize);
        auto* gate = only<ExpertGateView>(view, QStringLiteral("ExpertGateView"));
        ASSERT_NE(gate, nullptr);
        EXPECT_FALSE(gate->acknowledgement()->isChecked());
        gate->acknowledgement()->setChecked(true);
    }
    EXPECT_FALSE(rig.model().expertAccepted());
}

TEST(ExpertView, EveryBundledRecipeIsACardWithItsJudgedBadgeGroupedByFirstAppearance) {
    ExpertRig rig;
    ASSERT_TRUE(rig.open());
    ExpertView& view = *rig.view;
    shoot(view, QStringLiteral("expert-recipes"));
    const auto bundled = RecipeCatalog::bundled();
    ASSERT_FALSE(bundled.empty());
    ASSERT_EQ(rig.model().recipes(), bundled);

    // Group titles in order of first appearance, each with the default icon, its count and its
    // cards, each with its judged badge.
    const auto groups = named(view, QStringLiteral("recipeGroup"));
    const auto catalogue = RecipeCatalog::grouped(bundled);
    ASSERT_EQ(groups.size(), static_cast<qsizetype>(catalogue.size()));
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        const QWidget& group = *groups[static_cast<qsizetype>(i)];
        const auto& [category, recipes] = catalogue[i];
        EXPECT_EQ(textOf(group, "categoryTitle"), qs(category).toUpper().toStdString());
        EXPECT_EQ(textOf(group, "categoryCount"), std::to_string(recipes.size()));
        EXPECT_EQ(only<SymbolView>(group, QStringLiteral("categoryIcon"))->symbol(), "slider.horizontal.3");
        const auto cards = named<RecipeCard>(group, QStringLiteral("recipeCard"));
        ASSERT_EQ(cards.size(), static_cast<qsizetype>(recipes.size()));
        std::set<std::string> shown, listed;
        for (const auto& recipe : recipes) listed.insert(recipe.id);
        for (const RecipeCard* card : cards) {
            shown.insert(card->recipeID());
            EXPECT_EQ(only<SymbolCapsuleView>(*card, QStringLiteral("feasibilityBadge"))->component(),
                      feasibilityBadge(rig.model().feasibilities().at(card->recipeID())))
                << card->recipeID();
        }
        EXPECT_EQ(shown, listed);
    }
    EXPECT_EQ(textOf(view, "recipeCount"), std::to_string(bundled.size()) + " / " + std::to_string(bundled.size()));
    // No provider ships: the closed lock and the read-only texts.
    EXPECT_EQ(only<SymbolView>(view, QStringLiteral("providerLock"))->symbol(), "lock.fill");
    EXPECT_EQ(textOf(view, "providerTitle"), "Aucun provider d'acc\u00E8s s\u00E9curis\u00E9 \u2014 mode lecture seule");
}

} // namespace
} // namespace veq
