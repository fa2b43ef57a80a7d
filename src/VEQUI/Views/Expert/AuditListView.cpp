#include "VEQUI/Views/Expert/AuditListView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Kit/Divider.hpp"
#include "VEQUI/Views/Expert/ExpertLists.hpp"
#include "VEQUI/Views/Expert/ExpertRules.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace veq {

namespace {

using Kind = AuditEntry::Kind;

struct KindRow {
    Kind kind;
    const char* symbol;
    const QColor& (*color)();
};

// clang-format off
const KindRow kindRows[] = {
    {Kind::expertAccepted,   "hand.raised.fill",              VEQ::warning},
    {Kind::backupCreated,    "arrow.down.doc.fill",           VEQ::confirm},
    {Kind::writeAttempted,   "bolt.badge.clock.fill",         VEQ::warning},
    {Kind::writeRefused,     "xmark.octagon.fill",            VEQ::critical},
    {Kind::writeSucceeded,   "checkmark.circle.fill",         VEQ::confirm},
    {Kind::writeFailed,      "exclamationmark.triangle.fill", VEQ::critical},
    {Kind::restoreAttempted, "arrow.uturn.backward",          VEQ::warning},
    {Kind::restoreSucceeded, "checkmark.seal.fill",           VEQ::confirm},
};
// clang-format on

QString qs(const std::string& text) { return QString::fromStdString(text); }

QWidget* makeRow(const AuditEntry& entry) {
    const AuditKindStyle style = auditKindStyle(entry.kind);
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("auditRow"));
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(20, 9, 20, 9);
    line->setSpacing(12);
    auto* symbol = new SymbolView(style.symbol, 12, style.color);
    symbol->setObjectName(QStringLiteral("auditSymbol"));
    symbol->setFrameWidth(18);
    line->addWidget(symbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(makeFlowingLabel(qs(entry.result), VEQ::label(12, QFont::Medium), VEQ::textPrimary(),
                                      QStringLiteral("auditResult")));
    auto* detail = new QHBoxLayout;
    detail->setSpacing(8);
    for (const QString& part : auditDetailParts(entry)) {
        detail->addWidget(makeLabel(part, VEQ::numeric(10, QFont::DemiBold), VEQ::textSecondary(),
                                    QStringLiteral("auditDetail")));
    }
    detail->addStretch(1);
    texts->addLayout(detail);
    line->addLayout(texts, 1);
    return row;
}

} // namespace

AuditKindStyle auditKindStyle(AuditEntry::Kind kind) {
    for (const KindRow& row : kindRows) {
        if (row.kind == kind) return {row.symbol, row.color()};
    }
    return {kindRows[0].symbol, kindRows[0].color()};
}

QStringList auditDetailParts(const AuditEntry& entry) {
    QStringList parts{DateTexts::listDate(entry.timestamp, true)};
    if (entry.ecu) parts << QStringLiteral("ECU ") + qs(*entry.ecu);
    if (entry.did) parts << QStringLiteral("DID ") + qs(*entry.did);
    if (entry.valueBefore && entry.valueAfter) parts << qs(*entry.valueBefore) + QStringLiteral(" \u2192 ") + qs(*entry.valueAfter);
    return parts;
}

AuditListView::AuditListView(AppModel& model, RevealAction reveal, QWidget* parent)
    : QWidget(parent), model_(model), reveal_(std::move(reveal)), layout_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("AuditListView"));
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    auto* revealButton = new PlainButton(QStringLiteral("R\u00E9v\u00E9ler le fichier"), "folder",
                                   VEQ::label(11, QFont::Medium), VEQ::textSecondary());
    revealButton->setObjectName(QStringLiteral("revealLog"));
    connect(revealButton, &QAbstractButton::clicked, this, [this] {
        if (reveal_) reveal_(model_.auditLog().logFileURL());
    });
    layout_->addWidget(ExpertLists::makeInfoBar(
        QStringLiteral("infoBar"), "doc.text.magnifyingglass", model_.accent(),
        QStringLiteral("Journal append-only \u2014 exportable, sert de preuve en cas de litige atelier."), revealButton));
    connect(&model_, &AppModel::auditEntriesChanged, this, [this] { render(); });
    render();
}

void AuditListView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    model_.refreshAudit();
}

void AuditListView::render() {
    QWidget* fresh = nullptr;
    if (model_.auditEntries().empty()) {
        fresh = ExpertLists::makeEmptyState("list.bullet.rectangle", 28, QStringLiteral("Aucune op\u00E9ration enregistr\u00E9e"),
                                            13);
    } else {
        QVBoxLayout* column = nullptr;
        fresh = ExpertLists::makeScroll(QStringLiteral("auditScroll"), column, 0, 0);
        for (const AuditEntry& entry : model_.auditEntries()) {
            column->addWidget(makeRow(entry));
            column->addWidget(ExpertLists::makeRowDivider());
        }
        column->addStretch(1);
    }
    ExpertLists::showPart(layout_, body_, fresh, 1);
}

} // namespace veq
