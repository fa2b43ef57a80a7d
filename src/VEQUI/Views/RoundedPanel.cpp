#include "VEQUI/Views/RoundedPanel.hpp"

#include <QPainter>
#include <QPainterPath>

#include <utility>

namespace veq {

void paintRoundedPanel(QPainter& painter, const QRectF& area, const RoundedPanel::Look& look) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath fill;
    fill.addRoundedRect(area, look.radius, look.radius);
    painter.fillPath(fill, look.fill);
    if (look.outlineWidth > 0) {
        const double inset = look.outlineWidth / 2;
        QPainterPath outline;
        outline.addRoundedRect(area.adjusted(inset, inset, -inset, -inset), look.radius - inset, look.radius - inset);
        painter.setPen(QPen(look.outline, look.outlineWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(outline);
    }
    painter.restore();
}

RoundedPanel::RoundedPanel(Look look, QWidget* parent) : QWidget(parent), look_(std::move(look)) {}

void RoundedPanel::setLook(Look look) {
    if (look == look_) return;
    look_ = std::move(look);
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintRoundedPanel(painter, QRectF(rect()), look_);
}

} // namespace veq
