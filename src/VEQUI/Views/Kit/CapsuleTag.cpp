#include "VEQUI/Views/Kit/CapsuleTag.hpp"

#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace veq {

namespace {
QFont tagFont(double size) { return tracked(VEQ::label(size, QFont::Bold), CapsuleTag::tracking); }
} // namespace

void CapsuleTag::paint(QPainter& painter, const QRectF& area) const {
    const QSizeF size = sizeHint();
    // Hugs its text at the leading edge, centred vertically in what it is given.
    const QRectF capsule(area.left(), area.center().y() - size.height() / 2, std::min(size.width(), area.width()),
                         size.height());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = color;
    fill.setAlphaF(static_cast<float>(fillOpacity * color.alphaF()));
    QPainterPath path;
    path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    painter.fillPath(path, fill);
    painter.setFont(tagFont(fontSize));
    painter.setPen(color);
    painter.drawText(capsule, Qt::AlignCenter, shownText());
    painter.restore();
}

QSizeF CapsuleTag::sizeHint() const {
    const QFontMetricsF metrics(tagFont(fontSize));
    return {std::ceil(metrics.horizontalAdvance(shownText()) + 2 * paddingHorizontal),
            std::ceil(metrics.height() + 2 * paddingVertical)};
}

} // namespace veq
