#include "VEQUI/Views/Recording/TableCells.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <numeric>

namespace veq::TableCells {

namespace {

constexpr double padding = 8;

} // namespace

QFont headerFont() { return tracked(VEQ::label(9, QFont::DemiBold), 1); }
QFont nameFont() { return VEQ::label(12, QFont::Medium); }
QFont figureFont() { return VEQ::numeric(12, QFont::Medium); }

std::vector<QRectF> columns(double width, double top, double height, int firstMinimum, std::span<const int> fixed) {
    std::vector<QRectF> cells;
    cells.reserve(fixed.size() + 1);
    const double first = std::max<double>(firstMinimum, width - std::accumulate(fixed.begin(), fixed.end(), 0));
    cells.emplace_back(0, top, first, height);
    double left = first;
    for (const int w : fixed) {
        cells.emplace_back(left, top, w, height);
        left += w;
    }
    return cells;
}

int minimumWidth(int firstMinimum, std::span<const int> fixed) {
    return firstMinimum + std::accumulate(fixed.begin(), fixed.end(), 0);
}

double draw(QPainter& painter, const QFont& font, const QColor& colour, const QString& text, const QRectF& cell,
            Qt::Alignment alignment) {
    const QRectF room = cell.adjusted(padding, 0, -padding, 0);
    const QFontMetricsF metrics(font);
    // Shaped once when it fits (a table repaints its rows every second); cut only when it does not.
    double width = metrics.horizontalAdvance(text);
    QString shown = text;
    if (width > room.width()) {
        shown = metrics.elidedText(text, Qt::ElideRight, std::max(0.0, room.width()));
        width = metrics.horizontalAdvance(shown);
    }
    const double left = alignment.testFlag(Qt::AlignRight) ? room.right() - width : room.left();
    const double baseline = room.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(QPointF(left, baseline), shown);
    return left + width;
}

void drawHeader(QPainter& painter, const QStringList& titles, const std::vector<QRectF>& cells) {
    for (std::size_t i = 0; i < cells.size() && i < static_cast<std::size_t>(titles.size()); ++i) {
        draw(painter, headerFont(), VEQ::textSecondary(), titles[static_cast<qsizetype>(i)].toUpper(), cells[i],
             i == 0 ? Qt::AlignLeft : Qt::AlignRight);
    }
    if (cells.empty()) return;
    const QRectF& first = cells.front();
    painter.fillRect(QRectF(0, first.bottom() - 1, cells.back().right(), 1), VEQ::stroke());
}

} // namespace veq::TableCells
