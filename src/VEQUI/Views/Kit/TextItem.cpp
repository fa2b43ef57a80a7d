#include "VEQUI/Views/Kit/TextItem.hpp"

#include "VEQUI/Views/Kit/PaintText.hpp"

#include <QPainter>

#include <cmath>

namespace veq {

void TextItem::paint(QPainter& painter, const QRectF& area) const {
    painter.setRenderHint(QPainter::TextAntialiasing);
    PaintText::drawLeft(painter, font, color, text, area.left(), area.center().y());
}

QSizeF TextItem::sizeHint() const {
    return {std::ceil(PaintText::width(font, text)), std::ceil(PaintText::lineHeight(font))};
}

} // namespace veq
