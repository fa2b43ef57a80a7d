#include "VEQUI/Views/Kit/Dot.hpp"

#include "VEQUI/Views/Kit/GlowCache.hpp"

#include <QPainter>

namespace veq {

void Dot::paint(QPainter& painter, const QRectF& area, Glow::Cache* glows) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (glowOpacity > 0) Glow::paintDisc(painter, glows, area.center(), diameter, color, glowOpacity, glowRadius);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(area.center(), diameter / 2, diameter / 2);
    painter.restore();
}

} // namespace veq
