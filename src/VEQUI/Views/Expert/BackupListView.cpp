#include "VEQUI/Views/Expert/BackupListView.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Expert/ExpertLists.hpp"
#include "VEQUI/Views/Expert/ExpertRules.hpp"
#include "VEQUI/Views/Kit/DateTexts.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PlainButton.hpp"
#include "VEQUI/Views/Kit/ProminentButton.hpp"
#include "VEQUI/Views/Kit/RoundedPanel.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QPointer>
#include <QScrollArea>
#include <QVBoxLayout>

#include <fmt/format.h>

namespace veq {

namespace {

using ExpertLists::withOpacity;

SymbolCapsule tag(const QString& text, const QColor& color) {
    SymbolCapsule capsule;
    capsule.text = text;
    capsule.color = color;
    return capsule;
}

QString qs(const std::string& text) { return QString::fromStdString(text); }

} // namespace

SymbolCapsule freshnessTag(const ECUBackup& backup, ECUBackup::Clock::time_point now) {
    return backup.isFresh(now) ? tag(QStringLiteral("Valide (< 24 h)"), VEQ::confirm())
                               : tag(QStringLiteral("P\u00E9rim\u00E9e (> 24 h)"), VEQ::warning());
}

SymbolCapsule readBackTag(const ECUBackup& backup) {
    return backup.verified ? tag(QStringLiteral("Relecture v\u00E9rifi\u00E9e"), VEQ::confirm())
                           : tag(QStringLiteral("Non v\u00E9rifi\u00E9e"), VEQ::warning());
}

SymbolCapsule integrityTag(const ECUBackup& backup) {
    return backup.isIntact() ? tag(QStringLiteral("Empreinte intacte"), VEQ::confirm())
                             : tag(QStringLiteral("ALT\u00C9R\u00C9E"), VEQ::critical());
}

BackupListView::BackupListView(AppModel& model, RevealAction reveal, QWidget* parent)
    : QWidget(parent), model_(model), reveal_(std::move(reveal)), layout_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("BackupListView"));
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    auto* open = new PlainButton(QStringLiteral("Ouvrir le dossier"), "folder", VEQ::label(11, QFont::Medium),
                                 VEQ::textSecondary());
    open->setObjectName(QStringLiteral("openFolder"));
    connect(open, &QAbstractButton::clicked, this, [this] {
        if (reveal_) reveal_(model_.backupStore().storageDirectory());
    });
    layout_->addWidget(ExpertLists::makeInfoBar(
        QStringLiteral("infoBar"), "shield.checkerboard", model_.accent(),
        QStringLiteral("Aucune \u00E9criture n'est autoris\u00E9e sans une sauvegarde v\u00E9rifi\u00E9e de moins de 24 heures."),
        open));
    connect(&model_, &AppModel::backupListChanged, this, [this] { render(); });
    connect(&model_, &AppModel::nightModeChanged, this, [this] { render(); });
    render();
}

void BackupListView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    model_.refreshBackups();
}

void BackupListView::render() {
    QWidget* fresh = nullptr;
    if (model_.backupList().empty()) {
        fresh = ExpertLists::makeEmptyState(
            "externaldrive.badge.questionmark", 30, QStringLiteral("Aucune sauvegarde"), 14,
            QStringLiteral("Ouvrez une fonction et sauvegardez son calculateur avant toute modification."));
    } else {
        QVBoxLayout* column = nullptr;
        fresh = ExpertLists::makeScroll(QStringLiteral("backupScroll"), column, 20, 10);
        for (const ECUBackup& backup : model_.backupList()) column->addWidget(makeCard(backup));
        column->addStretch(1);
    }
    ExpertLists::showPart(layout_, body_, fresh, 1);
}

QWidget* BackupListView::makeCard(const ECUBackup& backup) {
    const bool sound = backup.verified && backup.isIntact();
    auto* card = new RoundedPanel(12, VEQ::surface1());
    card->setObjectName(QStringLiteral("backupCard"));
    card->setOutline(VEQ::stroke(), 1);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(14);
    auto* status = new SymbolView(sound ? "checkmark.seal.fill" : "exclamationmark.triangle.fill", 20,
                                  sound ? VEQ::confirm() : VEQ::warning());
    status->setObjectName(QStringLiteral("backupStatus"));
    row->addWidget(status, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(makeLabel(qs(backup.ecuName), VEQ::label(13, QFont::DemiBold), VEQ::textPrimary(),
                               QStringLiteral("backupECU")));
    const QString detail = qs(fmt::format("{} \u00B7 {} DID \u00B7 ", backup.ecuAddress, backup.values.size())) +
                           DateTexts::listDate(backup.createdAt, false);
    texts->addWidget(makeLabel(detail, VEQ::numeric(11, QFont::DemiBold), VEQ::textSecondary(),
                               QStringLiteral("backupDetail")));
    auto* tags = new QHBoxLayout;
    tags->setSpacing(6);
    tags->addWidget(new SymbolCapsuleView(freshnessTag(backup, ECUBackup::Clock::now()), QStringLiteral("freshnessTag")));
    tags->addWidget(new SymbolCapsuleView(readBackTag(backup), QStringLiteral("readBackTag")));
    tags->addWidget(new SymbolCapsuleView(integrityTag(backup), QStringLiteral("integrityTag")));
    tags->addStretch(1);
    texts->addLayout(tags);
    texts->addWidget(makeLabel(QStringLiteral("SHA-256 \u00B7 ") + qs(backup.checksum.substr(0, 16)) + QStringLiteral("\u2026"),
                               VEQ::numeric(9, QFont::DemiBold), withOpacity(VEQ::textSecondary(), 0.6),
                               QStringLiteral("backupChecksum")));
    row->addLayout(texts, 1);
    auto* restore = new ProminentButton(QStringLiteral("Restaurer"), "arrow.uturn.backward",
                                        VEQ::label(11, QFont::DemiBold), model_.accent());
    restore->setObjectName(QStringLiteral("restoreButton"));
    connect(restore, &QAbstractButton::clicked, this, [this, backup] { askRestore(backup); });
    row->addWidget(restore, 0, Qt::AlignTop);
    return card;
}

void BackupListView::askRestore(const ECUBackup& backup) {
    confirmingRestore_ = backup;
    // The question is modal: the screen may be taken down under it (a lost connection), and then
    // the answer has nothing left to act on.
    const QPointer<BackupListView> alive(this);
    const bool confirmed = model_.dialogs().confirm(
        {"Restaurer ce calculateur ?",
         "La restauration r\u00E9\u00E9crit les valeurs sauvegard\u00E9es dans le calculateur. Elle exige les m\u00EAmes "
         "garde-fous qu'une \u00E9criture normale.",
         "Restaurer", "Annuler", true});
    if (!alive) return;
    if (confirmed && confirmingRestore_) model_.restoreBackup(*confirmingRestore_);
    confirmingRestore_.reset();
}

} // namespace veq
