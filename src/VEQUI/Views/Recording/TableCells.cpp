#include "VEQUI/Views/Recording/TableCells.hpp"

#include "VEQUI/Model/VEQTheme.hpp"
#include "VEQUI/Views/Kit/Labels.hpp"
#include "VEQUI/Views/Kit/PaintText.hpp"
#include "VEQUI/Views/Kit/VEQStyle.hpp"

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
    return PaintText::drawFitted(painter, font, colour, text, cell.adjusted(padding, 0, -padding, 0), alignment);
}

void drawRowLine(QPainter& painter, double bottom, double width) {
    QColor line = VEQ::stroke();
    line.setAlphaF(0.5f);
    painter.fillRect(QRectF(0, bottom - 1, width, 1), line);
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
