// The expert front's share of the connection: the coding engine over each new session, and the
// refreshes of backups, audit entries and feasibilities. The coding services lock their own state
// and may touch files, so each refresh reads them on a worker thread and hands the result back.
#include "VEQUI/Model/AppModel.hpp"

#include <QMetaObject>

namespace veq {

namespace {

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
    workers_.start([this, backups = backupStore_](std::stop_token) {
        auto list = backups->all();
        QMetaObject::invokeMethod(this, [this, list] { setBackupList(list); }, Qt::QueuedConnection);
    });
}

void AppModel::refreshAudit() {
    workers_.start([this, audit = auditLog_](std::stop_token) {
        auto entries = audit->recent();
        QMetaObject::invokeMethod(this, [this, entries] { setAuditEntries(entries); }, Qt::QueuedConnection);
    });
}

void AppModel::refreshFeasibilities() {
    if (!codingEngine_) return;
    std::set<std::string> reachable;
    for (const DiscoveredECU& ecu : ecus_) {
        if (ecu.responded) reachable.insert(ecu.txHeader);
    }
    workers_.start([this, engine = codingEngine_, recipes = recipes_, reachable](std::stop_token) {
        auto feasibilities = feasibilitiesOf(*engine, recipes, reachable);
        QMetaObject::invokeMethod(this, [this, feasibilities] { setFeasibilities(feasibilities); }, Qt::QueuedConnection);
    });
}

} // namespace veq
