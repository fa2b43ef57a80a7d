#include "VEQUI/Views/Kit/PaintText.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTransform>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <iterator>

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

double drawFitted(QPainter& painter, const QFont& font, const QColor& color, const QString& text, const QRectF& room,
                  Qt::Alignment alignment) {
    const QFontMetricsF metrics(font);
    // Shaped once when it fits (tables repaint their rows often); cut only when it does not.
    double advance = metrics.horizontalAdvance(text);
    QString shown = text;
    if (advance > room.width()) {
        shown = metrics.elidedText(text, Qt::ElideRight, std::max(0.0, room.width()));
        advance = metrics.horizontalAdvance(shown);
    }
    const double left = alignment.testFlag(Qt::AlignRight) ? room.right() - advance : room.left();
    drawLeft(painter, font, color, shown, left, room.center().y());
    return left + advance;
}

QImage GlyphImages::render(QChar glyph) const {
    const QString text(glyph);
    const QFontMetricsF metrics(font_);
    const QSizeF size(std::ceil(metrics.horizontalAdvance(text)) + 2 * margin_,
                      std::ceil(metrics.ascent() + metrics.descent()) + 2 * margin_);
    QImage image((size * ratio_).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio_);
    image.fill(Qt::transparent);
    QPainter layer(&image);
    layer.setRenderHint(QPainter::Antialiasing);
    layer.setRenderHint(QPainter::TextAntialiasing);
    QRawFont outlines = QRawFont::fromFont(font_);
    const double pixelSize = outlines.pixelSize();
    const auto indexes = outlines.isValid() ? outlines.glyphIndexesForString(text) : QList<quint32>{};
    if (indexes.size() != 1 || indexes.front() == 0 || !(outlines.unitsPerEm() > 0)) {
        drawAt(layer, font_, color_, text, QPointF(margin_, margin_)); // not in this font: as text
        return image;
    }
    outlines.setPixelSize(outlines.unitsPerEm());
    const double scale = pixelSize / outlines.unitsPerEm();
    QTransform place;
    place.translate(margin_, margin_ + metrics.ascent());
    place.scale(scale, scale);
    layer.fillPath(place.map(outlines.pathForGlyph(indexes.front())), color_);
    return image;
}

void GlyphImages::draw(QPainter& painter, const QFont& font, const QColor& color, QChar glyph, QPointF topLeft) {
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (font != font_ || color != color_ || ratio != ratio_) {
        images_.clear();
        font_ = font;
        color_ = color;
        ratio_ = ratio;
        // Room for a bold glyph's ink past its advance.
        margin_ = std::ceil(lineHeight(font) * 0.05) + 1;
    }
    auto it = std::find_if(images_.begin(), images_.end(), [glyph](const Entry& e) { return e.glyph == glyph; });
    if (it == images_.end()) {
        images_.push_back({glyph, render(glyph)});
        it = std::prev(images_.end());
    }
    painter.drawImage(QPointF(topLeft.x() - margin_, topLeft.y() - margin_), it->image);
}

void GlyphImages::drawCentred(QPainter& painter, const QFont& font, const QColor& color, const QString& text,
                              double centreX, double top) {
    const QFontMetricsF metrics(font);
    QVarLengthArray<double, 8> advances;
    double width = 0;
    for (const QChar c : text) width += advances.emplace_back(metrics.horizontalAdvance(c));
    double x = centreX - width / 2;
    for (qsizetype i = 0; i < text.size(); ++i) {
        draw(painter, font, color, text[i], {x, top});
        x += advances[i];
    }
}

} // namespace veq::PaintText
