#include "VEQUI/Views/Connection/TransportCard.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/SymbolIcons.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace veq {

namespace {

QFont titleFont() { return VEQ::label(14, QFont::DemiBold); }
QFont subtitleFont() { return VEQ::label(11, QFont::Medium); }

QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

TransportCard::TransportCard(TransportKind kind, QWidget* parent)
    : QAbstractButton(parent), kind_(kind), accent_(VEQ::accent()) {
    setText(qs(veq::title(kind)));
    setObjectName(QStringLiteral("transportCard.") + qs(id(kind)));
    setAccessibleName(text());
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TransportCard::setSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    update();
}

void TransportCard::setAccent(const QColor& accent) {
    if (accent == accent_) return;
    accent_ = accent;
    update();
}

QSize TransportCard::sizeHint() const {
    const int texts = QFontMetrics(titleFont()).height() + 2 + QFontMetrics(subtitleFont()).height();
    return {kWidth, std::max(texts, kIconSize) + 2 * kInset};
}

void TransportCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());

    QPainterPath card;
    card.addRoundedRect(bounds, 12, 12);
    painter.fillPath(card, VEQ::surface1());
    const double line = selected_ ? 1.5 : 1.0;
    QPainterPath outline;
    outline.addRoundedRect(bounds.adjusted(line / 2, line / 2, -line / 2, -line / 2), 12 - line / 2, 12 - line / 2);
    painter.strokePath(outline, QPen(selected_ ? accent_ : VEQ::stroke(), line));

    const QRectF content = bounds.adjusted(kInset, kInset, -kInset, -kInset);
    const QRectF iconFrame(content.left(), content.center().y() - kIconSize / 2.0, kIconFrame, kIconSize);
    SymbolIcons::paint(painter, iconFrame, veq::icon(kind_), selected_ ? accent_ : VEQ::textSecondary());

    const double textLeft = content.left() + kIconFrame + kSpacing;
    const QFontMetrics titleMetrics(titleFont());
    const QFontMetrics subtitleMetrics(subtitleFont());
    const double textHeight = titleMetrics.height() + 2 + subtitleMetrics.height();
    const double top = content.center().y() - textHeight / 2;
    const double textWidth = content.right() - textLeft - (selected_ ? kCheckSize + kSpacing : 0);
    painter.setFont(titleFont());
    painter.setPen(VEQ::textPrimary());
    painter.drawText(QRectF(textLeft, top, textWidth, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    painter.setFont(subtitleFont());
    painter.setPen(VEQ::textSecondary());
    painter.drawText(QRectF(textLeft, top + titleMetrics.height() + 2, textWidth, subtitleMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, qs(veq::subtitle(kind_)));

    if (selected_) {
        const QRectF check(content.right() - kCheckSize, content.center().y() - kCheckSize / 2.0, kCheckSize, kCheckSize);
        SymbolIcons::paint(painter, check, "checkmark.circle.fill", accent_);
    }
}

} // namespace veq
