#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QString>

class QPainter;

// Drawing one line of text by its line box, as the screens lay texts out: a line is as tall as
// the font's ascent plus descent, and is placed by its top or by its vertical centre.
namespace veq::PaintText {

double width(const QFont& font, const QString& text);
double lineHeight(const QFont& font);

// The line's top-left corner at `topLeft`.
void drawAt(QPainter& painter, const QFont& font, const QColor& color, const QString& text, QPointF topLeft);
// Starting at `left`, centred on `centreY`.
void drawLeft(QPainter& painter, const QFont& font, const QColor& color, const QString& text, double left,
              double centreY);
// Centred on `centre`.
void drawCentred(QPainter& painter, const QFont& font, const QColor& color, const QString& text, QPointF centre);
// Ending at `right`, centred on `centreY`.
void drawRight(QPainter& painter, const QFont& font, const QColor& color, const QString& text, double right,
               double centreY);

// One line kept as an image for as long as its text, font and colour stay: drawing it again is a
// blit. Glyphs too large for the glyph cache (the tachometer's speed) are otherwise filled from
// their outlines on every paint.
class CachedLine {
public:
    void drawCentred(QPainter& painter, const QFont& font, const QColor& color, const QString& text, QPointF centre);

private:
    QImage image_;
    QString text_;
    QFont font_;
    QColor color_;
    qreal ratio_ = 0;
};

} // namespace veq::PaintText
