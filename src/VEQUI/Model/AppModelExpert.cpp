// The expert front: the coding engine over each new session, the refreshes of backups, audit
// entries and feasibilities, and the coding operations the expert screens call. The coding
// services lock their own state, touch files and hold the adapter, so every call into them runs
// on a worker thread that shares ownership of the engine and hands its results back. The engine
// outlives its connection: after a disconnection the operations go on with the last one.
#include "VEQUI/Model/AppModel.hpp"

#include <QMetaObject>
#include <QPointer>

namespace veq {

namespace {

std::string joinedReasons(const std::vector<std::string>& reasons) {
    std::string out;
    for (const std::string& reason : reasons) {
        if (!out.empty()) out += ' ';
        out += reason;
    }
    return out;
}

std::string executionMessage(const CodingEngine::ExecutionResult& result) {
    using Kind = CodingEngine::ExecutionResult::Kind;
    switch (result.kind) {
    case Kind::refused: return "Refusé — " + joinedReasons(result.reasons);
    case Kind::failed: return "Échec : " + result.description;
    case Kind::succeeded: break;
    }
    return "Opération exécutée et vérifiée par relecture.";
}

std::string restoreMessage(const CodingEngine::ExecutionResult& result) {
    using Kind = CodingEngine::ExecutionResult::Kind;
    switch (result.kind) {
    case Kind::refused: return "Restauration refusée — " + joinedReasons(result.reasons);
    case Kind::failed: return "Échec de restauration : " + result.description;
    case Kind::succeeded: break;
    }
    return "Calculateur restauré.";
}

// Values polled before a pause may be minutes old: while a tool holds polling paused, the guard
// sees none (and refuses without a battery voltage).
CodingEngine::LiveValues guardValues(const LiveGuardValues& values, const std::shared_ptr<PollingPause>& pause) {
    if (pause && pause->isPaused()) return {};
    return values.get();
}

std::map<std::string, Feasibility> feasibilitiesOf(const CodingEngine& engine, const std::vector<CodingRecipe>& recipes,
                                                   const std::set<std::string>& reachable) {
    std::map<std::string, Feasibility> out;
    // A later recipe with the same identifier wins, as the list shows it last.
    for (const CodingRecipe& recipe : recipes) out.insert_or_assign(recipe.id, engine.feasibility(recipe, reachable));
    return out;
}

} // namespace

Dialogs& AppModel::dialogs() { return environment_.dialogs ? *environment_.dialogs : dismissingDialogs_; }

void AppModel::setupExpert(const std::shared_ptr<ELM327Session>& session) {
    codingEngine_ = std::make_shared<CodingEngine>(session, securityRegistry_, backupStore_, auditLog_, vin_);
    // One task, in this order: providers, backups, audit entries, then the feasibilities.
    workers_.start([this, registry = securityRegistry_, backups = backupStore_, audit = auditLog_](std::stop_token) {
        auto providers = registry->loadedIdentifiers();
        QMetaObject::invokeMethod(this, [this, providers] { setLoadedProviders(providers); }, Qt::QueuedConnection);
        auto list = backups->all();
        QMetaObject::invokeMethod(this, [this, list] { setBackupList(list); }, Qt::QueuedConnection);
        auto entries = audit->recent();
        QMetaObject::invokeMethod(
            this,
            [this, entries] {
                setAuditEntries(entries);
                refreshFeasibilities();
            },
            Qt::QueuedConnection);
    });
}

void AppModel::refreshBackups() {
    runInBackground([this, backups = backupStore_](std::stop_token) -> std::function<void()> {
        return [this, list = backups->all()] { setBackupList(list); };
    });
}

void AppModel::refreshAudit() {
    runInBackground([this, audit = auditLog_](std::stop_token) -> std::function<void()> {
        return [this, entries = audit->recent()] { setAuditEntries(entries); };
    });
}

void AppModel::refreshFeasibilities() {
    if (!codingEngine_) return;
    std::set<std::string> reachable;
    for (const DiscoveredECU& ecu : ecus_) {
        if (ecu.responded) reachable.insert(ecu.txHeader);
    }
    runInBackground([this, engine = codingEngine_, recipes = recipes_,
                     reachable](std::stop_token) -> std::function<void()> {
        auto feasibilities = feasibilitiesOf(*engine, recipes, reachable);
        return [this, feasibilities = std::move(feasibilities)] { setFeasibilities(feasibilities); };
    });
}

void AppModel::acceptExpertMode() {
    setExpertAccepted(true);
    workers_.start([this, engine = codingEngine_, audit = auditLog_](std::stop_token) {
        if (engine) engine->recordExpertAcceptance();
        auto entries = audit->recent();
        QMetaObject::invokeMethod(this, [this, entries] { setAuditEntries(entries); }, Qt::QueuedConnection);
    });
    refreshFeasibilities();
}

void AppModel::guardVerdict(const CodingRecipe& recipe, QObject* receiver, GuardVerdictReply reply) {
    const QPointer<QObject> target(receiver);
    if (!codingEngine_) {
        QMetaObject::invokeMethod(
            this,
            [target, reply] {
                if (target) reply(std::optional<GuardVerdict>());
            },
            Qt::QueuedConnection);
        return;
    }
    const CodingEngine::LiveValues live = guardValues(*liveGuardValues_, pollingPause_);
    workers_.start([this, engine = codingEngine_, recipe, accepted = expertAccepted_, live, target,
                    reply](std::stop_token) {
        GuardVerdict verdict = engine->evaluateGuards(recipe, accepted, live.batteryVoltage, live.rpm, live.speedKmh);
        QMetaObject::invokeMethod(
            this,
            [target, reply, verdict = std::move(verdict)] {
                if (target) reply(verdict);
            },
            Qt::QueuedConnection);
    });
}

void AppModel::backupECU(const CodingRecipe& recipe) {
    if (!codingEngine_ || !recipe.ecuAddress) return;
    setBackupProgress(BackupProgress{0, 1});
    workers_.start([this, engine = codingEngine_, backups = backupStore_, audit = auditLog_, name = recipe.ecu,
                    address = *recipe.ecuAddress, vin = vin_](std::stop_token stop) {
        const auto progress = [this](int done, int total) {
            QMetaObject::invokeMethod(
                this, [this, done, total] { setBackupProgress(BackupProgress{done, total}); }, Qt::QueuedConnection);
        };
        engine->backupECU(name, address, vin, progress, stop);
        // In this order: the progress display goes, then backups, audit entries, feasibilities.
        auto list = backups->all();
        auto entries = audit->recent();
        QMetaObject::invokeMethod(
            this,
            [this, list, entries] {
                setBackupProgress(std::nullopt);
                setBackupList(list);
                setAuditEntries(entries);
                refreshFeasibilities();
            },
            Qt::QueuedConnection);
    });
}

void AppModel::executeRecipe(const CodingRecipe& recipe) {
    if (!codingEngine_) return;
    // The engine asks for the live values once it holds the session: a copy it may read from its
    // thread, empty while a tool holds polling paused.
    CodingEngine::LiveValuesSource live = [values = liveGuardValues_, pause = pollingPause_] {
        return guardValues(*values, pause);
    };
    workers_.start([this, engine = codingEngine_, audit = auditLog_, recipe, accepted = expertAccepted_,
                    live](std::stop_token stop) {
        const auto result = engine->execute(recipe, accepted, true, live, stop);
        auto entries = audit->recent();
        QMetaObject::invokeMethod(
            this,
            [this, message = executionMessage(result), entries] {
                setLastExecutionMessage(message);
                setAuditEntries(entries);
            },
            Qt::QueuedConnection);
    });
}

void AppModel::restoreBackup(const ECUBackup& backup) {
    if (!codingEngine_) return;
    workers_.start([this, engine = codingEngine_, audit = auditLog_, backup](std::stop_token) {
        const auto result = engine->restore(backup);
        auto entries = audit->recent();
        QMetaObject::invokeMethod(
            this,
            [this, message = restoreMessage(result), entries] {
                setLastExecutionMessage(message);
                setAuditEntries(entries);
            },
            Qt::QueuedConnection);
    });
}

} // namespace veq
