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

QImage GlyphImages::render(QChar glyph, const QColor& color) const {
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
        drawAt(layer, font_, color, text, QPointF(margin_, margin_)); // not in this font: as text
        return image;
    }
    outlines.setPixelSize(outlines.unitsPerEm());
    const double scale = pixelSize / outlines.unitsPerEm();
    QTransform place;
    place.translate(margin_, margin_ + metrics.ascent());
    place.scale(scale, scale);
    layer.fillPath(place.map(outlines.pathForGlyph(indexes.front())), color);
    return image;
}

void GlyphImages::draw(QPainter& painter, const QFont& font, const QColor& color, QChar glyph, QPointF topLeft) {
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    if (font != font_ || ratio != ratio_ || images_.size() >= bound) {
        images_.clear();
        font_ = font;
        ratio_ = ratio;
        // Room for a bold glyph's ink past its advance.
        margin_ = std::ceil(lineHeight(font) * 0.05) + 1;
    }
    const QRgb ink = color.rgba();
    auto it = std::find_if(images_.begin(), images_.end(),
                           [glyph, ink](const Entry& e) { return e.glyph == glyph && e.color == ink; });
    if (it == images_.end()) {
        images_.push_back({glyph, ink, render(glyph, color)});
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

const LineImages::Entry* LineImages::line(const QPainter& painter, const QFont& font, const QColor& color,
                                          const QString& text) {
    if (text.isEmpty()) return nullptr;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRgb ink = color.rgba();
    auto it = std::find_if(lines_.begin(), lines_.end(), [&](const Entry& e) {
        return e.color == ink && e.ratio == ratio && e.text == text && e.font == font;
    });
    if (it != lines_.end()) {
        std::rotate(it, it + 1, lines_.end());
        return &lines_.back();
    }
    if (lines_.size() >= bound_) lines_.erase(lines_.begin());
    const QFontMetricsF metrics(font);
    const double advance = metrics.horizontalAdvance(text);
    // Room for ink past the advance and below the descent (italics, accents).
    const double margin = std::ceil(lineHeight(font) * 0.15) + 1;
    const QSizeF size(std::ceil(advance) + 2 * margin, std::ceil(metrics.ascent() + metrics.descent()) + 2 * margin);
    QImage image((size * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter layer(&image);
        layer.setRenderHint(QPainter::Antialiasing);
        layer.setRenderHint(QPainter::TextAntialiasing);
        PaintText::drawAt(layer, font, color, text, QPointF(margin, margin));
    }
    lines_.push_back({text, font, ink, ratio, margin, advance, std::move(image)});
    return &lines_.back();
}

void LineImages::drawAt(QPainter& painter, const QFont& font, const QColor& color, const QString& text,
                        QPointF topLeft) {
    if (const Entry* held = line(painter, font, color, text)) {
        painter.drawImage(QPointF(topLeft.x() - held->margin, topLeft.y() - held->margin), held->image);
    }
}

void LineImages::drawCentred(QPainter& painter, const QFont& font, const QColor& color, const QString& text,
                             double centreX, double top) {
    if (const Entry* held = line(painter, font, color, text)) {
        painter.drawImage(QPointF(centreX - held->advance / 2 - held->margin, top - held->margin), held->image);
    }
}

} // namespace veq::PaintText
