#pragma once

#include "VEQUI/Views/Kit/DigitRoll.hpp"

#include <QFont>
#include <QPointF>

#include <functional>
#include <vector>

class QPainter;

// Drawing a DigitRoll's frame on one line of text.
namespace veq::RollingFigure {

// Where the figure's line stands: its top edge, and its left edge or its centre.
struct Line {
    QFont font;
    double top = 0;
    double x = 0;
    bool centred = false;
};

// Draws one glyph in `ink` with the top-left corner of its line box at `topLeft`; the painter's
// opacity is already the glyph's.
using GlyphPainter = std::function<void(QPainter&, QChar, const QColor& ink, QPointF topLeft)>;

// Each figure laid out as its own text would be, each glyph moved down by its offset and drawn
// at its opacity, all clipped to a window as tall as the digits: an offset of one moves a glyph
// by the window's height, out of sight. Without `glyph`, glyphs are drawn as text.
void paint(QPainter& painter, const std::vector<DigitRoll::Figure>& frame, const Line& line,
           const GlyphPainter& glyph = {});

// The width of the figures on screen, each weighed by its opacity: where what follows a
// left-aligned figure stands while it cross-fades to another length.
double width(const std::vector<DigitRoll::Figure>& frame, const QFont& font);

} // namespace veq::RollingFigure
