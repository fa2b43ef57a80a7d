#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QString>

#include <algorithm>
#include <cstddef>
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

// Glyphs kept as images for one font and pixel ratio, in the inks asked for, so that a figure
// is drawn in blits, one per cell, whether it stands or its cells move: a figure too large for the
// glyph cache (the tachometer's speed) is otherwise filled from its outlines on every paint, and
// one within it is blended pixel by pixel from its coverage, several times slower than a blit.
// The outlines are taken at the font's design size and scaled, so that a glyph comes out the same
// whatever was drawn before it (at the drawn size, FreeType's outlines vary by a fraction of a
// pixel with the face's previous use).
class GlyphImages {
public:
    // The glyph with the top-left corner of its line box at `topLeft`. Another font or pixel
    // ratio clears the images.
    void draw(QPainter& painter, const QFont& font, const QColor& color, QChar glyph, QPointF topLeft);
    // A line of such glyphs centred on `centreX`, its line box's top at `top`, each glyph where the
    // advances before it end (figures: no kerning).
    void drawCentred(QPainter& painter, const QFont& font, const QColor& color, const QString& text, double centreX,
                     double top);

private:
    struct Entry {
        QChar glyph;
        QRgb color;
        QImage image;
    };
    QImage render(QChar glyph, const QColor& color) const;

    // A few inks of a dozen glyphs; past this, every image is made again.
    static constexpr std::size_t bound = 64;
    std::vector<Entry> images_;
    QFont font_;
    qreal ratio_ = 0;
    double margin_ = 0;
};

// Lines of text kept as images, each for its text, font, colour and pixel ratio: a short text
// drawn on every frame (a unit under a moving value) is then a blit instead of being shaped and
// blended again. The least recently used goes past `bound`.
class LineImages {
public:
    explicit LineImages(std::size_t bound = 4) : bound_(std::max<std::size_t>(1, bound)) {}
    // As drawAt(): the line's top-left corner at `topLeft`.
    void drawAt(QPainter& painter, const QFont& font, const QColor& color, const QString& text, QPointF topLeft);
    // The line centred on `centreX`, its line box's top at `top`.
    void drawCentred(QPainter& painter, const QFont& font, const QColor& color, const QString& text, double centreX,
                     double top);

private:
    struct Entry {
        QString text;
        QFont font;
        QRgb color;
        qreal ratio;
        double margin;
        double advance;
        QImage image;
    };
    // The image of the line, made when not held; null for an empty text.
    const Entry* line(const QPainter& painter, const QFont& font, const QColor& color, const QString& text);
    std::size_t bound_;
    std::vector<Entry> lines_; // least recently used first
};

} // namespace veq::PaintText
