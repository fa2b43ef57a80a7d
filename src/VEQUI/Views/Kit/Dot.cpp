#include "VEQUI/Views/Kit/Dot.hpp"

#include <QPainter>

namespace veq {

void Dot::paint(QPainter& painter, const QRectF& area) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(area.center(), diameter / 2, diameter / 2);
    painter.restore();
}

} // namespace veq
