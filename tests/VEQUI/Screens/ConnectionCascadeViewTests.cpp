// The progress and failure view: the steps as the adapter takes them, the sweep, the diagnosis.
#include "ScreenRig.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Connection/ConnectionCascadeView.hpp"
#include "VEQUI/Views/Connection/SweepPanel.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <QLabel>

namespace veq::testing {
namespace {

using Phase = AppModel::Phase;

// The adapter steps as the progress view must list them.
const std::vector<std::pair<std::string, std::string>> kSteps{
    {"ATZ",   "Réinitialisation adaptateur"},
    {"ATE0",  "Écho désactivé"},
    {"ATL0",  "Sauts de ligne désactivés"},
    {"ATS0",  "Espaces désactivés"},
    {"ATH1",  "En-têtes CAN activés"},
    {"ATAT2", "Timing adaptatif agressif"},
    {"ATSP0", "Détection automatique du protocole"},
};

std::vector<std::string> texts(const ScreenRig& rig, const char* name) {
    std::vector<std::string> out;
    for (auto* label : rig.findAll<QLabel>(QString::fromUtf8(name))) out.push_back(label->text().toStdString());
    return out;
}

std::string text(const ScreenRig& rig, const char* name) {
    const auto* label = rig.find<QLabel>(QString::fromUtf8(name));
    return label ? label->text().toStdString() : "<absent>";
}

TEST(ConnectionProgress, TheStepsFillAsTheAdapterTakesThemThenTheLiveInterfaceOpensOnTheCockpit) {
    Gate gate;
    ScriptedCar car(heldAtTheFifthStep(gate));
    ScreenRig rig({.car = &car});
    GateOpener opener{gate};

    ASSERT_TRUE(rig.click(QStringLiteral("connectButton")));
    EXPECT_EQ(rig.root().screenKind(), RootView::Screen::progress);
    ASSERT_TRUE(waitUntil([&] { return fourStepsTaken(rig.model()); }));
    rig.settle();
    EXPECT_EQ(text(rig, "cascadeTitle"), "Initialisation de l'adaptateur…");
    EXPECT_EQ(text(rig, "cascadeBrand"), "OSKAVEL CAR");

    auto* view = rig.find<ConnectionCascadeView>(QStringLiteral("connectionCascade"));
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->stepRows().size(), kSteps.size());
    const auto labels = texts(rig, "stepLabel");
    const auto commands = texts(rig, "stepCommand");
    ASSERT_EQ(labels.size(), kSteps.size());
    for (std::size_t i = 0; i < kSteps.size(); ++i) {
        EXPECT_EQ(commands[i], kSteps[i].first);
        EXPECT_EQ(labels[i], kSteps[i].second);
        const bool done = i < 4;
        EXPECT_EQ(view->stepRows()[i]->marker()->isLit(), done) << kSteps[i].first;
        EXPECT_NEAR(view->stepRows()[i]->marker()->dotScale(), done ? 1.0 : 0.0, 1e-3) << kSteps[i].first;
        const auto* label = rig.findAll<QLabel>(QStringLiteral("stepLabel"))[static_cast<qsizetype>(i)];
        EXPECT_EQ(label->palette().color(QPalette::WindowText), done ? VEQ::textPrimary() : VEQ::textSecondary());
    }
    for (const char* hidden : {"sweepPanel", "diagnosisCard", "failureButtons"}) EXPECT_EQ(rig.find(QString::fromLatin1(hidden)), nullptr);
    EXPECT_TRUE(rig.snapshot("progress-filling"));

    gate.open();
    ASSERT_TRUE(waitUntil([&] { return rig.settled(); }, 30s));
    ASSERT_EQ(rig.model().phase(), Phase::live());
    rig.settle();
    EXPECT_EQ(rig.root().screenKind(), RootView::Screen::liveInterface);
    EXPECT_EQ(rig.root().section(), AppSection::cockpit);
    EXPECT_TRUE(rig.snapshot("live-cockpit"));
}

TEST(ConnectionProgress, AFailedConnectionShowsTheSweepTheTrafficTheDiagnosisAndTheTwoButtons) {
    std::string frames;
    for (int i = 0; i < 10; ++i) frames += fmt::format("{:03X} 11 22 33 44 55 66 77 88\r", 0x100 + i);
    ScriptedCar car(silentBus(frames));
    ScreenRig rig({.car = &car});
    ASSERT_FALSE(rig.connect());
    ASSERT_EQ(rig.model().phase().kind, Phase::Kind::failed);
    rig.settle();
    EXPECT_EQ(rig.root().screenKind(), RootView::Screen::progress); // not the wizard
    EXPECT_EQ(text(rig, "cascadeTitle"), "Échec de la connexion");
    EXPECT_EQ(texts(rig, "stepLabel").size(), 7u);

    // The sweep: its count, the last nine attempts newest first, no result, the traffic heard.
    const auto& attempts = rig.model().sweepAttempts();
    ASSERT_EQ(attempts.size(), 61u);
    ASSERT_NE(rig.find(QStringLiteral("sweepPanel")), nullptr);
    EXPECT_EQ(text(rig, "sweepTitle"), "Balayage exhaustif des protocoles");
    EXPECT_EQ(text(rig, "sweepCount"), "61 essais");
    EXPECT_EQ(text(rig, "sweepExplanation"),
              "L'auto-détection n'a rien donné : on essaie chaque protocole et chaque adressage, comme un outil "
              "d'atelier.");
    std::vector<std::string> expectedProtocols;
    for (std::size_t i = 0; i < 9; ++i) expectedProtocols.push_back("ATSP" + attempts[attempts.size() - 1 - i].protocolNumber);
    EXPECT_EQ(texts(rig, "sweepProtocol"), expectedProtocols);
    EXPECT_EQ(rig.find(QStringLiteral("sweepResult")), nullptr);
    EXPECT_EQ(text(rig, "busTraffic"), "Trafic entendu : 100, 101, 102, 103, 104, 105, 106, 107");

    // The diagnosis, line for line, and the buttons.
    EXPECT_EQ(text(rig, "diagnosisTitle"), "Diagnostic de connexion");
    ASSERT_FALSE(rig.model().diagnostics().empty());
    EXPECT_EQ(texts(rig, "diagnosisLine"), rig.model().diagnostics());
    for (auto* line : rig.findAll<QLabel>(QStringLiteral("diagnosisLine"))) {
        EXPECT_GE(line->height(), line->heightForWidth(line->width())) << line->text().toStdString();
    }
    EXPECT_EQ(rig.find<QAbstractButton>(QStringLiteral("retryButton"))->text(), QStringLiteral("Réessayer"));
    EXPECT_EQ(rig.find<QAbstractButton>(QStringLiteral("backButton"))->text(), QStringLiteral("Retour"));
    // The failure's own sentence is the model's, never shown.
    for (auto* label : rig.window->findChildren<QLabel*>()) {
        EXPECT_NE(label->text().toStdString(), rig.model().phase().message);
    }
    EXPECT_TRUE(rig.snapshot("progress-failed"));

    // "Réessayer" starts again: the earlier sweep stays shown until a new one starts.
    ASSERT_TRUE(rig.click(QStringLiteral("retryButton")));
    EXPECT_EQ(rig.model().phase(), Phase::connecting());
    EXPECT_EQ(text(rig, "cascadeTitle"), "Initialisation de l'adaptateur…");
    EXPECT_EQ(rig.find(QStringLiteral("failureButtons")), nullptr);
    ASSERT_TRUE(waitUntil([&] { return rig.settled(); }, 30s));
    EXPECT_EQ(rig.model().phase().kind, Phase::Kind::failed);

    // "Retour" goes back to the wizard, built anew with its list folded.
    ASSERT_TRUE(rig.click(QStringLiteral("backButton")));
    EXPECT_EQ(rig.model().phase(), Phase::disconnected());
    EXPECT_EQ(rig.root().screenKind(), RootView::Screen::wizard);
    rig.settle();
    EXPECT_NE(rig.find(QStringLiteral("connectionWizard")), nullptr);
    EXPECT_EQ(rig.find(QStringLiteral("adaptersList")), nullptr);
}

TEST(ConnectionProgress, WithoutStepsTheStepsCardIsAnEmpty380By44PanelUnderTheIdleTitle) {
    ModelRig rig;
    ConnectionCascadeView view(*rig.model);
    view.resize(1280, 800);
    view.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.findChild<QWidget*>(QStringLiteral("stepsCard"))->size(), QSize(380, 44));
    EXPECT_FALSE(view.findChild<QWidget*>(QStringLiteral("diagnosisCard"))->isVisible());
    EXPECT_FALSE(view.findChild<QWidget*>(QStringLiteral("sweepPanel"))->isVisible());
    EXPECT_EQ(ConnectionCascadeView::title(Phase::disconnected()), QStringLiteral("Connexion au véhicule"));
    EXPECT_EQ(ConnectionCascadeView::title(Phase::live()), QStringLiteral("Connexion au véhicule"));
}

ProtocolSweep::Attempt attempt(int n, bool succeeded = false) {
    return {UUID::random(), std::to_string(n % 10), "protocol", std::nullopt, "adressage " + std::to_string(n), succeeded, ""};
}

TEST(SweepPanel, ItsTextsAndTwelveAttemptsScrollingInsideTheFixedHeightList) {
    const ProtocolSweep::BusProtocol can{"6", "ISO 15765-4 CAN (11 bits, 500 kbit/s)", true, false, false};
    // The result line names the protocol and header of a succeeded sweep only.
    const std::pair<std::optional<ProtocolSweep::Outcome>, std::optional<std::string>> results[] = {
        {std::nullopt, std::nullopt},
        {ProtocolSweep::Outcome{{}, std::nullopt, std::nullopt, {}}, std::nullopt},
        {ProtocolSweep::Outcome{{}, can, std::nullopt, {}}, "✓ ISO 15765-4 CAN (11 bits, 500 kbit/s)"},
        {ProtocolSweep::Outcome{{}, can, "7E0", {"7E8"}}, "✓ ISO 15765-4 CAN (11 bits, 500 kbit/s) · en-tête 7E0"},
    };
    for (const auto& [sweep, expected] : results) EXPECT_EQ(SweepPanelText::result(sweep), expected);
    EXPECT_EQ(SweepPanelText::count(1), "1 essais");
    EXPECT_EQ(SweepPanelText::traffic({"7E8"}), "Trafic entendu : 7E8");
    EXPECT_EQ(SweepPanelText::traffic({}), std::nullopt);
    EXPECT_TRUE(SweepPanelText::listedAttempts({}).empty());

    SweepPanel panel;
    std::vector<ProtocolSweep::Attempt> twelve;
    for (int i = 1; i <= 12; ++i) twelve.push_back(attempt(i, i == 12));
    panel.display(twelve, std::nullopt, {});
    panel.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(panel.findChild<QWidget*>(QStringLiteral("sweepAttempts"))->height(), SweepPanel::kListHeight);
    EXPECT_EQ(panel.findChildren<QWidget*>(QStringLiteral("sweepAttempt")).size(), 9);
    EXPECT_EQ(SweepPanelText::listedAttempts(twelve).front(), twelve.back());
    EXPECT_EQ(panel.findChild<QLabel*>(QStringLiteral("sweepCount"))->text(), QStringLiteral("12 essais"));
    EXPECT_FALSE(panel.findChild<QLabel*>(QStringLiteral("busTraffic"))->isVisible());
}

} // namespace
} // namespace veq::testing
