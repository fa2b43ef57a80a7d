#include "ExpertFixtures.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Expert/AuditListView.hpp"
#include "VEQUI/Views/Kit/ClampedText.hpp"
#include "VEQUI/Views/Expert/BackupListView.hpp"
#include "VEQUI/Views/Expert/ExpertRules.hpp"
#include "VEQUI/Views/Expert/ExpertView.hpp"
#include "VEQUI/Views/Expert/RecipeCard.hpp"
#include "VEQUI/Views/Expert/RecipeDetailRules.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

// The expert screens' tables and rules, each checked against a copy written out from the
// screens' description, never against the code's own tables.
namespace veq {
namespace {

using namespace veq::testing;
using Access = AppModelTestAccess;
using Kind = Feasibility::Kind;

CodingRecipe recipe(std::string id, std::string title, std::string category, std::string ecu, SafetyImpact impact,
                    std::string description = "Description") {
    CodingRecipe r;
    r.id = std::move(id);
    r.title = std::move(title);
    r.category = std::move(category);
    r.ecu = std::move(ecu);
    r.ecuAddress = "7E0";
    r.safetyImpact = impact;
    r.bus = "CAN-C";
    r.description = std::move(description);
    return r;
}

TEST(RecipeBadges, FeasibilityBadgeSafetyChipAndChipsFollowTheirTables) {
    struct Row {
        SymbolCapsule capsule;
        const char* symbol; // nothing: the text alone
        const char* text;
        QColor color;
    };
    const Row rows[] = {
        {feasibilityBadge(std::nullopt), "clock", "\u2026", VEQ::textSecondary()},
        {feasibilityBadge(Feasibility::readOnly("raison A")), "eye.fill", "Lecture seule", VEQ::warning()},
        {feasibilityBadge(Feasibility::forbidden("raison B")), "hand.raised.fill", "Interdit", VEQ::critical()},
        {feasibilityBadge(Feasibility::executable()), "checkmark.circle.fill", "Ex\u00E9cutable", VEQ::confirm()},
        {feasibilityBadge(Feasibility::ecuUnreachable()), "antenna.radiowaves.left.and.right.slash", "ECU injoignable", VEQ::textSecondary()},
        {safetyChip(SafetyImpact::comfort), "sofa.fill", "CONFORT", VEQ::confirm()},
        {safetyChip(SafetyImpact::driverAttention), "eye.trianglebadge.exclamationmark.fill", "ATTENTION", VEQ::warning()},
        {safetyChip(SafetyImpact::vehicleDynamics), "engine.combustion.fill", "MOTEUR / CONDUITE", VEQ::critical()},
        {safetyChip(SafetyImpact::safetyCritical), "shield.lefthalf.filled.slash", "S\u00C9CURIT\u00C9", VEQ::critical()},
        {riskChip(RiskLevel::low), nullptr, "FAIBLE", VEQ::confirm()},
        {riskChip(RiskLevel::medium), nullptr, "MOYEN", VEQ::warning()},
        {riskChip(RiskLevel::high), nullptr, "\u00C9LEV\u00C9", VEQ::critical()},
        {reversibilityChip(true), nullptr, "R\u00C9VERSIBLE", VEQ::confirm()},
        {reversibilityChip(false), nullptr, "IRR\u00C9VERSIBLE", VEQ::critical()},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.capsule.symbol, r.symbol ? r.symbol : "") << r.text;
        EXPECT_EQ(r.capsule.text.toStdString(), r.text);
        EXPECT_EQ(r.capsule.color, r.color) << r.text;
    }
    EXPECT_DOUBLE_EQ(feasibilityBadge(std::nullopt).fontSize, 9);
    EXPECT_DOUBLE_EQ(feasibilityBadge(std::nullopt).fillOpacity, 0.15);
    EXPECT_DOUBLE_EQ(safetyChip(SafetyImpact::comfort).fillOpacity, 0.14);
}

TEST(RecipeCard, OutlineFollowsTheImpactAndAPressRunsTheActionOnce) {
    int pressed = 0;
    RecipeCard critical(recipe("a", "Titre", "Cat", "ECU", SafetyImpact::safetyCritical), std::nullopt, [&] { ++pressed; });
    RecipeCard dynamics(recipe("b", "Titre", "Cat", "ECU", SafetyImpact::vehicleDynamics), std::nullopt, {});
    QColor half = VEQ::critical();
    half.setAlphaF(0.5f);
    EXPECT_EQ(critical.outlineColour(), half);
    EXPECT_EQ(dynamics.outlineColour(), VEQ::stroke());
    present(critical, QSize(360, 140));
    QTest::mouseClick(&critical, Qt::LeftButton, {}, QPoint(300, 120));
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(only<SymbolCapsuleView>(critical, QStringLiteral("feasibilityBadge"))->component().text,
              QStringLiteral("\u2026"));
}

TEST(RecipeCard, ALongDescriptionIsCutAfterTwoLinesAndAShortOneIsWhole) {
    const QString words = QStringLiteral("mot ").repeated(60).trimmed();
    ClampedText longText(words, VEQ::label(11, QFont::Medium), VEQ::textSecondary(), 2);
    const QStringList lines = longText.shownLines(300);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines.back().endsWith(QStringLiteral("\u2026")));
    EXPECT_EQ(longText.heightForWidth(300), 2 * QFontMetrics(longText.font()).lineSpacing());
    ClampedText shortText(QStringLiteral("Court."), VEQ::label(11, QFont::Medium), VEQ::textSecondary(), 2);
    EXPECT_EQ(shortText.shownLines(300), QStringList{QStringLiteral("Court.")});
}

TEST(ExpertRules, SearchIgnoresCaseNotAccentsAndCombinesWithTheImpactFilter) {
    const std::vector<CodingRecipe> recipes{
        recipe("1", "Feux de jour", "\u00C9clairage", "SAM avant", SafetyImpact::comfort),
        recipe("2", "Vitesse", "Affichage", "Combin\u00E9", SafetyImpact::driverAttention, "Affiche la vitesse"),
        recipe("3", "Ralenti", "Moteur", "ME", SafetyImpact::vehicleDynamics, "R\u00E9gime_de_ralenti"),
    };
    struct Case { QString search; std::optional<SafetyImpact> impact; std::vector<std::string> ids; };
    const Case cases[] = {
        {QString(), std::nullopt, {"1", "2", "3"}},
        {QStringLiteral("FEUX"), std::nullopt, {"1"}},
        {QStringLiteral("feux"), std::nullopt, {"1"}},
        {QStringLiteral("fEuX"), std::nullopt, {"1"}},
        {QStringLiteral("combin\u00C9"), std::nullopt, {"2"}}, // the ECU only
        {QStringLiteral("affiche la"), std::nullopt, {"2"}},   // the description only
        {QStringLiteral("eclairage"), std::nullopt, {}},       // accents count
        {QStringLiteral(" "), std::nullopt, {"1", "2"}},       // a blank is searched as it is
        {QString(), SafetyImpact::vehicleDynamics, {"3"}},
        {QStringLiteral("vitesse"), SafetyImpact::comfort, {}},
        {QStringLiteral("zzz"), std::nullopt, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> ids;
        for (const auto& r : ExpertRules::filtered(recipes, c.search, c.impact)) ids.push_back(r.id);
        EXPECT_EQ(ids, c.ids) << c.search.toStdString();
    }
}

TEST(ExpertRules, CategoryIconsAndLiveBadgesAndChips) {
    const std::pair<const char*, const char*> icons[] = {
        {"Affichage AMG", "gauge.with.needle.fill"},
        {"Massage et si\u00E8ges", "chair.lounge.fill"},
        {"\u00C9clairage d'ambiance", "lightbulb.led.fill"},
        {"Suspension AIRMATIC", "car.side.arrowtriangle.up.arrowtriangle.down"},
        {"Conduite et dynamique", "engine.combustion.fill"},
        {"\u00C9clairage ext\u00E9rieur r\u00E9glement\u00E9", "headlight.low.beam.fill"},
        {"Confort de fermeture", "lock.rotation"},
        {"Multim\u00E9dia et connectivit\u00E9", "play.rectangle.fill"},
        {"affichage AMG", "slider.horizontal.3"},
        {"\u00C9clairage", "slider.horizontal.3"},
        {"", "slider.horizontal.3"},
    };
    for (const auto& [category, symbol] : icons) EXPECT_EQ(ExpertRules::categoryIcon(category), symbol) << category;

    struct Badge { ExpertRules::LiveBadge badge; ExpertRules::LiveBadge expected; };
    const Badge badges[] = {
        {ExpertRules::voltageBadge(std::nullopt), {QStringLiteral("Tension"), QStringLiteral("\u2014"), false}},
        {ExpertRules::voltageBadge(12.0), {QStringLiteral("Tension"), QStringLiteral("12.00 V"), false}},
        {ExpertRules::voltageBadge(12.01), {QStringLiteral("Tension"), QStringLiteral("12.01 V"), true}},
        {ExpertRules::engineSpeedBadge(std::nullopt), {QStringLiteral("R\u00E9gime"), QStringLiteral("\u2014"), true}},
        {ExpertRules::engineSpeedBadge(49.9), {QStringLiteral("R\u00E9gime"), QStringLiteral("49"), true}},
        {ExpertRules::engineSpeedBadge(50), {QStringLiteral("R\u00E9gime"), QStringLiteral("50"), false}},
    };
    for (const Badge& b : badges) EXPECT_EQ(b.badge, b.expected) << b.expected.value.toStdString();

    std::vector<std::pair<std::optional<SafetyImpact>, std::string>> chips;
    for (const auto& chip : ExpertRules::filterChips()) chips.emplace_back(chip.impact, chip.label.toStdString());
    EXPECT_EQ(chips, (std::vector<std::pair<std::optional<SafetyImpact>, std::string>>{
                         {std::nullopt, "Tout"},
                         {SafetyImpact::comfort, "Confort"},
                         {SafetyImpact::driverAttention, "Attention"},
                         {SafetyImpact::vehicleDynamics, "Moteur"},
                         {SafetyImpact::safetyCritical, "S\u00E9curit\u00E9"},
                     }));
    const std::pair<const char*, std::optional<ExpertView::Tab>> tabs[] = {
        {"Scanner DID", ExpertView::Tab::scanner}, {"Fonctions", ExpertView::Tab::recipes},
        {"Sauvegardes", ExpertView::Tab::backups}, {"Journal", ExpertView::Tab::audit}, {"journal", std::nullopt}};
    for (const auto& [name, tab] : tabs) EXPECT_EQ(ExpertView::tab(QString::fromUtf8(name)), tab) << name;
}

TEST(ExpertView, SyntheticCategoriesShowTheirIconsAndTheFilterBarFollowsSearchAndChips) {
    ExpertRig rig;
    Access::setRecipes(rig.model(), {
                                        recipe("a", "Aiguilles", "Affichage AMG", "Combin\u00E9", SafetyImpact::driverAttention),
                                        recipe("b", "Ralenti", "Conduite et dynamique", "ME", SafetyImpact::vehicleDynamics),
                                        recipe("c", "Pare-soleil", "Divers", "SAM", SafetyImpact::comfort),
                                        recipe("d", "Mode sport", "Conduite et dynamique", "EGS", SafetyImpact::vehicleDynamics),
                                    });
    rig.model().acceptExpertMode();
    Access::setLoadedProviders(rig.model(), {"Alpha", "Beta"});
    ExpertView view(rig.model(), rig.reveals.action());
    present(view, expertScreenSize);
    settleAll();
    shoot(view, QStringLiteral("expert-synthetic-categories"));
    std::vector<std::pair<std::string, std::string>> groups;
    for (const QWidget* group : named(view, QStringLiteral("recipeGroup"))) {
        groups.emplace_back(group->property("category").toString().toStdString(),
                            only<SymbolView>(*group, QStringLiteral("categoryIcon"))->symbol());
    }
    EXPECT_EQ(groups, (std::vector<std::pair<std::string, std::string>>{{"Affichage AMG", "gauge.with.needle.fill"},
                                                                        {"Conduite et dynamique", "engine.combustion.fill"},
                                                                        {"Divers", "slider.horizontal.3"}}));
    EXPECT_EQ(only<SymbolView>(view, QStringLiteral("providerLock"))->symbol(), "lock.open.fill");
    EXPECT_EQ(textOf(view, "providerTitle"), "Provider charg\u00E9 : Alpha, Beta");
    // Without a live value: a warning dot for the voltage, a confirm dot for the engine speed.
    EXPECT_EQ(only<LiveBadgeView>(view, QStringLiteral("voltageBadge"))->dotColour(), VEQ::warning());
    EXPECT_EQ(only<LiveBadgeView>(view, QStringLiteral("engineSpeedBadge"))->dotColour(), VEQ::confirm());

    const auto chip = [&](int i) { return named<CapsuleButton>(view, QStringLiteral("filterChip")).at(i); };
    const auto selectedChip = [&]() -> std::string {
        std::string out;
        for (const CapsuleButton* c : named<CapsuleButton>(view, QStringLiteral("filterChip"))) {
            if (c->fill() == rig.model().accent()) out += c->text().toStdString();
        }
        return out;
    };
    const auto click = [&](QWidget* widget) {
        QTest::mouseClick(widget, Qt::LeftButton);
        settleAll();
    };
    EXPECT_EQ(selectedChip(), "TOUT");
    click(chip(3)); // "Moteur"; pressed again, "Tout"
    EXPECT_EQ(selectedChip(), "MOTEUR");
    EXPECT_EQ(textOf(view, "recipeCount"), "2 / 4");
    click(chip(3));
    EXPECT_EQ(textOf(view, "recipeCount"), "4 / 4");

    QTest::keyClicks(only<QLineEdit>(view, QStringLiteral("searchText")), QStringLiteral("zz"));
    settleAll();
    EXPECT_TRUE(only<QWidget>(view, QStringLiteral("clearSearch"))->isVisibleTo(&view));
    EXPECT_EQ(textOf(view, "recipeCount"), "0 / 4");
    EXPECT_EQ(textOf(view, "emptyRecipes"), "Aucune fonction ne correspond \u00E0 ce filtre.");
    // The search and filter outlive a visit to another tab; clearing the search keeps the filter.
    click(chip(2));
    view.selectTab(ExpertView::Tab::audit);
    view.selectTab(ExpertView::Tab::recipes);
    settleAll();
    EXPECT_EQ(only<QLineEdit>(view, QStringLiteral("searchText"))->text(), QStringLiteral("zz"));
    EXPECT_EQ(selectedChip(), "ATTENTION");
    click(only<QWidget>(view, QStringLiteral("clearSearch")));
    EXPECT_EQ(view.search(), QString());
    EXPECT_FALSE(only<QWidget>(view, QStringLiteral("clearSearch"))->isVisibleTo(&view));
    EXPECT_EQ(textOf(view, "recipeCount"), "1 / 4");
}

TEST(RecipeDetailRules, BlockerRemedyAndEnablementFollowTheirRules) {
    using namespace RecipeDetailRules;
    CodingRecipe secured = recipe("s", "Titre", "Cat", "SAM avant", SafetyImpact::comfort);
    secured.bus = "CAN-B";
    secured.requiresSecurityAccess = true;
    secured.steps = {{"0x22", "0151", {}, {}, {}, {}}, {"0x2E", "0151", {}, {}, "01", {}}};
    CodingRecipe reading = secured;
    reading.requiresSecurityAccess = false;
    reading.steps = {{"0x22", "0151", {}, {}, {}, {}}};
    const auto check = [](const char* id, bool passed) { return GuardCheck{id, std::string("T ") + id, std::string("D ") + id, passed, true}; };
    const GuardVerdict failing{{check("safety", true), check("voltage", false), check("engine", false)}};
    const GuardVerdict passing{{check("safety", true), check("voltage", true)}};
    const GuardVerdict security{{check("security", false)}};

    struct Case {
        const char* name;
        const CodingRecipe& recipe;
        std::optional<Feasibility> feasibility;
        std::optional<GuardVerdict> verdict;
        std::optional<Blocker> expected;
    };
    const char* unreachableDetail = "Le calculateur \u00AB SAM avant \u00BB n'a pas r\u00E9pondu. Il est probablement sur "
                                    "le bus CAN-B, qui n'est pas rout\u00E9 vers les broches 6/14 de la prise OBD \u2014 "
                                    "c'est le cas de la plupart des calculateurs de confort.";
    const Case cases[] = {
        {"forbidden", secured, Feasibility::forbidden("Non."), failing,
         Blocker{"\u00C9criture refus\u00E9e par Oskavel Car", "Non.",
                 "Cette fonction restera en lecture seule. Adressez-vous \u00E0 un atelier agr\u00E9\u00E9.", false}},
        {"unreachable", secured, Feasibility::ecuUnreachable(), failing,
         Blocker{"Calculateur injoignable", unreachableDetail,
                 "Il faudrait une interface reli\u00E9e au bus concern\u00E9 (SD Connect, passthru J2534) ou un c\u00E2ble "
                 "ENET pour le DoIP.",
                 false}},
        {"read-only for security", secured, Feasibility::readOnly("Sans provider."), failing,
         Blocker{"Lecture seule \u2014 acc\u00E8s s\u00E9curis\u00E9 indisponible", "Sans provider.",
                 "La sauvegarde et la lecture du calculateur fonctionnent normalement. Pour \u00E9crire, il faudrait "
                 "charger un provider seed/key dans ~/.local/share/OskavelCar/Providers/, ou passer par "
                 "XENTRY / Vediamo / DTS Monaco.",
                 false}},
        {"read-only, nothing to write", reading, Feasibility::readOnly("Rien \u00E0 \u00E9crire."), std::nullopt,
         Blocker{"Lecture seule", "Rien \u00E0 \u00E9crire.",
                 "La sauvegarde et la lecture du calculateur fonctionnent normalement.", false}},
        {"first blocking failure", secured, Feasibility::executable(), failing,
         Blocker{"Condition non remplie : T voltage", "D voltage",
                 "Branchez un chargeur de batterie et remettez le contact. Une \u00E9criture sous 12 V peut d\u00E9truire "
                 "le calculateur.",
                 true}},
        {"no feasibility yet", secured, std::nullopt, security,
         Blocker{"Condition non remplie : T security", "D security", "Levez cette condition puis rouvrez cette fiche.", true}},
        {"all green", secured, Feasibility::executable(), passing, std::nullopt},
        {"no verdict", secured, Feasibility::executable(), std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(blocker(c.recipe, c.feasibility, c.verdict), c.expected) << c.name;

    const std::pair<const char*, const char*> remedies[] = {
        {"backup", "Cliquez sur \u00AB Sauvegarder ce calculateur \u00BB en bas de cette fiche. C'est obligatoire avant "
                   "toute \u00E9criture."},
        {"voltage", "Branchez un chargeur de batterie et remettez le contact. Une \u00E9criture sous 12 V peut "
                    "d\u00E9truire le calculateur."},
        {"stopped", "Immobilisez compl\u00E8tement le v\u00E9hicule."},
        {"engine", "Coupez le moteur en laissant le contact mis (position 2)."},
        {"expert", "Acceptez l'avertissement du mode Expert."},
        {"safety", "Levez cette condition puis rouvrez cette fiche."},
        {"security", "Levez cette condition puis rouvrez cette fiche."},
        {"Backup", "Levez cette condition puis rouvrez cette fiche."},
    };
    for (const auto& [id, text] : remedies) EXPECT_EQ(remedyFor(id), text) << id;

    EXPECT_TRUE(canExecute(Feasibility::executable(), passing));
    EXPECT_FALSE(canExecute(Feasibility::executable(), failing));
    EXPECT_FALSE(canExecute(Feasibility::executable(), std::nullopt));
    EXPECT_FALSE(canExecute(std::nullopt, passing));
    EXPECT_FALSE(canExecute(Feasibility::readOnly("x"), passing));
    EXPECT_FALSE(canExecute(Feasibility::ecuUnreachable(), passing));
}

TEST(RecipeDetailRules, ConfirmationStepsAndExplanationBlocks) {
    using namespace RecipeDetailRules;
    CodingRecipe comfort = recipe("c", "Coming home", "Cat", "SAM avant", SafetyImpact::comfort);
    comfort.ecuAddress.reset();
    comfort.reversible = true;
    EXPECT_EQ(confirmationTitle(comfort), "Confirmer l'\u00E9criture dans \u00AB SAM avant \u00BB ?");
    EXPECT_EQ(confirmationMessage(comfort), "Coming home\n\nCalculateur : SAM avant (?)\nR\u00E9versible : oui\nImpact : "
                                            "Confort \u2014 sans effet sur la conduite\n");
    CodingRecipe dynamics = recipe("d", "Ralenti", "Cat", "ME", SafetyImpact::vehicleDynamics);
    EXPECT_EQ(confirmationMessage(dynamics),
              "Ralenti\n\nCalculateur : ME (7E0)\nR\u00E9versible : NON\nImpact : Comportement du v\u00E9hicule\n\n"
              "\u26A0\uFE0E ATTENTION \u2014 Cette modification touche au groupe motopropulseur, au ch\u00E2ssis ou aux aides "
              "\u00E0 la conduite. Elle peut alt\u00E9rer le comportement du v\u00E9hicule, sa fiabilit\u00E9 et sa "
              "consommation, et annuler votre garantie. N'intervenez que si vous comprenez pr\u00E9cis\u00E9ment l'effet "
              "de chaque octet \u00E9crit.");
    EXPECT_EQ(headerLine(comfort), "SAM avant \u00B7 ? \u00B7 CAN-C");

    EXPECT_EQ(stepDetail({"0x22", {}, {}, {}, {}, {}}), "Service 0x22");
    EXPECT_EQ(stepDetail({"0x2E", "0151", {}, {}, "01", {}}), "Service 0x2E \u00B7 DID 0151");
    EXPECT_EQ(warningSymbol(SafetyImpact::safetyCritical), "hand.raised.fill");
    EXPECT_EQ(warningSymbol(SafetyImpact::driverAttention), "exclamationmark.triangle.fill");

    const auto titles = [](const std::vector<ExplanationBlock>& blocks) {
        std::vector<std::pair<std::string, BlockTone>> out;
        for (const auto& b : blocks) out.emplace_back(b.title, b.tone);
        return out;
    };
    using T = std::vector<std::pair<std::string, BlockTone>>;
    EXPECT_EQ(titles(explanation(comfort, Feasibility::executable())), (T{{"Ce que fait cette fonction", BlockTone::accent}}));
    CodingRecipe full = dynamics;
    full.effect = "";
    full.howToRevert = "Revenir";
    EXPECT_EQ(titles(explanation(full, std::nullopt)),
              (T{{"Ce que fait cette fonction", BlockTone::accent},
                 {"Ce que vous observerez", BlockTone::confirm},
                 {"Comment revenir en arri\u00E8re", BlockTone::warning}}));
    const auto unreachable = explanation(comfort, Feasibility::ecuUnreachable());
    ASSERT_EQ(unreachable.size(), 2u);
    EXPECT_EQ(unreachable[1].title, "Pourquoi ce badge");
    EXPECT_EQ(unreachable[1].text,
              "Le calculateur cibl\u00E9 n'a pas r\u00E9pondu lors du balayage. Il est peut-\u00EAtre sur un bus non "
              "rout\u00E9 vers la prise OBD (CAN-B, CAN-HMI), ce qui est le cas de la plupart des calculateurs de confort "
              "sur les plateformes 2019.");
    EXPECT_EQ(explanation(comfort, Feasibility::forbidden("Parce que."))[1].text, "Parce que.");

    // Only a leading no-entry sign (with or without its emoji selector) becomes a drawn symbol.
    const std::pair<const char*, SignedText> signs[] = {
        {"\u26D4\uFE0F INTERDIT \u2014 Non.", {"minus.circle.fill", "INTERDIT \u2014 Non."}},
        {"\u26D4INTERDIT", {"minus.circle.fill", "INTERDIT"}},
        {"\u26A0\uFE0E ATTENTION", {"", "\u26A0\uFE0E ATTENTION"}},
        {"Voir \u26D4", {"", "Voir \u26D4"}},
        {"", {"", ""}},
    };
    for (const auto& [text, shown] : signs) EXPECT_EQ(signedText(text), shown) << text;
}

TEST(BackupTags, FreshMeansFromZeroToUnderADayAndIntegrityFollowsTheChecksum) {
    const auto now = ECUBackup::Clock::now();
    const auto backupAt = [](ECUBackup::Clock::time_point when, bool verified) {
        return ECUBackup(UUID::random(), "Moteur", "7E0", std::chrono::time_point_cast<std::chrono::seconds>(when),
                         std::nullopt, {{"0xF190", {0x57, 0x44}}}, verified);
    };
    const auto nowSeconds = std::chrono::time_point_cast<std::chrono::seconds>(now);
    struct Case { const char* name; ECUBackup::Clock::time_point created; const char* text; QColor color; };
    const Case cases[] = {
        {"one second younger than a day", nowSeconds - std::chrono::seconds(86'399), "Valide (< 24 h)", VEQ::confirm()},
        {"exactly a day", nowSeconds - std::chrono::seconds(86'400), "P\u00E9rim\u00E9e (> 24 h)", VEQ::warning()},
        {"just made", nowSeconds, "Valide (< 24 h)", VEQ::confirm()},
        {"dated in the future", nowSeconds + std::chrono::hours(2), "P\u00E9rim\u00E9e (> 24 h)", VEQ::warning()},
    };
    for (const Case& c : cases) {
        const SymbolCapsule tag = freshnessTag(backupAt(c.created, true), nowSeconds);
        EXPECT_EQ(tag.text.toStdString(), c.text) << c.name;
        EXPECT_EQ(tag.color, c.color) << c.name;
    }
    ECUBackup backup = backupAt(nowSeconds, false);
    EXPECT_EQ(readBackTag(backup).text.toStdString(), "Non v\u00E9rifi\u00E9e");
    EXPECT_EQ(readBackTag(backup).color, VEQ::warning());
    EXPECT_EQ(integrityTag(backup).text.toStdString(), "Empreinte intacte");
    backup.values["0xF190"] = {0x58};
    EXPECT_EQ(integrityTag(backup).text.toStdString(), "ALT\u00C9R\u00C9E");
    EXPECT_EQ(integrityTag(backup).color, VEQ::critical());
    backup.verified = true;
    EXPECT_EQ(readBackTag(backup).text.toStdString(), "Relecture v\u00E9rifi\u00E9e");
}

TEST(AuditRows, KindsHaveTheirSymbolsAndColoursAndTheDetailLineOnlyWhatIsPresent) {
    using Kind = AuditEntry::Kind;
    const std::tuple<Kind, const char*, QColor> kinds[] = {
        {Kind::expertAccepted, "hand.raised.fill", VEQ::warning()},
        {Kind::backupCreated, "arrow.down.doc.fill", VEQ::confirm()},
        {Kind::writeAttempted, "bolt.badge.clock.fill", VEQ::warning()},
        {Kind::writeRefused, "xmark.octagon.fill", VEQ::critical()},
        {Kind::writeSucceeded, "checkmark.circle.fill", VEQ::confirm()},
        {Kind::writeFailed, "exclamationmark.triangle.fill", VEQ::critical()},
        {Kind::restoreAttempted, "arrow.uturn.backward", VEQ::warning()},
        {Kind::restoreSucceeded, "checkmark.seal.fill", VEQ::confirm()},
    };
    for (const auto& [kind, symbol, color] : kinds) {
        EXPECT_EQ(auditKindStyle(kind).symbol, symbol);
        EXPECT_EQ(auditKindStyle(kind).color, color) << symbol;
    }
    AuditEntry entry;
    entry.timestamp = std::chrono::system_clock::now();
    EXPECT_EQ(auditDetailParts(entry).size(), 1);
    entry.ecu = "7E0";
    entry.did = "0xF190";
    entry.valueBefore = "01";
    EXPECT_EQ(auditDetailParts(entry).mid(1), (QStringList{QStringLiteral("ECU 7E0"), QStringLiteral("DID 0xF190")}));
    entry.valueAfter = "02";
    EXPECT_EQ(auditDetailParts(entry).back(), QStringLiteral("01 \u2192 02"));
    // The date part carries the seconds.
    EXPECT_TRUE(auditDetailParts(entry).front().contains(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d$"))));
}

} // namespace
} // namespace veq
