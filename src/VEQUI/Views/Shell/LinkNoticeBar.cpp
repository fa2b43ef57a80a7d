#include "VEQUI/Views/Shell/LinkNoticeBar.hpp"

#include "VEQUI/Model/AppModel.hpp"
#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/FlowingText.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/SymbolView.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace veq {

namespace {

const QString leaveFullScreen = QStringLiteral(" Appuyez sur Échap pour quitter le plein écran.");

} // namespace

LinkNoticeBar::Texts LinkNoticeBar::textsFor(LinkNotice notice, bool fullScreen) {
    Texts texts;
    switch (notice) {
    case LinkNotice::none: return texts;
    case LinkNotice::linkLost:
        texts.title = QStringLiteral("Liaison avec l'adaptateur perdue");
        texts.detail = QStringLiteral("Les valeurs affichées sont les dernières reçues. Déconnectez-vous puis reconnectez-vous.");
        break;
    case LinkNotice::noValues:
        texts.title = QStringLiteral("Plus aucune valeur reçue");
        texts.detail = QStringLiteral("L'adaptateur ou le véhicule ne répond plus : les valeurs affichées sont les "
                                      "dernières reçues.");
        break;
    }
    if (fullScreen) texts.detail += leaveFullScreen;
    return texts;
}

LinkNoticeBar::LinkNoticeBar(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      symbol_(new SymbolView("exclamationmark.triangle.fill", 18, VEQ::warning())),
      title_(makeLabel({}, VEQ::label(13, QFont::DemiBold), VEQ::textPrimary(), QStringLiteral("linkNoticeTitle"))),
      // One line each, so that the strip never takes height from the screen below it.
      detail_(new ElidedLabel({}, VEQ::label(12, QFont::Medium), VEQ::textSecondary(), QStringLiteral("linkNoticeDetail"))),
      tint_(VEQ::warning()) {
    setObjectName(QStringLiteral("linkNoticeBar"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    title_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 10, 20, 10);
    row->setSpacing(12);
    row->addWidget(symbol_, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(title_);
    texts->addWidget(detail_);
    row->addLayout(texts, 1);

    QObject::connect(&model_, &AppModel::linkNoticeChanged, this, [this] { refresh(); });
    QObject::connect(&model_, &AppModel::focusModeChanged, this, [this] { refresh(); });
    refresh();
}

void LinkNoticeBar::refresh() {
    const LinkNotice notice = model_.linkNotice(); // none unless live
    const Texts texts = textsFor(notice, model_.focusMode());
    title_->setText(texts.title);
    detail_->setText(texts.detail);
    // A lost link is for good; a silence may end by itself.
    const bool lost = notice == LinkNotice::linkLost;
    tint_ = lost ? VEQ::critical() : VEQ::warning();
    symbol_->setSymbol(lost ? "antenna.radiowaves.left.and.right.slash" : "exclamationmark.triangle.fill");
    symbol_->setTint(tint_);
    setVisible(notice != LinkNotice::none);
    update();
}

void LinkNoticeBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), VEQ::surface1());
    QColor wash = tint_;
    wash.setAlphaF(0.14f);
    painter.fillRect(rect(), wash);
    QColor edge = tint_;
    edge.setAlphaF(0.6f);
    painter.fillRect(QRect(0, height() - 1, width(), 1), edge);
}

} // namespace veq
