#include "VEQUI/Views/Kit/RoundedPanel.hpp"

#include <QPainter>
#include <QPainterPath>

namespace veq {

RoundedPanel::RoundedPanel(double cornerRadius, QColor fill, QWidget* parent)
    : QWidget(parent), radius_(cornerRadius), fill_(std::move(fill)) {}

void RoundedPanel::setFill(const QColor& fill) {
    if (fill == fill_) return;
    fill_ = fill;
    update();
}

void RoundedPanel::setOutline(const QColor& colour, double width) {
    if (colour == outline_ && width == outlineWidth_) return;
    outline_ = colour;
    outlineWidth_ = width;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect());
    QPainterPath shape;
    shape.addRoundedRect(bounds, radius_, radius_);
    painter.fillPath(shape, fill_);
    if (outlineWidth_ > 0) {
        const double inset = outlineWidth_ / 2;
        QPainterPath edge;
        edge.addRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), radius_ - inset, radius_ - inset);
        painter.strokePath(edge, QPen(outline_, outlineWidth_));
    }
}

} // namespace veq
