#include "VEQUI/Views/Kit/StatusLamp.hpp"

#include "VEQUI/Views/Kit/Dot.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace veq {

namespace {
QFont labelFont() { return VEQ::label(11, QFont::Medium); }
} // namespace

void StatusLamp::paint(QPainter& painter, const QRectF& area, Glow::Cache* glows) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = dotCentre(area);
    const double radius = diameter / 2;
    Dot{diameter, isOn ? onColor : VEQ::stroke(), isOn ? 0.8 : 0.0, glowRadius}.paint(
        painter, QRectF(centre - QPointF(radius, radius), QSizeF(diameter, diameter)), glows);

    const QFont font = labelFont();
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(isOn ? VEQ::textPrimary() : VEQ::textSecondary());
    const double baseline = area.center().y() - metrics.height() / 2 + metrics.ascent();
    painter.drawText(QPointF(centre.x() + radius + spacing, baseline), label);
    painter.restore();
}

QPointF StatusLamp::dotCentre(const QRectF& area) const { return {area.left() + glowRadius + diameter / 2, area.center().y()}; }

QSizeF StatusLamp::sizeHint() const {
    const QFontMetricsF metrics(labelFont());
    return {std::ceil(glowRadius + diameter + spacing + metrics.horizontalAdvance(label)),
            std::ceil(std::max(diameter + 2 * glowRadius, metrics.height()))};
}

} // namespace veq
