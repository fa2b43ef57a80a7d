// The expert front of the model: acceptance, refreshes, a backup with its progress, refused
// executions and restores, and the guard's live values, against the simulated car.
#include "ToolFixtures.hpp"

#include <gtest/gtest.h>

using namespace veq;
using namespace veq::testing;
using Access = AppModelToolsAccess;
using Progress = AppModel::BackupProgress;

namespace {

const CodingRecipe& recipeNamed(const AppModel& model, const std::string& id) {
    for (const CodingRecipe& r : model.recipes()) {
        if (r.id == id) return r;
    }
    throw std::runtime_error("no recipe " + id);
}

// The verdict the model hands back on the GUI thread.
std::optional<std::optional<GuardVerdict>> verdictOf(AppModel& model, const CodingRecipe& recipe) {
    std::optional<std::optional<GuardVerdict>> answer;
    QObject receiver;
    model.guardVerdict(recipe, &receiver, [&](std::optional<GuardVerdict> v) { answer = std::move(v); });
    waitUntil([&] { return answer.has_value(); }, 20s);
    return answer;
}

const GuardCheck* check(const GuardVerdict& verdict, const std::string& id) {
    for (const GuardCheck& c : verdict.checks) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

bool hasLiveGuardValues(const AppModel& model) {
    return model.store().value(0x42) && model.store().value(0x0C) && model.store().value(0x0D);
}

const std::string engineRecipe = "eng-start-stop-off";

} // namespace

TEST(ExpertFrontTests, WithoutACodingEngineAcceptingWritesNoAuditAndTheOperationsDoNothing) {
    ModelRig rig;
    AppModel& m = *rig.model;
    const CodingRecipe& recipe = recipeNamed(m, engineRecipe);

    m.acceptExpertMode();
    EXPECT_TRUE(m.expertAccepted());
    m.backupECU(recipe);
    EXPECT_EQ(m.backupProgress(), std::nullopt);
    m.executeRecipe(recipe);
    m.refreshFeasibilities();
    const auto verdict = verdictOf(m, recipe);
    ASSERT_TRUE(verdict.has_value()) << "no answer";
    EXPECT_EQ(*verdict, std::nullopt);
    settleFor(100ms);
    EXPECT_TRUE(m.auditLog().recent().empty());
    EXPECT_TRUE(m.auditEntries().empty());
    EXPECT_TRUE(m.feasibilities().empty());
    EXPECT_EQ(m.lastExecutionMessage(), std::nullopt);
}

TEST(ExpertFrontTests, ConnectedModelAcceptsBacksUpRefusesAndPollingAnswersAfter) {
    ConnectionRig rig;
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    const CodingRecipe& recipe = recipeNamed(*rig, engineRecipe);

    // A refusal before the acceptance and without a backup: every blocking check is named.
    ASSERT_TRUE(waitUntil([&] { return hasLiveGuardValues(*rig); }, 20s));
    rig->executeRecipe(recipe);
    ASSERT_TRUE(waitUntil([&] { return rig->lastExecutionMessage().has_value(); }, 20s));
    const std::string& refused = *rig->lastExecutionMessage();
    EXPECT_TRUE(refused.starts_with("Refusé — Mode Expert accepté — ")) << refused;
    for (const char* reason : {" Sauvegarde ECU valide (< 24 h) — Aucune sauvegarde valide",
                               " Moteur à l'arrêt (régime nul) — Coupez le moteur",
                               " Provider d'accès sécurisé — Aucun provider seed/key chargé."}) {
        EXPECT_NE(refused.find(reason), std::string::npos) << reason << "\nin: " << refused;
    }
    EXPECT_EQ(refused.find("Tension batterie"), std::string::npos) << "the battery voltage did not reach the engine";
    ASSERT_TRUE(waitUntil([&] { return !rig->auditEntries().empty(); }, 20s));
    EXPECT_EQ(rig->auditEntries().front().kind, AuditEntry::Kind::writeRefused);

    // Acceptance: its audit entry on top.
    rig->acceptExpertMode();
    ASSERT_TRUE(waitUntil([&] { return rig->auditEntries().front().kind == AuditEntry::Kind::expertAccepted; }, 20s));
    EXPECT_EQ(rig->auditEntries().front().result, "Avertissement du mode Expert lu et accepté par l'utilisateur");

    // A backup of the engine ECU, its progress shown from the first moment to the end.
    std::vector<std::optional<Progress>> progress;
    QObject::connect(rig.model.get(), &AppModel::backupProgressChanged, [&] { progress.push_back(rig->backupProgress()); });
    rig->backupECU(recipe);
    EXPECT_EQ(rig->backupProgress(), (Progress{0, 1}));
    ASSERT_TRUE(waitUntil([&] { return !rig->backupList().empty(); }, 20s));
    EXPECT_EQ(rig->backupProgress(), std::nullopt);
    const int total = static_cast<int>(ECUBackupStore::standardDIDs.size());
    std::vector<std::optional<Progress>> expected{Progress{0, 1}};
    for (int k = 1; k <= total; ++k) expected.push_back(Progress{k, total});
    expected.push_back(std::nullopt);
    EXPECT_EQ(progress, expected);
    EXPECT_EQ(rig->backupList().front().ecuAddress, "7E0");
    EXPECT_TRUE(rig->backupList().front().verified);
    EXPECT_EQ(rig->auditEntries().front().kind, AuditEntry::Kind::backupCreated);

    // With the warning accepted and a backup, the engine still turns and no provider exists.
    const auto verdict = verdictOf(*rig, recipe);
    ASSERT_TRUE(verdict && *verdict);
    EXPECT_TRUE(check(**verdict, "expert")->passed);
    EXPECT_TRUE(check(**verdict, "backup")->passed);
    EXPECT_FALSE(check(**verdict, "engine")->passed);
    EXPECT_FALSE(check(**verdict, "security")->passed);
    EXPECT_TRUE(check(**verdict, "voltage")->passed);

    // Restores: refused without a provider, failed for an altered backup.
    const ECUBackup backup = rig->backupList().front();
    rig->restoreBackup(backup);
    ASSERT_TRUE(waitUntil([&] { return rig->lastExecutionMessage()->starts_with("Restauration refusée — "); }, 20s));
    EXPECT_NE(rig->lastExecutionMessage()->find("exige donc le SecurityAccess (0x27)"), std::string::npos);
    ECUBackup altered = backup;
    altered.values.begin()->second.push_back(0x00);
    rig->restoreBackup(altered);
    ASSERT_TRUE(waitUntil([&] { return rig->lastExecutionMessage()->starts_with("Échec de restauration : "); }, 20s));
    EXPECT_EQ(*rig->lastExecutionMessage(),
              "Échec de restauration : Sauvegarde altérée : l'empreinte de contrôle ne correspond pas.");

    EXPECT_FALSE(Access::pollingPaused(*rig));
    EXPECT_TRUE(pollingAnswers(*rig));
}

TEST(ExpertFrontTests, WhileAToolHoldsPollingPausedTheGuardSeesNoLiveValuesAndAGoneReceiverGetsNoVerdict) {
    ConnectionRig rig;
    ASSERT_TRUE(rig.connect()) << rig->phase().message;
    ASSERT_TRUE(waitUntil([&] { return hasLiveGuardValues(*rig); }, 20s));
    const CodingRecipe& recipe = recipeNamed(*rig, engineRecipe);
    // A verdict for a receiver that went away is dropped; the next request is answered after it.
    bool answered = false;
    {
        QObject receiver;
        rig->guardVerdict(recipe, &receiver, [&](std::optional<GuardVerdict>) { answered = true; });
    }
    auto verdict = verdictOf(*rig, recipe);
    ASSERT_TRUE(verdict && *verdict);
    EXPECT_TRUE(check(**verdict, "voltage")->passed);
    settleFor(50ms);
    EXPECT_FALSE(answered);

    rig->startDIDScan(DIDRange{0x2001, 0x2001, {}, {}});
    ASSERT_TRUE(waitUntil([&] { return !rig->didScanning(); }, 20s));
    rig->toggleDIDWatch();
    ASSERT_TRUE(waitUntil([&] { return Access::pollingPaused(*rig); }));

    verdict = verdictOf(*rig, recipe);
    ASSERT_TRUE(verdict && *verdict);
    EXPECT_FALSE(check(**verdict, "voltage")->passed);
    EXPECT_EQ(check(**verdict, "voltage")->detail, "Tension batterie non lisible — écriture refusée par précaution.");
    rig->executeRecipe(recipe);
    ASSERT_TRUE(waitUntil([&] { return rig->lastExecutionMessage().has_value(); }, 20s));
    EXPECT_NE(rig->lastExecutionMessage()->find("Tension batterie non lisible"), std::string::npos)
        << *rig->lastExecutionMessage();

    rig->toggleDIDWatch();
    ASSERT_TRUE(waitUntil([&] { return !Access::pollingPaused(*rig); }));
    EXPECT_TRUE(pollingAnswers(*rig));
    verdict = verdictOf(*rig, recipe);
    ASSERT_TRUE(verdict && *verdict);
    EXPECT_TRUE(check(**verdict, "voltage")->passed);
}
