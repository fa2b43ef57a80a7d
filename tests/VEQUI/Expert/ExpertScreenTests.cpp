// The expert screen: its gate, its recipe cards and the sheet a card opens, over the simulated car
// or a scripted adapter.
#include "ExpertFixtures.hpp"

#include "VEQEngine/Coding/RecipeCatalog.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Gauges/CarbonBackground.hpp"
#include "VEQUI/Views/Expert/ExpertGateView.hpp"
#include "VEQUI/Views/Expert/ExpertView.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/SegmentedPicker.hpp"
#include "VEQUI/Views/Expert/RecipeCard.hpp"
#include "VEQUI/Views/Expert/RecipeDetailView.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QPointer>
#include <QTest>

namespace veq {
namespace {

using namespace veq::testing;
using Access = AppModelTestAccess;

RecipeCard* cardOf(const QWidget& root, const std::string& id) {
    for (RecipeCard* card : named<RecipeCard>(root, QStringLiteral("recipeCard"))) {
        if (card->recipeID() == id) return card;
    }
    return nullptr;
}

std::vector<std::string> guardIDs(const QWidget& sheet) {
    std::vector<std::string> ids;
    for (const QWidget* row : named(sheet, QStringLiteral("guardRow"))) ids.push_back(row->property("guardID").toString().toStdString());
    return ids;
}

// The connected screen past the gate, a recipe's sheet opened from its card.
struct Expert : ExpertRig {
    using ExpertRig::ExpertRig;

    // Presses the recipe's card and waits for the sheet's first verdict.
    RecipeDetailView* openSheet(const std::string& id) {
        RecipeCard* card = cardOf(*view, id);
        if (card == nullptr) return nullptr;
        QTest::mouseClick(card, Qt::LeftButton, {}, QPoint(20, 20));
        settleAll();
        auto* sheet = view->findChild<RecipeDetailView*>(QStringLiteral("RecipeDetailView"));
        if (sheet == nullptr || !settleUntil([&] { return sheet->refreshed(); })) return nullptr;
        settleAll();
        return sheet;
    }
};

TEST(RecipeSheet, ARecipeOpensWithItsVerdictItsReadOnlyBlockerStepsAndNoWriteOutOfTheBox) {
    Expert expert;
    ASSERT_TRUE(expert.open());
    AppModel& model = expert.model();
    RecipeDetailView* sheet = expert.openSheet("sam-f-coming-home");
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(expert.view->selected()->id, "sam-f-coming-home");
    shoot(*sheet, QStringLiteral("expert-sheet-comfort"));

    EXPECT_EQ(textOf(*sheet, "detailTitle"), "\u00C9clairage d'accompagnement (coming home)");
    EXPECT_EQ(textOf(*sheet, "headerLine"), "SAM avant \u00B7 7E4 \u00B7 CAN-B (habitacle)");
    EXPECT_EQ(only<SymbolCapsuleView>(*sheet, QStringLiteral("feasibilityBadge"))->component().text,
              QStringLiteral("Lecture seule"));
    // Comfort: no warning banner. No provider: the security-access blocker, not fixable here.
    EXPECT_EQ(only(*sheet, QStringLiteral("warningBanner")), nullptr);
    EXPECT_EQ(textOf(*sheet, "blockerTitle"), "Lecture seule \u2014 acc\u00E8s s\u00E9curis\u00E9 indisponible");
    EXPECT_EQ(textOf(*sheet, "blockerDetail"), model.feasibilities().at("sam-f-coming-home").reason);
    const auto* tag = only<SymbolCapsuleView>(*sheet, QStringLiteral("blockerTag"));
    EXPECT_EQ(tag->component().text, QStringLiteral("NON CORRIGEABLE ICI"));
    EXPECT_EQ(tag->component().color, VEQ::critical());

    // The verdict as the engine gives it: seven checks, the last one security access.
    ASSERT_TRUE(sheet->verdict().has_value());
    EXPECT_EQ(guardIDs(*sheet),
              (std::vector<std::string>{"safety", "expert", "backup", "voltage", "stopped", "engine", "security"}));
    const auto blocking = sheet->verdict()->blockingFailures().size();
    ASSERT_GT(blocking, 0u);
    EXPECT_EQ(textOf(*sheet, "guardsSummary"), std::to_string(blocking) + " bloquant(s)");
    EXPECT_EQ(named<SymbolView>(*sheet, QStringLiteral("guardSymbol")).size(), 7);
    // Five steps numbered in order; only the write is marked.
    const auto steps = named(*sheet, QStringLiteral("stepRow"));
    ASSERT_EQ(steps.size(), 5);
    EXPECT_EQ(named(*sheet, QStringLiteral("writeTag")).size(), 1);
    EXPECT_NE(only(*steps[3], QStringLiteral("writeTag")), nullptr);
    EXPECT_EQ(texts(*sheet, QStringLiteral("stepDetail"))[3], "Service 0x2E \u00B7 DID 0151");
    // Four blocks: the recipe has an effect and a way back, and its badge is not executable.
    EXPECT_EQ(texts(*sheet, QStringLiteral("blockTitle")),
              (std::vector<std::string>{"CE QUE FAIT CETTE FONCTION", "CE QUE VOUS OBSERVEREZ",
                                        "COMMENT REVENIR EN ARRI\u00C8RE", "POURQUOI CE BADGE"}));

    // Out of the box the bar only says "Lecture seule".
    EXPECT_FALSE(model.writeEnabled());
    EXPECT_NE(only(*sheet, QStringLiteral("readOnlyCapsule")), nullptr);
    EXPECT_EQ(only(*sheet, QStringLiteral("applyButton")), nullptr);
    // Write enabled through the model's accessor: "Appliquer" shows, disabled, as nothing allows it.
    model.setWriteEnabled(true);
    settleAll();
    auto* apply = only<ProminentButton>(*sheet, QStringLiteral("applyButton"));
    ASSERT_NE(apply, nullptr);
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_EQ(apply->tint(), VEQ::stroke());
    EXPECT_EQ(only(*sheet, QStringLiteral("readOnlyCapsule")), nullptr);
    QTest::mouseClick(apply, Qt::LeftButton);
    EXPECT_TRUE(expert.dialogs().confirmations.empty());

    // Closing leaves the screen's state as it was.
    expert.view->setSearch(QStringLiteral("clignot"));
    QTest::mouseClick(only<QWidget>(*sheet, QStringLiteral("closeButton")), Qt::LeftButton);
    settleAll();
    EXPECT_FALSE(expert.view->selected().has_value());
    EXPECT_EQ(expert.view->findChild<RecipeDetailView*>(QStringLiteral("RecipeDetailView")), nullptr);
    EXPECT_EQ(expert.view->search(), QStringLiteral("clignot"));
}

TEST(RecipeSheet, ReadOnlyAndForbiddenRecipesShowTheirBlockerAndTheLastOutcomeShowsInTheNextSheet) {
    Expert expert;
    ASSERT_TRUE(expert.open());
    // Nothing to write: the engine's reason, without the provider remedy; a vehicle-dynamics
    // recipe carries its warning, on the triangle.
    const auto feasibility = expert.model().feasibilities().at("eng-read-variant");
    ASSERT_EQ(feasibility.kind, Feasibility::Kind::readOnly);
    RecipeDetailView* sheet = expert.openSheet("eng-read-variant");
    ASSERT_NE(sheet, nullptr);
    shoot(*sheet, QStringLiteral("expert-sheet-read-only-recipe"));
    EXPECT_EQ(textOf(*sheet, "blockerTitle"), "Lecture seule");
    EXPECT_EQ(textOf(*sheet, "blockerDetail"), feasibility.reason);
    EXPECT_EQ(textOf(*sheet, "blockerRemedy"), "La sauvegarde et la lecture du calculateur fonctionnent normalement.");
    EXPECT_EQ(only<SymbolView>(*sheet, QStringLiteral("warningSymbol"))->symbol(), "exclamationmark.triangle.fill");
    EXPECT_EQ(only(*sheet, QStringLiteral("resultBanner")), nullptr);
    QTest::mouseClick(only<QWidget>(*sheet, QStringLiteral("closeButton")), Qt::LeftButton);
    settleAll();

    // Safety-critical: refused whatever its guards, on the raised hand; the last operation's
    // outcome shows in this next sheet.
    Access::setLastExecutionMessage(expert.model(), "Restauration refus\u00E9e \u2014 test");
    sheet = expert.openSheet("sam-f-drl-fog");
    ASSERT_NE(sheet, nullptr);
    shoot(*sheet, QStringLiteral("expert-sheet-forbidden"));
    EXPECT_EQ(only<SymbolView>(*sheet, QStringLiteral("warningSymbol"))->symbol(), "hand.raised.fill");
    EXPECT_EQ(textOf(*sheet, "blockerTitle"), "\u00C9criture refus\u00E9e par Oskavel Car");
    EXPECT_EQ(only<SymbolView>(*sheet, QStringLiteral("blockerSymbol"))->symbol(), "lock.fill");
    EXPECT_EQ(textOf(*sheet, "resultText"), "Restauration refus\u00E9e \u2014 test");
}

// The sign the font lacks (the layout check finds it in a text) is drawn as a symbol in the fault
// colour, centred on the first line of the warning, the blocker's detail and "Pourquoi ce badge".
TEST(RecipeSheet, TheSafetyCriticalWarningsNoEntrySignIsDrawnAsASymbolBeforeItsText) {
    Expert expert;
    ASSERT_TRUE(expert.open());
    RecipeDetailView* sheet = expert.openSheet("sam-f-drl-fog");
    ASSERT_NE(sheet, nullptr);
    auto* body = only(*sheet, QStringLiteral("detailBody"));
    const auto signs = named<SymbolView>(*body, QStringLiteral("leadingSign"));
    ASSERT_EQ(signs.size(), 3);
    const QImage picture = body->grab().toImage();
    const char* texts[] = {"warningText", "blockerDetail", "blockText"};
    for (qsizetype i = 0; i < signs.size(); ++i) {
        const QRect sign = placeIn(*body, *signs[i]);
        EXPECT_GT(countNear(picture, sign, VEQ::critical(), 10), sign.width() * 2) << texts[i];
        const QLabel* text = nullptr;
        for (const QLabel* label : named<QLabel>(*body, QString::fromUtf8(texts[i]))) {
            if (std::abs(placeIn(*body, *label).top() - sign.top()) <= 1) text = label;
        }
        ASSERT_NE(text, nullptr) << texts[i];
        EXPECT_TRUE(text->text().startsWith(QStringLiteral("INTERDIT \u2014 "))) << texts[i];
        const QRect line = placeIn(*body, *text);
        EXPECT_LE(sign.right(), line.left()) << texts[i];
        EXPECT_NEAR(sign.center().y(), line.top() + QFontMetrics(text->font()).height() / 2.0, 1) << texts[i];
    }
}

TEST(RecipeSheet, ABackupFromTheSheetShowsItsProgressThenTheButtonAgainAndTheVerdictWaitsForTheNextRefresh) {
    Expert expert;
    ASSERT_TRUE(expert.open());
    AppModel& model = expert.model();
    RecipeDetailView* sheet = expert.openSheet("eng-start-stop-off");
    ASSERT_NE(sheet, nullptr);
    const auto verdictBefore = sheet->verdict();
    auto* backup = only<ProminentButton>(*sheet, QStringLiteral("backupButton"));
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(backup->tint(), model.accent());
    std::vector<std::string> shown;
    QObject::connect(&model, &AppModel::backupProgressChanged, sheet, [&] {
        if (const auto* label = only<QLabel>(*sheet, QStringLiteral("backupProgressText"))) shown.push_back(text(label));
    });
    QTest::mouseClick(backup, Qt::LeftButton);
    // At once 0 of 1, before the first report.
    ASSERT_TRUE(model.backupProgress().has_value());
    EXPECT_EQ(textOf(*sheet, "backupProgressText"), "Sauvegarde 0/1");
    shoot(*sheet, QStringLiteral("expert-sheet-backup-running"));
    ASSERT_TRUE(settleUntil([&] { return !model.backupProgress() && !model.backupList().empty(); }, std::chrono::seconds(30)));
    settleAll();
    EXPECT_NE(only(*sheet, QStringLiteral("backupButton")), nullptr);
    EXPECT_EQ(model.backupList().front().ecuAddress, "7E0");
    // Then each report as the model received it, the last one complete.
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown.front(), "Sauvegarde 0/1");
    int done = 0;
    int total = 0;
    ASSERT_EQ(std::sscanf(shown.back().c_str(), "Sauvegarde %d/%d", &done, &total), 2) << shown.back();
    EXPECT_GT(total, 1);
    EXPECT_EQ(done, total);
    EXPECT_EQ(sheet->verdict(), verdictBefore);
}

// Requests that would change an ECU: WriteDataByIdentifier, RoutineControl, SecurityAccess.
std::size_t writeRequests(const ScriptedCar& car) {
    std::size_t count = 0;
    for (std::string line : car.lines()) {
        std::erase(line, ' ');
        if (line.rfind("2E", 0) == 0 || line.rfind("31", 0) == 0 || line.rfind("27", 0) == 0) ++count;
    }
    return count;
}

TEST(RecipeSheet, NoScreenActionSendsAWriteWhileAGuardFails) {
    ScriptedCar car;
    Expert expert(ConnectionRigOptions{&car});
    ASSERT_TRUE(expert.open());
    AppModel& model = expert.model();
    model.setWriteEnabled(true);
    RecipeDetailView* sheet = expert.openSheet("eng-start-stop-off");
    ASSERT_NE(sheet, nullptr);
    ASSERT_FALSE(sheet->verdict()->isAllowed());

    // A backup is reads only; "Appliquer" stays disabled; the write the model would run when
    // confirmed is refused; a confirmed restore is refused.
    QTest::mouseClick(only<QWidget>(*sheet, QStringLiteral("backupButton")), Qt::LeftButton);
    ASSERT_TRUE(settleUntil([&] { return !model.backupProgress() && !model.backupList().empty(); }, std::chrono::seconds(30)));
    auto* apply = only<ProminentButton>(*sheet, QStringLiteral("applyButton"));
    ASSERT_NE(apply, nullptr);
    EXPECT_FALSE(apply->isEnabled());
    QTest::mouseClick(apply, Qt::LeftButton);
    model.executeRecipe(expert.recipe("eng-start-stop-off"));
    ASSERT_TRUE(settleUntil([&] { return model.lastExecutionMessage().has_value(); }));
    EXPECT_EQ(model.lastExecutionMessage()->rfind("Refus\u00E9 \u2014 ", 0), 0u) << *model.lastExecutionMessage();
    expert.dialogs().confirmAnswers.push_back(true);
    expert.view->selectTab(ExpertView::Tab::backups);
    settleAll();
    QTest::mouseClick(named<QWidget>(*expert.view, QStringLiteral("restoreButton")).front(), Qt::LeftButton);
    ASSERT_TRUE(settleUntil([&] { return model.lastExecutionMessage()->rfind("Restauration", 0) == 0; }));
    EXPECT_GT(car.lines().size(), 0u);
    EXPECT_EQ(writeRequests(car), 0u);
}

TEST(RecipeSheet, ASheetGoneWhileItsWriteIsBeingConfirmedWritesNothing) {
    // The connection drops while the question is up: the screen and its sheet are taken down under
    // the dialog, and the answer that follows must not reach the engine.
    ScriptedCar car;
    Expert expert(ConnectionRigOptions{&car});
    ASSERT_TRUE(expert.open());
    AppModel& model = expert.model();
    model.setWriteEnabled(true);
    RecipeDetailView* sheet = expert.openSheet("eng-start-stop-off");
    ASSERT_NE(sheet, nullptr);
    auto* apply = only<ProminentButton>(*sheet, QStringLiteral("applyButton"));
    ASSERT_NE(apply, nullptr);
    apply->setEnabled(true); // as when every guard passes
    QPointer<RecipeDetailView> alive(sheet);
    expert.dialogs().whileConfirming = [&] { expert.view.reset(); };
    expert.dialogs().confirmAnswers.push_back(true);
    QTest::mouseClick(apply, Qt::LeftButton);
    // A write the model ran would have left its verdict by now.
    EXPECT_FALSE(settleUntil([&] { return model.lastExecutionMessage().has_value(); }, std::chrono::seconds(2)));
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(expert.dialogs().confirmations.size(), 1u);
    EXPECT_EQ(writeRequests(car), 0u);
}

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

TEST(ExpertView, TheGateShowsTheCarbonWeaveBesideItsColumnAtTheSizesUsersSee) {
    ExpertRig rig;
    for (const QSize size : userScreenSizes) {
        ExpertView view(rig.model());
        present(view, size);
        const QImage gate = shoot(view, sized(QStringLiteral("expert-gate"), size));
        CarbonBackground bare(ExpertGateView::backdropOpacity);
        present(bare, size);
        const QImage weave = bare.grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Left of the centred column nothing but the backdrop shows: the same pixels as the weave.
        const QRect margin(0, 0, 60, size.height());
        int differing = 0;
        std::set<QRgb> shades;
        for (int y = margin.top(); y <= margin.bottom(); ++y) {
            for (int x = margin.left(); x <= margin.right(); ++x) {
                differing += gate.pixel(x, y) != weave.pixel(x, y);
                shades.insert(weave.pixel(x, y));
            }
        }
        EXPECT_EQ(differing, 0) << size.width();
        EXPECT_GT(shades.size(), 4u); // the weave, not a plain fill
    }
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

TEST(ExpertView, TheTabPickerSitsOnASegmentTrack) {
    ExpertRig rig;
    ASSERT_TRUE(rig.open());
    ExpertView& view = *rig.view;
    view.selectTab(ExpertView::Tab::backups);
    settleAll();
    const QImage header = only(view, QStringLiteral("expertHeader"))->grab().toImage();
    auto* picker = only<SegmentedPicker>(view, QStringLiteral("tabPicker"));
    ASSERT_NE(picker, nullptr);
    // Between the segments and around the unselected ones the track shows, not the header's fill.
    const QRect first = picker->segment(0)->geometry().translated(picker->pos());
    const QRect selected = picker->segment(2)->geometry().translated(picker->pos());
    for (const QPoint at : {QPoint(first.right() + 2, first.center().y()), first.topLeft() + QPoint(3, 2),
                            QPoint(picker->x() + 1, first.center().y())}) {
        EXPECT_EQ(header.pixelColor(at), VEQ::surface2()) << at.x() << "," << at.y();
    }
    EXPECT_EQ(header.pixelColor(selected.topLeft() + QPoint(3, 2)), VEQ::stroke());
    EXPECT_EQ(header.pixelColor(picker->x() - 2, first.center().y()), VEQ::surface1());
}

} // namespace
} // namespace veq
