#include "VEQUI/Views/Expert/ExpertControls.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace veq {

namespace {

constexpr double badgeDot = 7;
constexpr double badgeSpacing = 5;
constexpr double badgePadV = 4;
constexpr double badgePadH = 9;

QFont badgeLabelFont() { return VEQ::label(10, QFont::Medium); }
QFont badgeValueFont() { return VEQ::numeric(11, QFont::DemiBold); }
QFont chipFont() { return tracked(VEQ::label(9, QFont::DemiBold), 0.5); }

} // namespace

CapsuleButton::CapsuleButton(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text.toUpper());
    setFont(chipFont());
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CapsuleButton::setColours(const QColor& fill, const QColor& text) {
    fill_ = fill;
    textColour_ = text;
    update();
}

QSize CapsuleButton::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text()) + 18 + 1)),
            static_cast<int>(std::ceil(metrics.height() + 10))};
}

void CapsuleButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const QRectF box(rect());
    path.addRoundedRect(box, box.height() / 2, box.height() / 2);
    painter.fillPath(path, fill_);
    painter.setFont(font());
    painter.setPen(textColour_);
    painter.drawText(box, Qt::AlignCenter, text());
}

LiveBadgeView::LiveBadgeView(const QString& objectName, QWidget* parent) : QWidget(parent) {
    setObjectName(objectName);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LiveBadgeView::set(const ExpertRules::LiveBadge& badge) {
    if (badge == badge_) return;
    badge_ = badge;
    setFixedSize(sizeHint());
    update();
}

QColor LiveBadgeView::dotColour() const { return badge_.ok ? VEQ::confirm() : VEQ::warning(); }

QSize LiveBadgeView::sizeHint() const {
    const QFontMetricsF label(badgeLabelFont());
    const QFontMetricsF value(badgeValueFont());
    const double width = badgeDot + badgeSpacing + label.horizontalAdvance(badge_.label) + badgeSpacing +
                         value.horizontalAdvance(badge_.value) + 2 * badgePadH;
    const double height = std::max(label.height(), value.height()) + 2 * badgePadV;
    return {static_cast<int>(std::ceil(width + 1)), static_cast<int>(std::ceil(height))};
}

void LiveBadgeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(rect());
    QPainterPath path;
    path.addRoundedRect(box, box.height() / 2, box.height() / 2);
    painter.fillPath(path, VEQ::surface2());
    double x = badgePadH;
    painter.setPen(Qt::NoPen);
    painter.setBrush(dotColour());
    painter.drawEllipse(QRectF(x, box.center().y() - badgeDot / 2, badgeDot, badgeDot));
    x += badgeDot + badgeSpacing;
    const QFontMetricsF label(badgeLabelFont());
    painter.setFont(badgeLabelFont());
    painter.setPen(VEQ::textSecondary());
    painter.drawText(QRectF(x, 0, label.horizontalAdvance(badge_.label) + 1, box.height()), Qt::AlignVCenter,
                     badge_.label);
    x += label.horizontalAdvance(badge_.label) + badgeSpacing;
    painter.setFont(badgeValueFont());
    painter.setPen(VEQ::textPrimary());
    painter.drawText(QRectF(x, 0, box.width() - x, box.height()), Qt::AlignVCenter, badge_.value);
}

} // namespace veq
