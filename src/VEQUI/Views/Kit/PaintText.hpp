#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QString>

#include <vector>

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
// Within `room`, centred on its middle, at its leading or trailing edge as `alignment` says;
// a text wider than the room ends with "…". Returns where the drawn text ends.
double drawFitted(QPainter& painter, const QFont& font, const QColor& color, const QString& text, const QRectF& room,
                  Qt::Alignment alignment);
// Ending at `right`, centred on `centreY`.
void drawRight(QPainter& painter, const QFont& font, const QColor& color, const QString& text, double right,
               double centreY);

// Glyphs kept as images for one font, colour and pixel ratio, so that a figure too large for
// the glyph cache (the tachometer's speed), whose glyphs are otherwise filled from their outlines
// on every paint, is drawn in blits, one per cell, whether it stands or its cells move. The
// outlines are taken at the font's design size and scaled, so that a glyph comes out the same
// whatever was drawn before it (at the drawn size, FreeType's outlines vary by a fraction of a
// pixel with the face's previous use).
class GlyphImages {
public:
    // The glyph with the top-left corner of its line box at `topLeft`. The images hold one ink: a
    // glyph in another colour, font or pixel ratio clears them (the speed keeps one colour).
    void draw(QPainter& painter, const QFont& font, const QColor& color, QChar glyph, QPointF topLeft);
    // A line of such glyphs centred on `centreX`, its line box's top at `top`, each glyph where the
    // advances before it end (figures: no kerning).
    void drawCentred(QPainter& painter, const QFont& font, const QColor& color, const QString& text, double centreX,
                     double top);

private:
    struct Entry {
        QChar glyph;
        QImage image;
    };
    QImage render(QChar glyph) const;

    std::vector<Entry> images_;
    QFont font_;
    QColor color_;
    qreal ratio_ = 0;
    double margin_ = 0;
};

} // namespace veq::PaintText
