#pragma once

#include "VEQEngine/Coding/AuditLog.hpp"
#include "VEQUI/Views/Expert/ExpertControls.hpp"

#include <QColor>
#include <QString>
#include <QWidget>

#include <string>

class QVBoxLayout;

namespace veq {

class AppModel;

// The symbol and colour of an audit entry's kind.
struct AuditKindStyle {
    std::string symbol;
    QColor color;
};
AuditKindStyle auditKindStyle(AuditEntry::Kind kind);

// The detail line of an audit row: the date with seconds, then "ECU …", "DID …" and
// "before → after" for what the entry holds, each its own text.
QStringList auditDetailParts(const AuditEntry& entry);

// The "Journal" tab: the audit entries of this run, newest first, each with the symbol and
// colour of its kind, and the audit log file shown in the file manager.
class AuditListView : public QWidget {
public:
    AuditListView(AppModel& model, RevealAction reveal, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void render();

    AppModel& model_;
    RevealAction reveal_;
    QVBoxLayout* layout_;
    QWidget* body_ = nullptr;
};

} // namespace veq
