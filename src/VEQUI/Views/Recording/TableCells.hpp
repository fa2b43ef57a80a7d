#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

#include <QStringList>

#include <span>
#include <vector>

class QPainter;

// The cells of the recording screens' painted tables: a first column that takes the room the
// fixed columns leave, texts padded in their cells and ending with "…" when they do not fit.
namespace veq::TableCells {

QFont headerFont();
QFont nameFont();   // the first column's text
QFont figureFont(); // numbers

// The cells of a row `width` wide; the first is at least `firstMinimum` wide.
std::vector<QRectF> columns(double width, double top, double height, int firstMinimum, std::span<const int> fixed);
// The narrowest row.
int minimumWidth(int firstMinimum, std::span<const int> fixed);
// Draws `text` in the cell; returns where the drawn text ends.
double draw(QPainter& painter, const QFont& font, const QColor& colour, const QString& text, const QRectF& cell,
            Qt::Alignment alignment);

// The faint line along the bottom of a row `width` wide whose bottom edge is at `bottom`.
void drawRowLine(QPainter& painter, double bottom, double width);

// The column titles in capitals, the first at the leading edge and the others at the trailing one,
// over a line along the bottom of the cells.
void drawHeader(QPainter& painter, const QStringList& titles, const std::vector<QRectF>& cells);

} // namespace veq::TableCells
