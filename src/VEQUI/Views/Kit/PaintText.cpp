#include "VEQUI/Views/Kit/PaintText.hpp"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace veq::PaintText {

double width(const QFont& font, const QString& text) { return QFontMetricsF(font).horizontalAdvance(text); }

double lineHeight(const QFont& font) {
    const QFontMetricsF metrics(font);
    return metrics.ascent() + metrics.descent();
}

void drawAt(QPainter& painter, const QFont& font, const QColor& color, const QString& text, QPointF topLeft) {
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QPointF(topLeft.x(), topLeft.y() + metrics.ascent()), text);
}

void drawLeft(QPainter& painter, const QFont& font, const QColor& color, const QString& text, double left,
              double centreY) {
    drawAt(painter, font, color, text, QPointF(left, centreY - lineHeight(font) / 2));
}

void drawCentred(QPainter& painter, const QFont& font, const QColor& color, const QString& text, QPointF centre) {
    drawLeft(painter, font, color, text, centre.x() - width(font, text) / 2, centre.y());
}

void drawRight(QPainter& painter, const QFont& font, const QColor& color, const QString& text, double right,
               double centreY) {
    drawLeft(painter, font, color, text, right - width(font, text), centreY);
}

void CachedLine::drawCentred(QPainter& painter, const QFont& font, const QColor& color, const QString& text,
                             QPointF centre) {
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (image_.isNull() || text != text_ || font != font_ || color != color_ || ratio != ratio_) {
        const QSizeF size(std::ceil(width(font, text)) + 2, std::ceil(lineHeight(font)) + 2);
        image_ = QImage((size * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image_.setDevicePixelRatio(ratio);
        image_.fill(Qt::transparent);
        QPainter layer(&image_);
        layer.setRenderHint(QPainter::Antialiasing);
        layer.setRenderHint(QPainter::TextAntialiasing);
        drawAt(layer, font, color, text, QPointF(1, 1));
        text_ = text;
        font_ = font;
        color_ = color;
        ratio_ = ratio;
    }
    const QSizeF size = image_.deviceIndependentSize();
    painter.drawImage(QPointF(centre.x() - size.width() / 2, centre.y() - size.height() / 2), image_);
}

} // namespace veq::PaintText
