#pragma once

#include "VEQEngine/Coding/ECUBackup.hpp"
#include "VEQUI/Views/Expert/ExpertControls.hpp"
#include "VEQUI/Views/Kit/SymbolCapsule.hpp"

#include <QWidget>

#include <optional>

class QVBoxLayout;

namespace veq {

class AppModel;

// The three tags of a backup card: freshness (from 0 to under 24 h, as the write guard counts
// it), read-back and integrity.
SymbolCapsule freshnessTag(const ECUBackup& backup, ECUBackup::Clock::time_point now);
SymbolCapsule readBackTag(const ECUBackup& backup);
SymbolCapsule integrityTag(const ECUBackup& backup);

// The "Sauvegardes" tab: every backup of the store, newest first, with its freshness, read-back
// and integrity, the backup folder in the file manager, and a restore asked behind a
// confirmation (whose outcome reaches the recipe sheets and the audit log through the model).
class BackupListView : public QWidget {
public:
    BackupListView(AppModel& model, RevealAction reveal, QWidget* parent = nullptr);

    // The backup whose restore is being confirmed.
    const std::optional<ECUBackup>& confirmingRestore() const { return confirmingRestore_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void render();
    QWidget* makeCard(const ECUBackup& backup);
    void askRestore(const ECUBackup& backup);

    AppModel& model_;
    RevealAction reveal_;
    std::optional<ECUBackup> confirmingRestore_;
    QVBoxLayout* layout_;
    QWidget* body_ = nullptr;
};

} // namespace veq
